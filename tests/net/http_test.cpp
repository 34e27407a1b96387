#include <gtest/gtest.h>

#include "net/HttpClient.h"
#include "tests/common/loopback_server.h"

using nettest::Connection;
using nettest::LoopbackServer;
using nettest::Stopwatch;

namespace {

using Lines = std::vector<AnsiString>;

// A server that reads one request head and answers with the given bytes, then closes.
LoopbackServer::Handler Reply(std::string response) {
    return [response](Connection& c) {
        if (c.ReadHead()) c.Send(response);
    };
}

// One request and one canned answer: what went out and what the client made of the answer.
struct Exchange {
    const char* name;
    void (*setup)(THttpClient&, const std::string& port);  // may be null
    const char* method;
    std::string url;       // "%s" stands for 127.0.0.1:port
    std::string response;
    std::string request;   // the bytes expected, "%s" again for 127.0.0.1:port
    int status;
    std::string body;
    TBodyMode mode;
};

std::string WithHost(std::string text, const std::string& host) {
    for (std::size_t at; (at = text.find("%s")) != std::string::npos;) text.replace(at, 2, host);
    return text;
}

class HttpExchange : public ::testing::TestWithParam<Exchange> {};

TEST_P(HttpExchange, SendsAndReadsAsDeclared) {
    const Exchange& t = GetParam();
    LoopbackServer server([&t](Connection& c) {
        if (!c.ReadUntil(t.request.find("\r\n\r\n") == std::string::npos ? "\r\n" : "\r\n\r\n")) return;
        c.Send(t.response);
        // A body read until the close needs ours; every other answer the client must end by itself.
        if (t.mode != TBodyMode::UntilClose || t.status == 204) c.WaitClosed(1500);
    });
    const std::string host = "127.0.0.1:" + server.Port();
    THttpClient client;
    client.TimeoutMs = 3000;
    if (t.setup) t.setup(client, server.Port());
    Stopwatch watch;
    EXPECT_TRUE(client.Execute(t.method, WithHost(t.url, host)));
    client.Socket.Close();
    EXPECT_EQ(server.Received().at(0), WithHost(t.request, host));
    EXPECT_EQ(client.StatusCode, t.status);
    EXPECT_EQ(client.Body, t.body);
    EXPECT_EQ(client.BodyMode, t.mode);
    EXPECT_LT(watch.Ms(), 1200);
}

const std::string kGet = "GET / HTTP/1.0\r\nHost: %s\r\n\r\n";
const std::string kChunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
void CallerLines(THttpClient& c, const std::string&) { c.HeaderLines = {"X-One: 1", "X-Two: 2"}; }
void Close(THttpClient& c, const std::string&) { c.KeepConnection = false; }
void Old(THttpClient& c, const std::string&) {
    c.HttpVersion = "0.9";
    c.HeaderLines = {"X-Ignored: 1"};
}
void Proxy(THttpClient& c, const std::string& port) {
    c.ProxyServer = "127.0.0.1";
    c.ProxyServerPort = port;
}
void AuthProxy(THttpClient& c, const std::string& port) {
    Proxy(c, port);
    c.ProxyUserName = "pu";
    c.ProxyPassword = "pp";
}

INSTANTIATE_TEST_SUITE_P(
    Http, HttpExchange,
    ::testing::Values(
        Exchange{"CallerLines", CallerLines, "get", "http://%s", "HTTP/1.0 200 OK\r\n\r\n",
                 "GET / HTTP/1.0\r\nHost: %s\r\nX-One: 1\r\nX-Two: 2\r\n\r\n", 200, "", TBodyMode::UntilClose},
        Exchange{"BlankInPath", nullptr, "GET", "http://%s/a b?c", "HTTP/1.0 200 OK\r\n\r\n",
                 "GET /a b?c HTTP/1.0\r\nHost: %s\r\n\r\n", 200, "", TBodyMode::UntilClose},
        Exchange{"UserAndClose", Close, "GET", "http://user:secret@%s/p", "HTTP/1.0 200 OK\r\n\r\n",
                 "GET /p HTTP/1.0\r\nHost: %s\r\nAuthorization: Basic dXNlcjpzZWNyZXQ=\r\nConnection: close\r\n\r\n",
                 200, "", TBodyMode::UntilClose},
        Exchange{"Asterisk", nullptr, "options", "http://%s/*", "HTTP/1.0 200 OK\r\n\r\n",
                 "OPTIONS * HTTP/1.0\r\nHost: %s\r\n\r\n", 200, "", TBodyMode::UntilClose},
        Exchange{"Version09", Old, "GET", "http://%s/old", "raw body\n", "GET /old\r\n", 0, "raw body\r\n",
                 TBodyMode::UntilClose},
        Exchange{"ProxyAddsPort80", Proxy, "GET", "http://site.example/a?b", "HTTP/1.0 200 OK\r\n\r\nvia proxy",
                 "GET http://site.example:80/a?b HTTP/1.0\r\nHost: site.example\r\n\r\n", 200, "via proxy",
                 TBodyMode::UntilClose},
        Exchange{"ProxyWithUsers", AuthProxy, "GET", "http://u:p@site.example:8080/", "HTTP/1.0 200 OK\r\n\r\n",
                 "GET http://site.example:8080/ HTTP/1.0\r\nHost: site.example:8080\r\n"
                 "Proxy-Authorization: Basic cHU6cHA=\r\nAuthorization: Basic dTpw\r\n\r\n",
                 200, "", TBodyMode::UntilClose},
        Exchange{"Length", nullptr, "GET", "http://%s", "HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nOKextra", kGet, 200,
                 "OK", TBodyMode::ByLength},
        Exchange{"UnrecognisedLength", nullptr, "GET", "http://%s", "HTTP/1.0 200 OK\r\nContent-Length:2\r\n\r\nOK and more",
                 kGet, 200, "OK and more", TBodyMode::UntilClose},
        Exchange{"Chunked", nullptr, "GET", "http://%s", kChunked + "2\r\nOK\r\na\r\n0123456789\r\n0\r\n\r\n", kGet, 200,
                 "OK0123456789", TBodyMode::Chunked},
        Exchange{"ChunkSizeOf15Digits", nullptr, "GET", "http://%s", kChunked + "00000000000000A\r\n0123456789\r\n0\r\n\r\n",
                 kGet, 200, "0123456789", TBodyMode::Chunked},
        Exchange{"ChunkSizeOf16DigitsEnds", nullptr, "GET", "http://%s",
                 kChunked + "2\r\nOK\r\n000000000000000A\r\n0123456789\r\n", kGet, 200, "OK", TBodyMode::Chunked},
        Exchange{"ChunkExtensionEnds", nullptr, "GET", "http://%s", kChunked + "2\r\nOK\r\n3;ext=1\r\nabc\r\n0\r\n\r\n",
                 kGet, 200, "OK", TBodyMode::Chunked},
        Exchange{"ChunkedAfterLength", nullptr, "GET", "http://%s",
                 "HTTP/1.1 200 OK\r\nContent-Length: 1\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nOK\r\n0\r\n\r\n", kGet,
                 200, "OK", TBodyMode::Chunked},
        Exchange{"LengthAfterChunked", nullptr, "GET", "http://%s",
                 "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nContent-Length: 3\r\n\r\n2\r\nOK\r\n0\r\n\r\n", kGet,
                 200, "2\r\n", TBodyMode::ByLength},
        Exchange{"Head", nullptr, "HEAD", "http://%s", "HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nOK",
                 "HEAD / HTTP/1.0\r\nHost: %s\r\n\r\n", 200, "", TBodyMode::ByLength},
        Exchange{"NoContent", nullptr, "GET", "http://%s", "HTTP/1.0 204 No Content\r\n\r\nOK", kGet, 204, "",
                 TBodyMode::UntilClose},
        Exchange{"NotModified", nullptr, "GET", "http://%s", "HTTP/1.0 304 Not Modified\r\nContent-Length: 2\r\n\r\nOK",
                 kGet, 304, "", TBodyMode::ByLength},
        Exchange{"LowerCaseAfterEmptyLine", nullptr, "GET", "http://%s", "\r\nhttp/1.0 503 Unavailable\r\n\r\nbusy", kGet,
                 503, "busy", TBodyMode::UntilClose},
        Exchange{"NoStatusLine", nullptr, "GET", "http://%s", "OK\nsecond\r\n", kGet, 0, "OK\r\nsecond\r\n",
                 TBodyMode::UntilClose}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace

// The request itself is a plain GET (the table above); FetchText adds the overall limit and the lines.
TEST(FetchText, LinesWithinTheOverallLimit) {
    Lines lines{"old"};
    LoopbackServer silent([](Connection& c) { c.WaitClosed(3000); });
    Stopwatch watch;
    EXPECT_TRUE(FetchText(silent.Url(), lines, 300));
    EXPECT_EQ(lines, Lines{""});
    EXPECT_LT(watch.Ms(), 1000);  // the overall limit, not twice the wait
    LoopbackServer headless(Reply("OK\nsecond\r\n"));
    EXPECT_TRUE(FetchText(headless.Url(), lines, 2000));
    EXPECT_EQ(lines, (Lines{"OK", "second"}));
    EXPECT_FALSE(FetchText("http://127.0.0.1:" + nettest::ClosedPort() + "/", lines, 1000));
    EXPECT_TRUE(lines.empty());
}

TEST(HttpClient, RequestBodyAndExpectContinue) {
    LoopbackServer server([](Connection& c) {
        if (!c.ReadHead()) return;
        if (c.Received().find("Expect: 100-continue") == std::string::npos) {
            if (c.ReadUntil("\r\n\r\nbody")) c.Send("HTTP/1.0 200 OK\r\n\r\n");
        } else if (c.Received().find("PUT") == 0) {
            c.Send("HTTP/1.1 417 Expectation Failed\r\nContent-Length: 0\r\n\r\n");
            c.WaitClosed(500);
        } else {
            c.Send("HTTP/1.1 100 Continue\r\n\r\n");
            if (c.ReadUntil("\r\n\r\nbody")) c.Send("HTTP/1.1 201 Created\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok");
        }
    });
    THttpClient client;
    client.TimeoutMs = 1000;
    client.Body = "body";
    client.ContentType = "text/plain";
    EXPECT_TRUE(client.Execute("post", server.Url("/f")));
    client.HeaderLines.clear();
    client.Body = "body";
    client.HttpVersion = "1.1";
    EXPECT_TRUE(client.Execute("POST", server.Url("/f")));
    EXPECT_EQ(client.StatusCode, 201);
    EXPECT_EQ(client.Body, "ok");
    // A final status instead of 100 Continue: the body is never sent.
    client.HeaderLines.clear();
    client.Body = "never sent";
    EXPECT_TRUE(client.Execute("PUT", server.Url("/x")));
    EXPECT_EQ(client.StatusCode, 417);
    EXPECT_EQ(client.StatusText, "Expectation Failed");
    auto received = server.Received(3);
    ASSERT_EQ(received.size(), 3u);
    std::string host = "Host: 127.0.0.1:" + server.Port() + "\r\n";
    EXPECT_EQ(received[0], "POST /f HTTP/1.0\r\n" + host + "Content-Type: text/plain\r\nContent-Length: 4\r\n\r\nbody");
    EXPECT_EQ(received[1], "POST /f HTTP/1.1\r\n" + host +
                               "Content-Type: text/html\r\nContent-Length: 4\r\nExpect: 100-continue\r\n\r\nbody");
    EXPECT_EQ(received[2].find("never sent"), std::string::npos);
}

TEST(HttpClient, StatusLineForms) {
    const std::tuple<const char*, int, const char*> lines[] = {
        {"HTTP/1.0 200 OK", 200, "OK"},
        {"HTTP/1.1 404", 404, ""},
        {"HTTP/1.1 abc Whatever it is", 0, "Whatever it is"},
        {"HTTP/1.1 -2147483648 Low", INT32_MIN, "Low"},
        {"HTTP/1.1 4294967496 Wraps", 0, "Wraps"},  // no number that fits: no code
    };
    THttpClient client;
    EXPECT_EQ(client.TimeoutMs, 300000);
    for (const auto& [line, code, text] : lines) {
        client.ParseStatusLine(line);
        EXPECT_EQ(client.StatusCode, code) << line;
        EXPECT_EQ(client.StatusText, text) << line;
    }
}

TEST(HttpClient, CutExchangesAreNotReused) {
    LoopbackServer server([](Connection& c) {
        if (c.ReadHead()) c.Send("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n");
        c.WaitClosed(2000);
    });
    THttpClient client;
    client.TimeoutMs = 300;
    client.HttpVersion = "1.1";
    EXPECT_TRUE(client.Execute("GET", server.Url()));
    EXPECT_EQ(client.HeaderLines, (Lines{"HTTP/1.1 200 OK", "Content-Type: text/plain", ""}));
    EXPECT_EQ(client.ContentType, "text/plain");
    EXPECT_EQ(client.LiveHost + client.LivePort, "");

    LoopbackServer cut(Reply("HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\n12345"));
    client.HeaderLines.clear();
    EXPECT_TRUE(client.Execute("GET", cut.Url()));
    EXPECT_EQ(client.Body, "12345");  // only what arrived; nothing made up

    // A failure keeps the caller's lines and body, reports 500 and forgets the connection.
    client.HeaderLines = {"X-Mine: 1"};
    client.Body = "payload";
    client.LiveHost = "127.0.0.1";  // as if a connection to it were open
    client.LivePort = nettest::ClosedPort();
    EXPECT_FALSE(client.Execute("POST", "http://127.0.0.1:" + client.LivePort + "/"));
    EXPECT_EQ(client.StatusCode, 500);
    EXPECT_EQ(client.HeaderLines, Lines{"X-Mine: 1"});
    EXPECT_EQ(client.Body, "payload");
    EXPECT_EQ(client.LiveHost + client.LivePort, "");
}

TEST(HttpClient, KeepAliveReusesAndRecoversTheConnection) {
    LoopbackServer server([](Connection& c) {
        if (!c.ReadHead()) return;
        c.Send("HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\none");
        if (!c.ReadUntil("\r\n\r\n", 3000, c.Received().size())) return;
        c.Send("HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\ntwo");
        // Then the server drops the connection; the third request must open a new one.
    });
    THttpClient client;
    client.TimeoutMs = 1000;
    client.HttpVersion = "1.1";
    auto get = [&](const char* body) {
        client.HeaderLines.clear();
        EXPECT_TRUE(client.Execute("GET", server.Url()));
        EXPECT_EQ(client.Body, body);
        EXPECT_EQ(client.LivePort, server.Port());
    };
    get("one");
    get("two");
    server.Received(1);  // the server has dropped the first connection
    get("one");
    EXPECT_EQ(server.Connections(), 2);
}

TEST(HttpClient, HttpsFailsRatherThanSendingClearTextOrWaitingPastTheLimit) {
    LoopbackServer mute([](Connection& c) { c.WaitClosed(3000); });
    THttpClient client;
    client.TimeoutMs = 300;
    client.Socket.SetTlsEnabled(true);
    bool haveTls = client.Socket.TlsEnabled();
    client.Socket.SetTlsEnabled(false);
    Stopwatch watch;
    // With a TLS library the handshake with a mute server ends after TimeoutMs; without one nothing is sent.
    EXPECT_FALSE(client.Execute("GET", "https://127.0.0.1:" + mute.Port() + "/"));
    EXPECT_EQ(client.Socket.ErrorCode, haveTls ? 10060 : 10043);
    EXPECT_LT(watch.Ms(), 2000);
}
