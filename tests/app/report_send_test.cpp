// The report against the real machine: "StartDate" in the registry (a private .reg file on Linux, a private
// HKEY_CURRENT_USER under Wine), and SendReport against a loopback HTTP server with the mail opener watched.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "app/FeedbackReport.h"
#include "app/UninstallMain.h"
#include "platform/clock.h"
#include "platform/registry.h"
#include "platform/socket.h"
#include "platform/version.h"
#include "tests/net/LoopbackServer.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

const char ProductKey[] = "Software\\Quarnel\\Velmora3";

void SetEnv(const char* name, const std::string& value) {
#ifdef _WIN32
    _putenv_s(name, value.c_str());
#else
    if (value.empty())
        unsetenv(name);
    else
        setenv(name, value.c_str(), 1);
#endif
}

#ifndef _WIN32
fs::path MakeTempFolder() {
    static std::atomic<int> counter{0};
    const auto pid = getpid();
    fs::path folder = fs::temp_directory_path() /
                      ("uf-report-" + std::to_string(pid) + "-" + std::to_string(counter++));
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}
#endif

std::vector<std::uint8_t> DateBytes(double date) {
    std::vector<std::uint8_t> bytes(sizeof date);
    std::memcpy(bytes.data(), &date, sizeof date);
    return bytes;
}

// A registry that only this test sees: on Linux a .reg file of its own, on Windows HKEY_CURRENT_USER
// redirected to a scratch key, so parallel tests in the same Wine prefix never meet the product's key.
class PrivateRegistry {
public:
    PrivateRegistry() {
#ifdef _WIN32
        scratch_ = "Software\\UfTests\\report-" + std::to_string(GetCurrentProcessId());
        if (RegCreateKeyExA(HKEY_CURRENT_USER, scratch_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &root_,
                            nullptr) != ERROR_SUCCESS ||
            RegOverridePredefKey(HKEY_CURRENT_USER, root_) != ERROR_SUCCESS)
            throw std::runtime_error("cannot redirect HKEY_CURRENT_USER");
#else
        folder_ = MakeTempFolder();
        file_ = folder_ / "registry.reg";
        SetEnv("UNINSTALL_REGISTRY", file_.string());
#endif
    }
    ~PrivateRegistry() {
#ifdef _WIN32
        RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        RegCloseKey(root_);
        RegDeleteTreeA(HKEY_CURRENT_USER, scratch_.c_str());
        RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\UfTests");  // only when no other run holds it
#else
        SetEnv("UNINSTALL_REGISTRY", "");
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
#endif
    }
#ifndef _WIN32
    const fs::path& File() const { return file_; }
#endif

private:
#ifdef _WIN32
    std::string scratch_;
    HKEY root_ = nullptr;
#else
    fs::path folder_, file_;
#endif
};

class ReportRegistryTest : public ::testing::Test {
protected:
    void WriteStartDate(const std::vector<std::uint8_t>& bytes) {
        platform::RegistryKey key;
        ASSERT_EQ(key.Open(ProductKey, true), platform::kRegSuccess);
        ASSERT_EQ(key.WriteBinary("StartDate", bytes), platform::kRegSuccess);
    }
    // The count for a start date given relative to today; repeated when midnight passes meanwhile.
    std::int32_t DaysFor(double offsetFromToday) {
        for (;;) {
            const double today = platform::Today();
            WriteStartDate(DateBytes(today + offsetFromToday));
            const std::int32_t days = GetDaysSinceStart();
            if (platform::Today() == today) return days;
        }
    }
    static bool KeyExists() {
        platform::RegistryKey key;
        return key.Open(ProductKey, false) == platform::kRegSuccess;
    }

    PrivateRegistry registry_;
};

// The arithmetic has its own table in report_text_test; here the stored value reaches it against today.
TEST_F(ReportRegistryTest, DaysFromStartDate) {
    EXPECT_EQ(DaysFor(0.9), 1);               // later today
    EXPECT_EQ(DaysFor(-1.0 + 10.0 / 24), 1);  // yesterday at 10:00
    EXPECT_EQ(DaysFor(-400.25), 401);
    EXPECT_EQ(DaysFor(3.0), -2);              // a start date in the future
}

