#include <gtest/gtest.h>

#include "net/BlockSocket.h"
#include "tests/common/loopback_server.h"

using nettest::Connection;
using nettest::LoopbackServer;
using nettest::Stopwatch;

namespace {

void ConnectTo(TTcpSocket& socket, const LoopbackServer& server) {
    socket.Connect("127.0.0.1", server.Port());
    ASSERT_EQ(socket.ErrorCode, 0) << socket.ErrorText;
}

void Hold(Connection& c) { c.WaitClosed(); }

}  // namespace

TEST(BlockingSocket, ReceiveLineWithAnyLineEnd) {
    LoopbackServer server([](Connection& c) {
        for (const char* piece : {"x\ny\r\n", "p\n\rq", "r\r", "\ns\r\n"}) {
            c.Send(piece);
            c.Sleep(60);
        }
        c.WaitClosed();
    });
    TTcpSocket socket;
    socket.AnyLineEnd = true;
    ConnectTo(socket, server);
    // LF CR is one end; a CR that is the last byte so far ends the line and the LF after it an empty one.
    for (const char* line : {"x", "y", "p", "qr", "", "s"}) EXPECT_EQ(socket.ReceiveLine(2000), line);
    EXPECT_EQ(socket.ErrorCode, 0);
}

TEST(BlockingSocket, ReceiveLineStrictEndsCloseAndLimit) {
    const struct {
        std::string sent;
        bool anyLineEnd;
        int limit;
        bool keepOpen;
        AnsiString line;
        int error;
        std::size_t pendingAtLeast;
    } cases[] = {
        {"a\nb\r\n", false, 0, true, "a\nb", 0, 0},               // without AnyLineEnd only CR LF ends a line
        {"abc", true, 0, false, "", 10054, 3},                      // the peer closes: the bytes stay pending
        {std::string(100, 'z'), false, 50, true, "", 10055, 51},  // over the limit: stops, keeps the bytes
    };
    for (const auto& t : cases) {
        LoopbackServer server([&t](Connection& c) {
            c.Send(t.sent);
            if (t.keepOpen) c.WaitClosed();
        });
        TTcpSocket socket;
        socket.AnyLineEnd = t.anyLineEnd;
        if (t.limit) socket.LineLimit = t.limit;
        ConnectTo(socket, server);
        EXPECT_EQ(socket.ReceiveLine(2000), t.line) << t.sent;
        EXPECT_EQ(socket.ErrorCode, t.error) << t.sent;
        EXPECT_GE(socket.Pending.size(), t.pendingAtLeast) << t.sent;
    }
}

TEST(BlockingSocket, WaitsEndByTheirLimitAndKeepWhatCame) {
    LoopbackServer server([](Connection& c) {
        c.Send("567");
        c.WaitClosed();
    });
    TTcpSocket socket;
    ConnectTo(socket, server);
    socket.Pending = "kept";
    EXPECT_EQ(socket.ReceiveAvailable(0), "kept");  // pending bytes come without a wait
    EXPECT_EQ(socket.ErrorCode, 0);
    socket.Pending = "1234";
    char buffer[10] = {};
    Stopwatch watch;
    EXPECT_EQ(socket.ReceiveExactly(buffer, 10, 300), 7);
    EXPECT_EQ(socket.ErrorCode, 10060);
    EXPECT_EQ(std::string(buffer, 7), "1234567");
    EXPECT_GE(watch.Ms(), 250);
    Stopwatch poll;
    EXPECT_FALSE(socket.WaitReadable(0));
    EXPECT_LT(poll.Ms(), 100);
    EXPECT_EQ(socket.ReceiveAvailable(0), "");
    EXPECT_EQ(socket.ErrorCode, 10060);
}

TEST(BlockingSocket, ReadsAcrossPiecesUntilThePeerCloses) {
    LoopbackServer server([](Connection& c) {
        for (char piece : {'A', 'b', 'c', 'd'}) {
            c.Send(std::string(1000, piece));
            c.Sleep(20);
        }
    });
    TTcpSocket socket;
    ConnectTo(socket, server);
    EXPECT_EQ(socket.PeekOneByte(2000), 'A');
    EXPECT_EQ(socket.ReceiveOneByte(2000), 'A');
    std::string buffer(5000, '\0');
    EXPECT_EQ(socket.ReceiveExactly(buffer.data(), 2999, 2000), 2999);
    EXPECT_EQ(socket.ErrorCode, 0);
    EXPECT_EQ(buffer.substr(0, 2999), std::string(999, 'A') + std::string(1000, 'b') + std::string(1000, 'c'));
    EXPECT_EQ(socket.ReceiveExactly(buffer.data(), 2000, 2000), 1000);
    EXPECT_EQ(socket.ErrorCode, 10054);
    EXPECT_EQ(socket.ReceiveOneByte(2000), 0);
    EXPECT_EQ(socket.ErrorCode, 10054);
}

