#pragma once
// The feedback report: when the dialog closes, one GET to the product's statistics script carrying the days
// in use, the product name, the Windows version and the reason; when the script does not answer "OK", a
// mailto: link to the feedback mailbox so that the user's mail program offers the same reason.
//
// All texts are bytes of the system ANSI code page; nothing is converted to UTF-8 on the way out.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/codepage.h"

class TUninstallMainForm;

// ---- Pure parts: text in, text out -------------------------------------------------------------------

// The Windows version names; the index is what ClassifyWindowsVersion returns.
inline constexpr int OSNameCount = 12;
extern const char* const OSNames[OSNameCount];

// Maps the version facts to an index of OSNames. platform: 1 = Windows 95 family, 2 = NT family.
// servicePack is the CSD text; kernelVersionHigh the product version's high 32 bits of kernel32.dll
// (major << 16 | minor), 0 when unknown. Anything not in the table, every later Windows included, is 0.
int ClassifyWindowsVersion(unsigned platform, unsigned major, unsigned minor, const AnsiString& servicePack,
                           std::uint32_t kernelVersionHigh);

// Query-value encoding, byte by byte up to the first zero byte: letters, digits and ! $ ' ( ) * - . @ _
// stay, a space becomes "+", every other byte becomes "%" and two upper-case hex digits.
AnsiString EncodeQueryValue(const AnsiString& text);

// The statistics URL: "http://" host "/stat/uninstall.php?" ["days=" n "&"] "prj=" .. "&os=" .. "&reason=" ..
// The days key is present only when days is at least 1. host may carry ":port".
AnsiString BuildReportUrl(const AnsiString& host, std::int32_t days, const AnsiString& productName,
                          const AnsiString& osName, const AnsiString& reason);

// The script confirms only with a first reply line of exactly "OK" (byte-wise, no trimming), and only when
// the request itself went out.
bool IsReportAccepted(bool fetched, const std::vector<AnsiString>& lines);

// The body of the mail link (RFC 6068): a space is "%20"; "&", "%", "#", "+" and control bytes are
// percent-encoded so that the user's words arrive whole (a line break, CR LF or alone, is "%0D%0A"), and
// so are the characters a URI cannot hold (" < > \ ^ ` { | }); every other byte, those of 0x80 and above
// included, stays as it is.
AnsiString EncodeMailBody(const AnsiString& reason);

// "mailto:" mailbox "?subject=" EncodeQueryValue("uninstall " product) "&body=" EncodeMailBody(reason).
AnsiString BuildMailLink(const AnsiString& mailbox, const AnsiString& productName, const AnsiString& reason);

// Days counted from a start date-time to today's midnight (both days since 30 December 1899): the
// difference truncated toward zero, plus 1. -1 when it is not a number or does not fit 32 bits.
std::int32_t DaysSinceStart(double startDate, double todayMidnight);

// ---- Parts that meet the machine ---------------------------------------------------------------------

// Days since the product was first started, from the 8-byte date-time "StartDate" under
// HKEY_CURRENT_USER\Software\Quarnel\Velmora3\ (the key is created when missing). -1 on any error.
std::int32_t GetDaysSinceStart();

// The entry of OSNames for the version facts read at start.
AnsiString GetOSName();

// The statistics host: the environment's UNINSTALL_STAT_HOST when set and not empty, else the build's.
AnsiString ReportHost();
// The feedback mailbox the build was configured with.
AnsiString FeedbackMailbox();

// The reason as the dialog shows it: the selected item's text, and for item 6 ("Other") ": " and the
// free text (even when it is empty).
AnsiString ReportReason(const TUninstallMainForm& form);

// Where the report goes. The defaults are the real ones; tests put their own opener in place.
struct ReportChannel {
    AnsiString host;
    AnsiString mailbox;
    std::function<bool(const AnsiString& url, std::vector<AnsiString>& lines)> fetch;
    std::function<void(const AnsiString& url)> openUrl;
};
ReportChannel DefaultReportChannel();

// The body of the dialog's close handler: sends the report, falls back to the mail link, shows nothing.
void SendReport(const TUninstallMainForm& form);
void SendReport(const TUninstallMainForm& form, const ReportChannel& channel);