TEST_F(ReportRegistryTest, MalformedStartDateGivesMinusOne) {
    WriteStartDate(DateBytes(platform::Today() - 5));
    ASSERT_EQ(GetDaysSinceStart(), 6);

    WriteStartDate({1, 2, 3, 4});  // too short
    EXPECT_EQ(GetDaysSinceStart(), -1);
    auto nine = DateBytes(platform::Today() - 5);
    nine.push_back(0);  // too long
    WriteStartDate(nine);
    EXPECT_EQ(GetDaysSinceStart(), -1);
    WriteStartDate({});
    EXPECT_EQ(GetDaysSinceStart(), -1);

    double notANumber = std::numeric_limits<double>::quiet_NaN();
    WriteStartDate(DateBytes(notANumber));
    EXPECT_EQ(GetDaysSinceStart(), -1);
    WriteStartDate(DateBytes(-1e18));  // billions of years: no 32-bit count
    EXPECT_EQ(GetDaysSinceStart(), -1);

    platform::RegistryKey key;
    ASSERT_EQ(key.Open(ProductKey, true), platform::kRegSuccess);
    ASSERT_EQ(key.WriteString("StartDate", "46000"), platform::kRegSuccess);  // a string of the right size
    EXPECT_EQ(GetDaysSinceStart(), -1);
    ASSERT_EQ(key.WriteDword("StartDate", 46000), platform::kRegSuccess);
    EXPECT_EQ(GetDaysSinceStart(), -1);
    ASSERT_EQ(key.DeleteValue("StartDate"), platform::kRegSuccess);
    EXPECT_EQ(GetDaysSinceStart(), -1);
}

TEST_F(ReportRegistryTest, MissingKeyIsCreated) {
    ASSERT_FALSE(KeyExists());
    EXPECT_EQ(GetDaysSinceStart(), -1);
    EXPECT_TRUE(KeyExists());
#ifndef _WIN32
    std::ifstream file(registry_.File());
    std::stringstream text;
    text << file.rdbuf();
    EXPECT_NE(text.str().find("[HKEY_CURRENT_USER\\Software\\Quarnel\\Velmora3]"), std::string::npos) << text.str();
#endif
    // Reading again with the key in place changes nothing.
    EXPECT_EQ(GetDaysSinceStart(), -1);
    EXPECT_TRUE(KeyExists());
}

TEST(ReportVersion, OSNameIsTheClassifiedEntry) {
    const AnsiString name = GetOSName();
    const auto& facts = platform::GetVersionFacts();
#ifdef _WIN32
    EXPECT_EQ(facts.platformId, 2u);  // Wine and every supported Windows are NT
#else
    EXPECT_EQ(facts.platformId, 0u);
    EXPECT_EQ(name, "Unknown");
#endif
    EXPECT_EQ(name, OSNames[ClassifyWindowsVersion(facts.platformId, facts.major, facts.minor, facts.csdVersion,
                                                   facts.kernelVersionHigh)]);
    EXPECT_EQ(GetOSName(), name);  // read once, the same every time
}

// One reply per connection on 127.0.0.1; the half-close lets replies without a length end.
class ReplyServer : public nettest::LoopbackServer {
public:
    explicit ReplyServer(std::string reply)
        : LoopbackServer([reply](nettest::Connection& c) {
              if (c.ReadHead() && !reply.empty()) c.Send(reply);
              platform::SocketShutdown(c.Handle(), 1);
              c.WaitClosed(2000);
          }) {}
    std::string Host() const { return "127.0.0.1:" + Port(); }
    std::string Request() { return Received().at(0); }
    // SendReport is synchronous: a second request would have been served before it returned.
    int Connections() { return Received(), LoopbackServer::Connections(); }
};

// A loopback port that nobody listens on.
std::string ClosedHost() {
    ReplyServer gone("");
    return gone.Host();
}

const char OkReply[] = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 4\r\n\r\nOK\r\n";

class SendReportTest : public ReportRegistryTest {
protected:
    SendReportTest() : form_(nullptr) {
        form_.ProductName = "My Product";
        form_.SetEnglishTexts();
        form_.rgReason->SetItemIndex(4);  // "Too expensive"
    }

    ReportChannel Channel(const std::string& host) {
        ReportChannel channel = DefaultReportChannel();
        channel.host = host;
        channel.mailbox = "feedback@velmora.example";
        channel.openUrl = [this](const AnsiString& url) { opened_.push_back(url); };
        return channel;
    }
    static std::string Head(const std::string& host, const std::string& query) {
        return "GET /stat/uninstall.php?" + query + " HTTP/1.0\r\nHost: " + host + "\r\n\r\n";
    }
    static std::string Os() { return EncodeQueryValue(GetOSName()); }

    TUninstallMainForm form_;
    std::vector<AnsiString> opened_;
};