TEST(BlockingSocket, ConnectFailures) {
    const std::string port = nettest::ClosedPort();
    TTcpSocket socket;
    socket.Connect("127.0.0.1", port);
    EXPECT_EQ(socket.ErrorCode, 10061);
    EXPECT_EQ(socket.ErrorText, "Connection refused");
    // A name that does not resolve connects to the all-ones address, not to 0.0.0.0 (this host).
    TTcpSocket unresolved;
    unresolved.Connect("no-such-host.invalid", port);
    EXPECT_NE(unresolved.ErrorCode, 0);
    EXPECT_NE(unresolved.ErrorCode, 10061);
    EXPECT_NE(unresolved.ErrorCode, 11001);

    TTcpSocket raising;
    raising.RaiseOnError = true;
    try {
        raising.Connect("127.0.0.1", port);
        ADD_FAILURE() << "no exception";
    } catch (const ESocketError& error) {
        EXPECT_EQ(error.ErrorCode(), 10061);
        EXPECT_EQ(error.Message(), "TCP/IP Socket error 10061: Connection refused");
    }
    EXPECT_EQ(TBlockingSocket::GetErrorDesc(12345), "Not a Winsock error (12345)");
}

TEST(BlockingSocket, CloseStatusAndAddresses) {
    TTcpSocket never;
    never.Close();
    EXPECT_EQ(never.ErrorCode, 0);

    LoopbackServer server(Hold);
    TTcpSocket socket;
    std::vector<int> reasons;
    socket.StatusHook = [&](TBlockingSocket&, int reason, const AnsiString&) { reasons.push_back(reason); };
    ConnectTo(socket, server);
    EXPECT_EQ(socket.RemoteIp(), "127.0.0.1");
    EXPECT_EQ(std::to_string(socket.RemotePortNumber()), server.Port());
    EXPECT_EQ(socket.LocalIp(), "127.0.0.1");
    EXPECT_GT(socket.LocalPortNumber(), 0);
    socket.SendText("x");
    socket.Close();
    socket.Close();
    EXPECT_EQ(reasons, (std::vector<int>{2, 0, 1, 5, 11, 3}));
    EXPECT_EQ(socket.Handle, platform::kNoSocket);
}

TEST(BlockingSocket, Resolution) {
    TTcpSocket socket;
    std::vector<AnsiString> addresses;
    socket.ResolveAll("10.0.0.07", addresses);
    EXPECT_EQ(addresses, std::vector<AnsiString>{"10.0.0.07"});
    EXPECT_EQ(socket.ResolveFirst("localhost"), "127.0.0.1");
    EXPECT_EQ(socket.ResolveFirst("no-such-host.invalid"), "0.0.0.0");
    const std::pair<const char*, int> ports[] = {{"8080", 8080}, {" +8080 ", 8080}, {"-1", 65535},
                                                 {"2147483648", 0}, {"no-such-service", 0}};
    for (const auto& [text, number] : ports) {
        const std::uint16_t network = socket.ResolvePortNumber(text);
        const auto* bytes = reinterpret_cast<const unsigned char*>(&network);
        EXPECT_EQ(bytes[0] << 8 | bytes[1], number) << text;
    }
}

TEST(BlockingSocket, SendRateLimitSpacesSends) {
    LoopbackServer server(Hold);
    TTcpSocket socket;
    ConnectTo(socket, server);
    socket.SendRateLimit = 1000;  // bytes per second
    Stopwatch watch;
    socket.SendText(std::string(200, 'x'));
    socket.SendText(std::string(200, 'x'));  // waits for the 200 ms the first one bought
    EXPECT_GE(watch.Ms(), 150);
    EXPECT_EQ(socket.ErrorCode, 0);
}

// A SOCKS 5 server that, step by step, waits for so many bytes in all and then answers.
struct SocksCase {
    const char* name;
    const char* user;  // and "secret" as the password; null: none
    const char* target;
    std::vector<std::pair<std::size_t, std::string>> steps;
    std::string sent;  // what the client sends in all
    int error, lastReply;
    const char* boundIp;
    int boundPort;
};

