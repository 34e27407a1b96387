// FetchText against servers that lie, stall or flood: memory stays bounded by the body and line caps and
// the whole exchange by the overall time limit.
#include <gtest/gtest.h>

#include <fstream>
#include <random>

#include "tests/common/loopback_server.h"
#include "net/HttpClient.h"

using nettest::Connection;
using nettest::LoopbackServer;
using nettest::Stopwatch;

namespace {

constexpr int kLimitMs = 1000;
constexpr long long kSlackMs = 700;

// Sends the head, then block after block until the client goes away.
LoopbackServer::Handler Flood(std::string head, std::string block, int pauseMs = 0) {
    return [=](Connection& c) {
        if (!c.ReadHead() || !c.Send(head)) return;
        while (!c.Stopping() && c.Send(block))
            if (pauseMs > 0) c.Sleep(pauseMs);
    };
}

// Sends the response, then holds the connection open for holdMs.
LoopbackServer::Handler Answer(std::string response, int holdMs) {
    return [=](Connection& c) {
        if (c.ReadHead()) c.Send(response);
        c.WaitClosed(holdMs);
    };
}

std::string Garbage(std::size_t size) {
    std::mt19937 random(42);
    std::string bytes(size, '\0');
    for (char& b : bytes) b = static_cast<char>(random());
    return bytes;
}

#ifdef __linux__
long StatusKb(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0) return std::stol(line.substr(std::string(field).size()));
    return -1;
}
// Resets the peak resident size (Linux 4.0 and later); false when the kernel does not allow it.
bool ResetPeak() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    return static_cast<bool>(clear);
}
#endif

struct Hostile {
    const char* name;
    LoopbackServer::Handler server;
    std::size_t maxBody;   // bytes the body may hold at most
    bool expectQuick;      // ends well before the time limit
};

class HostileServer : public ::testing::TestWithParam<Hostile> {};

TEST_P(HostileServer, BoundedMemoryAndTime) {
    const Hostile& h = GetParam();
    LoopbackServer server(h.server);
#ifdef __linux__
    bool measured = ResetPeak();
    long before = StatusKb("VmRSS:");
#endif
    std::vector<AnsiString> lines;
    Stopwatch watch;
    bool sent = FetchText(server.Url("/stat"), lines, kLimitMs);
    const long long held = watch.Ms();
    std::size_t body = 0;
    for (const AnsiString& line : lines) body += line.size();
    EXPECT_TRUE(sent);
    EXPECT_LE(body, h.maxBody);
    EXPECT_LE(held, h.expectQuick ? kLimitMs / 2 : kLimitMs + kSlackMs);
#ifdef __linux__
    if (measured) {
        EXPECT_LT(StatusKb("VmHWM:") - before, 16 * 1024) << "peak resident growth in KiB";
    }
#endif
}

const std::string kBlock(64 << 10, 'x');
const std::string kChunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";

// Header lines end in LF alone: a CR LF that a send splits would end the header block, as a CR that is
// the last byte received so far ends its line.
std::string HeaderLines() {
    std::string lines;
    while (lines.size() < (64 << 10)) lines += "X-Filler: yes\n";
    return lines;
}

INSTANTIATE_TEST_SUITE_P(
    FetchText, HostileServer,
    ::testing::Values(
        Hostile{"Declared2GB", Flood("HTTP/1.0 200 OK\r\nContent-Length: 2000000000\r\n\r\n", kBlock), 1 << 20, false},
        Hostile{"Declared2GBThenSilence", Answer("HTTP/1.0 200 OK\r\nContent-Length: 2147483647\r\n\r\nOK", 3000), 2, false},
        Hostile{"HugeChunk", Flood(kChunked + "7FFFFFFFFFFFFFF\r\n", kBlock), 1 << 20, false},
        Hostile{"ChunkSizeOverflow", Flood(kChunked + "FFFFFFFFFFFFFFFFFFFF\r\n", kBlock), 0, true},
        Hostile{"NegativeChunk", Flood(kChunked + "-10\r\n", kBlock), 0, true},
        Hostile{"NegativeLength", Answer("HTTP/1.0 200 OK\r\nContent-Length: -5\r\n\r\nabc", 0), 3, true},
        Hostile{"EndlessHeaderLine", Flood("HTTP/1.0 200 OK\r\nX-Long: ", kBlock), 0, true},
        Hostile{"EndlessStatusLine", Flood("HTTP/1.0 200 ", kBlock), 0, true},
        Hostile{"EndlessHeaderBlock", Flood("HTTP/1.0 200 OK\r\n", HeaderLines()), 0, false},
        Hostile{"EndlessBody", Flood("HTTP/1.0 200 OK\r\n\r\n", kBlock), 1 << 20, false},
        Hostile{"OneByteEvery200ms", Flood("HTTP/1.0 200 OK\r\n\r\n", "x", 200), 10, false},
        Hostile{"SlowHeaderLine", Flood("HTTP/1.0 200 OK\r\nX-Slow: ", "y", 200), 0, false},
        Hostile{"Garbage", Flood(Garbage(1000), Garbage(64 << 10)), 1 << 20, false},
        Hostile{"ResetMidBody",
                [](Connection& c) {
                    if (!c.ReadHead()) return;
                    c.Send("HTTP/1.0 200 OK\r\nContent-Length: 100000\r\n\r\n" + std::string(5000, 'r'));
                    c.Sleep(100);
                    c.Reset();
                },
                5000, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(HttpClientLimits, DirectUseKeepsNoCapsUnlessSet) {
    // 3 MiB arrive in full without limits; with a cap only the cap is kept. The capped answer fits the
    // socket buffers: Wine does not fail a send to a client that stopped reading and closed.
    for (const std::int64_t cap : {0, 1000}) {
        const std::size_t size = cap ? 64 << 10 : 3 << 20;
        LoopbackServer server(Answer("HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(size) + "\r\n\r\n" +
                                         std::string(size, 'b'), 0));
        THttpClient client;
        client.TimeoutMs = 2000;
        client.MaxBodySize = cap;
        EXPECT_TRUE(client.Execute("GET", server.Url()));
        EXPECT_EQ(client.Body, std::string(cap ? cap : size, 'b'));
    }
}

TEST(HttpClientLimits, RequestBodyToServerThatNeverReadsEndsByTheDeadline) {
    LoopbackServer server([](Connection& c) {
        c.ReadHead();
        c.Sleep(3000);
    });
    THttpClient client;
    client.DeadlineMs = 500;
    client.Body = std::string(8 << 20, 'b');
    Stopwatch watch;
    EXPECT_FALSE(client.Execute("POST", server.Url()));
    EXPECT_EQ(client.Socket.ErrorCode, 10060);
    EXPECT_LT(watch.Ms(), 1500);
}

}  // namespace