TEST_F(SendReportTest, ConfirmedReportOpensNoMail) {
    WriteStartDate(DateBytes(platform::Today() - 2));
    ReplyServer server(OkReply);
    SendReport(form_, Channel(server.Host()));
    EXPECT_EQ(server.Request(),
              Head(server.Host(), "days=3&prj=My+Product&os=" + Os() + "&reason=Too+expensive"));
    EXPECT_EQ(server.Connections(), 1);
    EXPECT_TRUE(opened_.empty());
}

TEST_F(SendReportTest, OnlyAFirstLineOfOKIsAConfirmation) {
    const AnsiString link = "mailto:feedback@velmora.example?subject=uninstall+My+Product&body=Too%20expensive";
    const std::pair<const char*, bool> replies[] = {
        {"HTTP/1.0 200 OK\r\n\r\nOK\r\nthanks\r\n", true},
        {"HTTP/1.1 200 OK\r\n\r\nOK", true},
        {"OK\nmore", true},  // no status line
        {"HTTP/1.0 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nOK\r\n0\r\n\r\n", true},
        {"HTTP/1.0 200 OK\r\n\r\nok\r\n", false},
        {"HTTP/1.0 200 OK\r\n\r\nOK \r\n", false},
        {"HTTP/1.0 200 OK\r\n\r\n\r\nOK\r\n", false},
        {"HTTP/1.0 200 OK\r\n\r\n", false},
        {"HTTP/1.0 404 Not Found\r\nContent-Length: 9\r\n\r\nNot Found", false},
        {"", false},
        {"HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\nOK\r\n", false},
    };
    for (const auto& [reply, confirmed] : replies) {
        ReplyServer server(reply);
        SendReport(form_, Channel(server.Host()));
        EXPECT_EQ(server.Connections(), 1) << reply;
        EXPECT_EQ(opened_, confirmed ? std::vector<AnsiString>{} : std::vector<AnsiString>{link}) << reply;
        opened_.clear();
    }
}

TEST_F(SendReportTest, NobodyListeningFallsBackToMail) {
    SendReport(form_, Channel(ClosedHost()));
    ASSERT_EQ(opened_.size(), 1u);
    EXPECT_EQ(opened_[0], "mailto:feedback@velmora.example?subject=uninstall+My+Product&body=Too%20expensive");
}

TEST_F(SendReportTest, OtherCarriesTheFreeTextEvenWhenEmpty) {
    form_.rgReason->SetItemIndex(6);
    form_.edOther->SetText("");
    {
        ReplyServer server("HTTP/1.0 500 Oops\r\n\r\n");
        SendReport(form_, Channel(server.Host()));
        EXPECT_EQ(server.Request(), Head(server.Host(), "prj=My+Product&os=" + Os() + "&reason=Other%3A+"));
    }
    ASSERT_EQ(opened_.size(), 1u);
    EXPECT_EQ(opened_[0], "mailto:feedback@velmora.example?subject=uninstall+My+Product&body=Other:%20");

    opened_.clear();
    form_.edOther->SetText("a&b #1 100%");
    {
        ReplyServer server("nope");
        SendReport(form_, Channel(server.Host()));
        EXPECT_EQ(server.Request(),
                  Head(server.Host(), "prj=My+Product&os=" + Os() + "&reason=Other%3A+a%26b+%231+100%25"));
    }
    ASSERT_EQ(opened_.size(), 1u);
    EXPECT_EQ(opened_[0],
              "mailto:feedback@velmora.example?subject=uninstall+My+Product&body=Other:%20a%26b%20%231%20100%25");
}

TEST_F(SendReportTest, FreeTextIgnoredForOtherReasons) {
    form_.rgReason->SetItemIndex(2);
    form_.edOther->SetText("typed anyway");
    ReplyServer server(OkReply);
    SendReport(form_, Channel(server.Host()));
    EXPECT_EQ(server.Request(), Head(server.Host(), "prj=My+Product&os=" + Os() + "&reason=Resource+hungry"));
}