TEST(SocksSocket, NegotiatesOrSaysWhyNot) {
    using S = std::string;
    const S greeting("\x05\x01\x00", 3), granted("\x05\x00", 2);
    const SocksCase cases[] = {
        {"user and name", "user", "site.example",
         {{4, S("\x05\x02", 2)}, {16, S("\x01\x00", 2)}, {36, S("\x05\x00\x00\x01\x0a\x00\x00\x01\x1f\x90", 10) + "hello"}},
         S("\x05\x02\x00\x02\x01\x04", 6) + "user\x06secret" + S("\x05\x01\x00\x03\x0c", 5) + "site.example" + S("\0P", 2),
         0, 0, "10.0.0.1", 8080},
        {"IPv6 bound address", nullptr, "10.1.2.3",
         {{3, granted}, {13, S("\x05\x00\x00\x04", 4) + S(16, '\x01') + S("\x01\xbb", 2) + "hello"}},
         greeting + S("\x05\x01\x00\x01\x0a\x01\x02\x03\x01\xbb", 10), 0, 0, "", 443},
        {"no acceptable method", nullptr, "10.1.2.3", {{3, S("\x05\xff", 2)}}, greeting, 10091, 0, "", 0},
        {"refused by the rule set", nullptr, "10.1.2.3", {{3, granted}, {13, S("\x05\x02\x00\x01", 4) + S(6, '\0')}},
         greeting + S("\x05\x01\x00\x01\x0a\x01\x02\x03\x01\xbb", 10), 10091, 2, "", 0},
    };
    for (const SocksCase& t : cases) {
        LoopbackServer proxy([&t](Connection& c) {
            for (const auto& [bytes, reply] : t.steps)
                if (!c.ReadBytes(bytes) || !c.Send(reply)) return;
            c.WaitClosed();
        });
        TTcpSocket socket;
        socket.SocksServer = "127.0.0.1";
        socket.SocksPort = proxy.Port();
        socket.SocksTimeoutMs = 1000;
        if (t.user) {
            socket.SocksUserName = t.user;
            socket.SocksPassword = "secret";
        }
        socket.Connect(t.target, t.user ? "80" : "443");
        EXPECT_EQ(socket.ErrorCode, t.error) << t.name;
        EXPECT_EQ(socket.SocksLastReply, t.lastReply) << t.name;
        if (t.error == 0) {
            EXPECT_TRUE(socket.UsingSocks) << t.name;
            EXPECT_EQ(socket.SocksResponseIp, t.boundIp) << t.name;
            EXPECT_EQ(socket.SocksResponsePort, t.boundPort) << t.name;
            EXPECT_EQ(socket.RemoteIp(), t.target) << t.name;
            // Data after the reply belongs to the connection.
            EXPECT_EQ(socket.ReceiveAvailable(2000), "hello") << t.name;
        }
        socket.Close();
        EXPECT_EQ(proxy.Received().at(0), t.sent) << t.name;
    }
}

TEST(TunnelSocket, ConnectsOrRefusesAndCapsTheReply) {
    std::string block = "HTTP/1.0 200 Connection established\r\n";
    while (block.size() < (2 << 20)) block += "X-Filler: yes\r\n";
    const std::pair<std::string, int> cases[] = {
        {"HTTP/1.0 200 Connection established\r\nProxy-agent: test\r\n\r\ndata", 0},
        {"HTTP/1.0 407 Proxy Authentication Required\r\n\r\n", 10091},
        {block + "\r\n", 10091},                                                          // endless header block
        {"HTTP/1.0 200 OK\r\nX-Long: " + std::string(2 << 20, 'y') + "\r\n\r\n", 10055},  // endless line
    };
    for (const auto& [reply, error] : cases) {
        LoopbackServer proxy([&reply](Connection& c) {
            if (c.ReadHead()) c.Send(reply);
            c.WaitClosed();
        });
        TTcpSocket socket;
        socket.TunnelProxy = "127.0.0.1";
        socket.TunnelPort = proxy.Port();
        socket.TunnelUser = "u";
        socket.TunnelPassword = "p";
        socket.Connect("secure.example", "443");
        EXPECT_EQ(socket.ErrorCode, error) << reply.substr(0, 40);
        EXPECT_EQ(socket.TunnelOpen, error == 0);
        EXPECT_EQ(socket.LineLimit, 0);
        if (error == 0) {
            EXPECT_EQ(socket.RemotePortNumber(), 443);
            EXPECT_EQ(socket.ReceiveAvailable(2000), "data");
        }
        socket.Close();
        EXPECT_EQ(proxy.Received().at(0), "CONNECT secure.example:443 HTTP/1.0\r\nProxy-Authorization: Basic dTpw\r\n\r\n");
    }
}
