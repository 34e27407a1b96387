// The report's texts: encodings, the statistics URL, the mail link, the version table and the day count.
// Nothing here touches the machine, so every rule can be checked byte by byte.
#include <cmath>
#include <limits>

#include "app/FeedbackReport.h"
#include "platform/text.h"

const char* const OSNames[OSNameCount] = {
    "Unknown",      "Windows 95",   "Windows 95 OSR 2", "Windows 98",    "Windows 98SE", "Windows ME",
    "Windows NT31", "Windows NT35", "Windows NT351",    "Windows NT4",   "Windows 2000", "Windows XP",
};

namespace {

const char HexDigits[] = "0123456789ABCDEF";

void AppendPercent(AnsiString& out, unsigned char byte) {
    out += '%';
    out += HexDigits[byte >> 4];
    out += HexDigits[byte & 0x0F];
}

bool IsQueryLiteral(unsigned char c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return true;
    switch (c) {
    case '!': case '$': case '\'': case '(': case ')': case '*': case '-': case '.': case '@': case '_':
        return true;
    default:
        return false;
    }
}

// What would end the body's value (& # +, and % itself) or is no URI character at all (" < > \ ^ ` { | }),
// so that the link is a valid URI. Bytes from 0x80 up are left to the mail program, as they are.
bool IsMailBodyDelimiter(unsigned char c) {
    switch (c) {
    case '&': case '#': case '+': case '%':
    case '"': case '<': case '>': case '\\': case '^': case '`': case '{': case '|': case '}':
        return true;
    default:
        return false;
    }
}

}  // namespace

int ClassifyWindowsVersion(unsigned platform, unsigned major, unsigned minor, const AnsiString& servicePack,
                           std::uint32_t kernelVersionHigh) {
    if (platform == 1) {
        if (minor <= 9) return platform::TrimControl(servicePack) == "B" ? 2 : 1;
        if (minor <= 89) {
            if (kernelVersionHigh == 0x0004005A) return 5;  // 4.90: ME that reports itself as 98
            return platform::TrimControl(servicePack) == "A" ? 4 : 3;
        }
        if (minor == 90) return 5;
        return 0;
    }
    if (platform == 2) {
        switch (major) {
        case 3:
            if (minor == 1) return 6;
            if (minor == 5) return 7;
            if (minor == 51) return 8;
            return 0;
        case 4:
            return 9;
        case 5:
            if (minor == 0) return 10;
            if (minor == 1) return 11;
            return 0;
        default:
            return 0;
        }
    }
    return 0;
}

AnsiString EncodeQueryValue(const AnsiString& text) {
    AnsiString out;
    out.reserve(text.size() * 3);
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == 0) break;
        if (IsQueryLiteral(c))
            out += ch;
        else if (c == ' ')
            out += '+';
        else
            AppendPercent(out, c);
    }
    return out;
}

AnsiString BuildReportUrl(const AnsiString& host, std::int32_t days, const AnsiString& productName,
                          const AnsiString& osName, const AnsiString& reason) {
    AnsiString url = "http://" + host + "/stat/uninstall.php?";
    if (days >= 1) url += "days=" + std::to_string(days) + "&";
    url += "prj=" + EncodeQueryValue(productName);
    url += "&os=" + EncodeQueryValue(osName);
    url += "&reason=" + EncodeQueryValue(reason);
    return url;
}

bool IsReportAccepted(bool fetched, const std::vector<AnsiString>& lines) {
    return fetched && !lines.empty() && lines[0] == "OK";
}

AnsiString EncodeMailBody(const AnsiString& reason) {
    AnsiString out;
    out.reserve(reason.size() * 3);
    for (std::size_t i = 0; i < reason.size(); ++i) {
        const auto c = static_cast<unsigned char>(reason[i]);
        if (c == '\r' || c == '\n') {
            // CR LF, a lone LF and a lone CR are each one line break in the mail.
            if (c == '\r' && i + 1 < reason.size() && reason[i + 1] == '\n') ++i;
            out += "%0D%0A";
        } else if (c == ' ') {
            out += "%20";
        } else if (c < 0x20 || c == 0x7F || IsMailBodyDelimiter(c)) {
            AppendPercent(out, c);
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

AnsiString BuildMailLink(const AnsiString& mailbox, const AnsiString& productName, const AnsiString& reason) {
    return "mailto:" + mailbox + "?subject=" + EncodeQueryValue("uninstall " + productName) +
           "&body=" + EncodeMailBody(reason);
}

std::int32_t DaysSinceStart(double startDate, double todayMidnight) {
    const double difference = std::trunc(todayMidnight - startDate);
    // 2^63 is exactly representable; anything at or beyond it (or NaN) has no 64-bit integer.
    constexpr double Limit = 9223372036854775808.0;
    if (!(difference > -Limit && difference < Limit)) return -1;
    const std::int64_t days = static_cast<std::int64_t>(difference) + 1;
    if (days < std::numeric_limits<std::int32_t>::min() || days > std::numeric_limits<std::int32_t>::max())
        return -1;
    return static_cast<std::int32_t>(days);
}