TEST_F(SendReportTest, TranslatedReasonAndNameGoOutAsCodePageBytes) {
    form_.ProductName = "ab \xE9~*";
    form_.rgReason->GetItems()->Clear();
    for (int i = 0; i < 7; ++i) form_.rgReason->GetItems()->Add(u"R\u00E4son " + WideString(1, u'0' + i));
    form_.rgReason->SetItemIndex(1);
    WriteStartDate(DateBytes(platform::Today()));
    ReplyServer server("HTTP/1.0 200 OK\r\n\r\nNO");
    SendReport(form_, Channel(server.Host()));
    const std::string reason = EncodeQueryValue(platform::WideToAnsi(u"R\u00E4son 1"));
    EXPECT_EQ(server.Request(), Head(server.Host(), "days=1&prj=ab+%E9%7E*&os=" + Os() + "&reason=" + reason));
    ASSERT_EQ(opened_.size(), 1u);
    EXPECT_EQ(opened_[0], "mailto:feedback@velmora.example?subject=uninstall+ab+%E9%7E*&body=" +
                              platform::WideToAnsi(u"R\u00E4son%201"));
}

TEST_F(SendReportTest, SelectionWithoutItemStillReports) {
    form_.rgReason->GetItems()->Clear();
    form_.rgReason->GetItems()->Add(u"Only");
    form_.rgReason->SetItemIndex(-1);
    ReplyServer server(OkReply);
    SendReport(form_, Channel(server.Host()));
    EXPECT_EQ(server.Request(), Head(server.Host(), "prj=My+Product&os=" + Os() + "&reason="));
}

TEST_F(SendReportTest, FailuresNeverEscape) {
    ReportChannel channel = Channel("unused");
    channel.fetch = [](const AnsiString&, std::vector<AnsiString>& lines) -> bool {
        lines = {"OK"};
        throw std::runtime_error("broken transport");
    };
    EXPECT_NO_THROW(SendReport(form_, channel));
    EXPECT_EQ(opened_.size(), 1u);  // an escaped error is no confirmation

    channel.fetch = [](const AnsiString&, std::vector<AnsiString>&) { return false; };
    channel.openUrl = [](const AnsiString&) { throw std::runtime_error("no mail program"); };
    EXPECT_NO_THROW(SendReport(form_, channel));
}

// Closing the dialog, twice even, sends one report with the build's channel and the environment's host.
TEST_F(SendReportTest, ClosingTheDialogReportsOnce) {
    WriteStartDate(DateBytes(platform::Today() - 1));
    ReplyServer server(OkReply);
    SetEnv("UNINSTALL_STAT_HOST", server.Host());
    form_.Close();
    form_.Close();
    SetEnv("UNINSTALL_STAT_HOST", "");
    EXPECT_EQ(server.Request(),
              Head(server.Host(), "days=2&prj=My+Product&os=" + Os() + "&reason=Too+expensive"));
    EXPECT_EQ(server.Connections(), 1);
    EXPECT_TRUE(form_.Closed());
}

TEST_F(SendReportTest, HostFromTheEnvironment) {
    SetEnv("UNINSTALL_STAT_HOST", "");
    const AnsiString configured = ReportHost();
    EXPECT_FALSE(configured.empty());
    EXPECT_EQ(configured.find(':'), AnsiString::npos) << "the build's host needs no port";
    SetEnv("UNINSTALL_STAT_HOST", "127.0.0.1:8080");
    EXPECT_EQ(ReportHost(), "127.0.0.1:8080");
    EXPECT_EQ(DefaultReportChannel().host, "127.0.0.1:8080");
    SetEnv("UNINSTALL_STAT_HOST", "");
    EXPECT_EQ(ReportHost(), configured);
    EXPECT_NE(FeedbackMailbox().find('@'), AnsiString::npos);
}

#ifndef _WIN32
// The real opener: xdg-open from PATH receives the link as its one argument.
TEST_F(SendReportTest, MailLinkReachesXdgOpen) {
    const fs::path bin = MakeTempFolder();
    const fs::path record = bin / "opened.txt";
    {
        std::ofstream script(bin / "xdg-open");
        script << "#!/bin/sh\nprintf '%s' \"$*\" > '" << record.string() << ".tmp'\nmv '" << record.string()
               << ".tmp' '" << record.string() << "'\n";
    }
    fs::permissions(bin / "xdg-open", fs::perms::owner_all);
    const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    SetEnv("PATH", bin.string() + ":" + oldPath);
    SetEnv("UNINSTALL_STAT_HOST", ClosedHost());

    SendReport(form_);

    SetEnv("PATH", oldPath);
    SetEnv("UNINSTALL_STAT_HOST", "");
    for (int i = 0; i < 100 && !fs::exists(record); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::ifstream in(record);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), "mailto:" + FeedbackMailbox() + "?subject=uninstall+My+Product&body=Too%20expensive");
    fs::remove_all(bin);
}
#endif

}  // namespace
