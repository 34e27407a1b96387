// The report as the dialog sends it: reason from the dialog, days from the registry, the Windows version
// read at start, then the statistics request and, unless it is confirmed, the mail link.
#include "app/FeedbackReport.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <exception>

#include "app/LanguageSelection.h"
#include "app/UninstallMain.h"
#include "net/HttpClient.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "platform/version.h"

#if !defined(UNINSTALL_STAT_HOST) || !defined(UNINSTALL_FEEDBACK_MAILBOX)
#error "the build passes UNINSTALL_STAT_HOST and UNINSTALL_FEEDBACK_MAILBOX"
#endif

namespace {

const char StartDateValue[] = "StartDate";

// The version facts are read while the program starts, before any window exists, so the report never
// waits on them and every report of a run names the same system.
const platform::VersionFacts& StartVersionFacts = platform::GetVersionFacts();

}  // namespace

std::int32_t GetDaysSinceStart() {
    try {
        platform::RegistryKey key;
        // Opening creates the key when it is missing; whether that worked shows in the read below.
        key.Open(language::kProductKey, true);
        std::vector<std::uint8_t> bytes;
        if (key.ReadBinary(StartDateValue, bytes) != platform::kRegSuccess || bytes.size() != sizeof(double))
            return -1;
        // Stored as Windows stores a double: little-endian.
        if constexpr (std::endian::native == std::endian::big) std::reverse(bytes.begin(), bytes.end());
        double startDate;
        std::memcpy(&startDate, bytes.data(), sizeof startDate);
        return DaysSinceStart(startDate, platform::Today());
    } catch (...) {
        return -1;
    }
}

AnsiString GetOSName() {
    const auto& facts = StartVersionFacts;
    return OSNames[ClassifyWindowsVersion(facts.platformId, facts.major, facts.minor, facts.csdVersion,
                                          facts.kernelVersionHigh)];
}

AnsiString ReportHost() {
    AnsiString host = platform::GetEnv("UNINSTALL_STAT_HOST");
    return host.empty() ? AnsiString(UNINSTALL_STAT_HOST) : host;
}

AnsiString FeedbackMailbox() { return UNINSTALL_FEEDBACK_MAILBOX; }

AnsiString ReportReason(const TUninstallMainForm& form) {
    const int index = form.rgReason->GetItemIndex();
    const toolkit::TWideStrings* items = form.rgReason->GetItems();
    // A translation may leave fewer items than the selection expects; the report then goes out without
    // the reason's text rather than not at all.
    AnsiString reason;
    if (index >= 0 && index < items->Count()) reason = platform::WideToAnsi(items->Get(index));
    if (index == TUninstallMainForm::OtherReasonIndex) reason += ": " + form.edOther->GetText();
    return reason;
}

ReportChannel DefaultReportChannel() {
    ReportChannel channel;
    channel.host = ReportHost();
    channel.mailbox = FeedbackMailbox();
    channel.fetch = [](const AnsiString& url, std::vector<AnsiString>& lines) { return FetchText(url, lines); };
    channel.openUrl = [](const AnsiString& url) { platform::OpenUrl(url); };
    return channel;
}

void SendReport(const TUninstallMainForm& form, const ReportChannel& channel) {
    const AnsiString reason = ReportReason(form);
    const AnsiString url = BuildReportUrl(channel.host, GetDaysSinceStart(), form.ProductName, GetOSName(), reason);

    std::vector<AnsiString> lines;
    bool fetched = false;
    try {
        fetched = channel.fetch(url, lines);
    } catch (...) {
        // Whatever went wrong, the user's answer still has the mail road.
        fetched = false;
    }
    if (IsReportAccepted(fetched, lines)) return;

    try {
        channel.openUrl(BuildMailLink(channel.mailbox, form.ProductName, reason));
    } catch (...) {
        // No mail program is no reason to stop the uninstaller; the dialog shows nothing of its own.
    }
}

void SendReport(const TUninstallMainForm& form) { SendReport(form, DefaultReportChannel()); }
