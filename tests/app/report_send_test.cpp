// The report against the real machine: "StartDate" in a registry of the test's own, and SendReport against
// a loopback HTTP server with the mail opener watched.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>

#include "app/FeedbackReport.h"
#include "app/UninstallMain.h"
#include "platform/clock.h"
#include "platform/registry.h"
#include "platform/socket.h"
#include "platform/version.h"
#include "tests/common/scratch_registry.h"
#include "tests/common/loopback_server.h"

namespace {

const char ProductKey[] = "Software\\Quarnel\\Velmora3";

std::vector<std::uint8_t> DateBytes(double date) {
    std::vector<std::uint8_t> bytes(sizeof date);
    std::memcpy(bytes.data(), &date, sizeof date);
    return bytes;
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
    // SendReport is synchronous: a second request would have been served before it returned.
    std::string OnlyRequest() { return Received(), Connections() == 1 ? Received().at(0) : "more than one"; }
};

const char OkReply[] = "HTTP/1.0 200 OK\r\nContent-Length: 4\r\n\r\nOK\r\n";
const AnsiString kMail = "mailto:feedback@velmora.example?subject=uninstall+My+Product&body=";

class ReportTest : public ::testing::Test {
protected:
    ReportTest() : form(nullptr) {
        form.ProductName = "My Product";
        form.SetEnglishTexts();
        form.rgReason->SetItemIndex(4);  // "Too expensive"
    }
    void WriteStartDate(const std::vector<std::uint8_t>& bytes) {
        platform::RegistryKey key;
        ASSERT_EQ(key.Open(ProductKey, true), platform::kRegSuccess);
        ASSERT_EQ(key.WriteBinary("StartDate", bytes), platform::kRegSuccess);
    }
    // Sends the report to a server giving this reply; the request it received, or "" when none.
    std::string Send(const std::string& reply) {
        ReplyServer server(reply);
        ReportChannel channel = DefaultReportChannel();
        channel.host = server.Host();
        channel.mailbox = "feedback@velmora.example";
        channel.openUrl = [this](const AnsiString& url) { opened.push_back(url); };
        SendReport(form, channel);
        const std::string request = server.OnlyRequest(), prefix = "GET /stat/uninstall.php?";
        const std::string tail = " HTTP/1.0\r\nHost: " + server.Host() + "\r\n\r\n";
        EXPECT_EQ(request.substr(request.size() - tail.size()), tail);
        return request.substr(prefix.size(), request.size() - prefix.size() - tail.size());
    }
    static std::string Os() { return EncodeQueryValue(GetOSName()); }

    ScratchRegistry registry;
    TUninstallMainForm form;
    std::vector<AnsiString> opened;
};

TEST_F(ReportTest, DaysFromStartDateAndMinusOneForAnythingElse) {
    EXPECT_EQ(GetDaysSinceStart(), -1);  // the key is created when missing
    platform::RegistryKey key;
    ASSERT_EQ(key.Open(ProductKey, false), platform::kRegSuccess);
    const double today = platform::Today();
    WriteStartDate(DateBytes(today - 400.25));
    EXPECT_EQ(GetDaysSinceStart() - (platform::Today() - today), 401);  // midnight may pass meanwhile
    auto nine = DateBytes(today);
    nine.push_back(0);
    for (const auto& bytes : {std::vector<std::uint8_t>{1, 2, 3, 4}, nine, std::vector<std::uint8_t>{},
                              DateBytes(std::nan("")), DateBytes(-1e18)}) {
        WriteStartDate(bytes);
        EXPECT_EQ(GetDaysSinceStart(), -1) << bytes.size();
    }
    ASSERT_EQ(key.WriteString("StartDate", "46000000"), platform::kRegSuccess);  // a string of the right size
    EXPECT_EQ(GetDaysSinceStart(), -1);
    ASSERT_EQ(key.WriteDword("StartDate", 46000), platform::kRegSuccess);
    EXPECT_EQ(GetDaysSinceStart(), -1);
}

TEST_F(ReportTest, OnlyAFirstReplyLineOfOKSparesTheMail) {
    WriteStartDate(DateBytes(platform::Today() - 2));
    EXPECT_EQ(Send(OkReply), "days=3&prj=My+Product&os=" + Os() + "&reason=Too+expensive");
    const std::pair<const char*, bool> replies[] = {
        {"OK\nmore", true}, {"HTTP/1.0 200 OK\r\n\r\nok\r\n", false}, {"HTTP/1.0 404 Not Found\r\n\r\nNot Found", false},
        {"", false},  // the server closes without a word
    };
    for (const auto& [reply, confirmed] : replies) {
        opened.clear();
        Send(reply);
        EXPECT_EQ(opened, confirmed ? std::vector<AnsiString>{} : std::vector<AnsiString>{kMail + "Too%20expensive"})
            << reply;
    }
}

TEST_F(ReportTest, TheReasonAsTheDialogShowsIt) {
    const struct {
        int index;
        const char* other;
        std::string query, body;
    } cases[] = {
        {6, "", "Other%3A+", "Other:%20"},  // "Other" carries the free text even when empty
        {6, "a&b #1", "Other%3A+a%26b+%231", "Other:%20a%26b%20%231"},
        {2, "typed anyway", "Resource+hungry", "Resource%20hungry"},
        {-1, "x", "", ""},
    };
    for (const auto& c : cases) {
        opened.clear();
        form.rgReason->SetItemIndex(c.index);
        form.edOther->SetText(c.other);
        EXPECT_EQ(Send("nope"), "prj=My+Product&os=" + Os() + "&reason=" + c.query);
        EXPECT_EQ(opened, std::vector<AnsiString>{kMail + c.body});
    }
}

TEST_F(ReportTest, FailuresNeverEscape) {
    ReportChannel channel{"unused", "a@b", nullptr, [this](const AnsiString& url) { opened.push_back(url); }};
    channel.fetch = [](const AnsiString&, std::vector<AnsiString>& lines) -> bool {
        lines = {"OK"};
        throw std::runtime_error("broken transport");
    };
    EXPECT_NO_THROW(SendReport(form, channel));
    EXPECT_EQ(opened.size(), 1u);  // an escaped error is no confirmation
    channel.fetch = [](const AnsiString&, std::vector<AnsiString>&) { return false; };
    channel.openUrl = [](const AnsiString&) { throw std::runtime_error("no mail program"); };
    EXPECT_NO_THROW(SendReport(form, channel));
}

// Closing the dialog sends with the build's channel and the environment's host.
TEST_F(ReportTest, ClosingTheDialogUsesTheEnvironmentsHost) {
    const AnsiString configured = ReportHost();
    EXPECT_EQ(configured.find(':'), AnsiString::npos) << "the build's host needs no port";
    ReplyServer server(OkReply);
    SetEnv("UNINSTALL_STAT_HOST", server.Host());
    form.Close();
    SetEnv("UNINSTALL_STAT_HOST", "");
    EXPECT_NE(server.OnlyRequest().find("&reason=Too+expensive HTTP/1.0\r\nHost: " + server.Host()), std::string::npos);
    EXPECT_EQ(ReportHost(), configured);
}

}  // namespace
