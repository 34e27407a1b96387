#include <gtest/gtest.h>

#include "LoopbackServer.h"
#include "net/BlockSocket.h"
#include "net/NetHelpers.h"

using nettest::Connection;
using nettest::LoopbackServer;
using nettest::Stopwatch;

namespace {

// Connects a fresh socket to the server; the server's handler decides what arrives.
void ConnectTo(TTcpSocket& socket, const LoopbackServer& server) {
    socket.Connect("127.0.0.1", server.Port());
    ASSERT_EQ(socket.ErrorCode, 0) << socket.ErrorText;
}

int HostOrder(std::uint16_t networkOrder) {
    unsigned char bytes[2];
    std::memcpy(bytes, &networkOrder, 2);
    return bytes[0] << 8 | bytes[1];
}

}  // namespace

TEST(BlockingSocket, ReceiveLineWithAnyLineEnd) {
    LoopbackServer server([](Connection& c) {
        c.Send("x\ny\r\n");
        c.Sleep(50);
        c.Send("p\n\rq");
        c.Sleep(50);
        c.Send("r\r");
        c.Sleep(100);
        c.Send("\ns\r\n");
        c.WaitClosed();
    });
    TTcpSocket socket;
    socket.AnyLineEnd = true;
    ConnectTo(socket, server);
    EXPECT_EQ(socket.ReceiveLine(2000), "x");
    EXPECT_EQ(socket.ReceiveLine(2000), "y");
    EXPECT_EQ(socket.ReceiveLine(2000), "p");  // LF CR is one end
    EXPECT_EQ(socket.Pending, "q");
    // A CR that is the last byte so far ends the line; the LF that follows reads as an empty line.
    EXPECT_EQ(socket.ReceiveLine(2000), "qr");
    EXPECT_EQ(socket.ReceiveLine(2000), "");
    EXPECT_EQ(socket.ErrorCode, 0);
    EXPECT_EQ(socket.ReceiveLine(2000), "s");
}

TEST(BlockingSocket, ReceiveLineStrictEndsCloseAndLimit) {
    struct Case {
        std::string sent;
        bool anyLineEnd;
        int limit;
        bool keepOpen;
        AnsiString line;
        int error;
        std::size_t pendingAtLeast;
    };
    const Case cases[] = {
        {"a\nb\r\n", false, 0, true, "a\nb", 0, 0},           // without AnyLineEnd only CR LF ends a line
        {"abc", true, 0, false, "", 10054, 3},                  // the peer closes: the bytes stay pending
        {std::string(100, 'z'), false, 50, true, "", 10055, 51},  // over the limit: stops, keeps the bytes
    };
    for (const Case& t : cases) {
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

TEST(BlockingSocket, ReceiveAvailableHandsOutPendingWithoutWaiting) {
    LoopbackServer server([](Connection& c) { c.WaitClosed(); });
    TTcpSocket socket;
    ConnectTo(socket, server);
    socket.Pending = "kept";
    EXPECT_EQ(socket.ReceiveAvailable(0), "kept");
    EXPECT_EQ(socket.ErrorCode, 0);
    EXPECT_EQ(socket.ReceiveAvailable(0), "");
    EXPECT_EQ(socket.ErrorCode, 10060);
}

TEST(BlockingSocket, WaitReadableHonoursItsLimit) {
    LoopbackServer server([](Connection& c) { c.WaitClosed(); });
    TTcpSocket socket;
    ConnectTo(socket, server);
    Stopwatch poll;
    EXPECT_FALSE(socket.WaitReadable(0));
    EXPECT_LT(poll.Ms(), 100);
    Stopwatch wait;
    EXPECT_FALSE(socket.WaitReadable(300));
    EXPECT_GE(wait.Ms(), 250);
    EXPECT_LT(wait.Ms(), 1500);
}

TEST(BlockingSocket, ReceiveExactlyPartialArrival) {
    LoopbackServer server([](Connection& c) {
        c.Send("567");
        c.WaitClosed();
    });
    TTcpSocket socket;
    ConnectTo(socket, server);
    socket.Pending = "1234";
    char buffer[10] = {};
    Stopwatch watch;
    EXPECT_EQ(socket.ReceiveExactly(buffer, 10, 300), 7);
    EXPECT_EQ(socket.ErrorCode, 10060);
    EXPECT_EQ(std::string(buffer, 7), "1234567");
    EXPECT_GE(watch.Ms(), 250);
}

TEST(BlockingSocket, ReceiveExactlyAcrossPiecesAndClose) {
    LoopbackServer server([](Connection& c) {
        for (int i = 0; i < 4; ++i) {
            c.Send(std::string(1000, static_cast<char>('a' + i)));
            c.Sleep(20);
        }
    });
    TTcpSocket socket;
    ConnectTo(socket, server);
    std::string buffer(5000, '\0');
    EXPECT_EQ(socket.ReceiveExactly(buffer.data(), 3000, 2000), 3000);
    EXPECT_EQ(socket.ErrorCode, 0);
    EXPECT_EQ(buffer.substr(0, 3000), std::string(1000, 'a') + std::string(1000, 'b') + std::string(1000, 'c'));
    EXPECT_EQ(socket.ReceiveExactly(buffer.data(), 2000, 2000), 1000);
    EXPECT_EQ(socket.ErrorCode, 10054);
}

TEST(BlockingSocket, ReceiveOneBytePeekAndClosedPeer) {
    LoopbackServer server([](Connection& c) { c.Send("AB"); });
    TTcpSocket socket;
    ConnectTo(socket, server);
    EXPECT_EQ(socket.PeekOneByte(2000), 'A');
    EXPECT_EQ(socket.ReceiveOneByte(2000), 'A');
    EXPECT_EQ(socket.ReceiveOneByte(2000), 'B');
    EXPECT_EQ(socket.ReceiveOneByte(2000), 0);
    EXPECT_EQ(socket.ErrorCode, 10054);
}

TEST(BlockingSocket, ConnectFailures) {
    // A port nobody listens on: take one from a listener that is gone again.
    std::string port;
    { LoopbackServer gone([](Connection&) {}); port = gone.Port(); }
    TTcpSocket socket;
    socket.Connect("127.0.0.1", port);
    EXPECT_EQ(socket.ErrorCode, 10061);
    EXPECT_EQ(socket.ErrorText, "Connection refused");

    TTcpSocket unresolved;
    unresolved.Connect("no-such-host.invalid", "80");
    EXPECT_NE(unresolved.ErrorCode, 0);
    EXPECT_NE(unresolved.ErrorCode, 11001);  // the connect to the all-ones address fails instead

    TTcpSocket raising;
    raising.RaiseOnError = true;
    try {
        raising.Connect("127.0.0.1", port);
        ADD_FAILURE() << "no exception";
    } catch (const ESocketError& error) {
        EXPECT_EQ(error.ErrorCode(), 10061);
        EXPECT_EQ(error.Message(), "TCP/IP Socket error 10061: Connection refused");
        EXPECT_EQ(error.ErrorDescription(), "Connection refused");
    }
}

TEST(BlockingSocket, CloseAndStatusReports) {
    TTcpSocket never;
    never.Close();
    EXPECT_EQ(never.ErrorCode, 0);

    LoopbackServer server([](Connection& c) { c.WaitClosed(); });
    TTcpSocket socket;
    std::vector<int> reasons;
    socket.StatusHook = [&](TBlockingSocket&, int reason, const AnsiString&) { reasons.push_back(reason); };
    ConnectTo(socket, server);
    socket.SendText("x");
    socket.Close();
    socket.Close();
    EXPECT_EQ(reasons, (std::vector<int>{2, 0, 1, 5, 11, 3}));
    EXPECT_EQ(socket.Handle, platform::kNoSocket);
}

TEST(BlockingSocket, AddressesAndResolution) {
    LoopbackServer server([](Connection& c) { c.WaitClosed(); });
    TTcpSocket socket;
    ConnectTo(socket, server);
    EXPECT_EQ(socket.RemoteIp(), "127.0.0.1");
    EXPECT_EQ(std::to_string(socket.RemotePortNumber()), server.Port());
    EXPECT_EQ(socket.LocalIp(), "127.0.0.1");
    EXPECT_GT(socket.LocalPortNumber(), 0);

    std::vector<AnsiString> addresses;
    socket.ResolveAll("10.0.0.07", addresses);
    EXPECT_EQ(addresses, std::vector<AnsiString>{"10.0.0.07"});
    EXPECT_EQ(socket.ResolveFirst("localhost"), "127.0.0.1");
    EXPECT_EQ(socket.ResolveFirst("no-such-host.invalid"), "0.0.0.0");
    EXPECT_EQ(HostOrder(socket.ResolvePortNumber("8080")), 8080);
    EXPECT_EQ(HostOrder(socket.ResolvePortNumber(" 8080 ")), 8080);
    EXPECT_EQ(HostOrder(socket.ResolvePortNumber("no-such-service")), 0);
}

TEST(BlockingSocket, SendRateLimitSpacesSends) {
    LoopbackServer server([](Connection& c) { c.WaitClosed(); });
    TTcpSocket socket;
    ConnectTo(socket, server);
    socket.SendRateLimit = 1000;  // bytes per second
    Stopwatch watch;
    socket.SendText(std::string(200, 'x'));
    socket.SendText(std::string(200, 'x'));  // waits for the 200 ms the first one bought
    EXPECT_GE(watch.Ms(), 150);
    EXPECT_EQ(socket.ErrorCode, 0);
}

TEST(BlockingSocket, ErrorDescriptions) {
    EXPECT_EQ(TBlockingSocket::GetErrorDesc(0), "OK");
    EXPECT_EQ(TBlockingSocket::GetErrorDesc(10054), "Connection reset by peer");
    EXPECT_EQ(TBlockingSocket::GetErrorDesc(11002), "Non authoritative - host not found");
    EXPECT_EQ(TBlockingSocket::GetErrorDesc(12345), "Not a Winsock error (12345)");
    EXPECT_EQ(TBlockingSocket::GetErrorDesc(-1), "Not a Winsock error (-1)");
}

TEST(SocksSocket, NegotiatesWithUserAndDomainName) {
    LoopbackServer server([](Connection& c) {
        if (!c.ReadBytes(4)) return;
        c.Send(std::string("\x05\x02", 2));
        if (!c.ReadBytes(4 + 1 + 1 + 4 + 1 + 6)) return;
        c.Send(std::string("\x01\x00", 2));
        if (!c.ReadBytes(17 + 5 + 12 + 2)) return;
        c.Send(std::string("\x05\x00\x00\x01\x0a\x00\x00\x01\x1f\x90", 10) + "hello");
        c.WaitClosed();
    });
    TTcpSocket socket;
    socket.SocksServer = "127.0.0.1";
    socket.SocksPort = server.Port();
    socket.SocksUserName = "user";
    socket.SocksPassword = "secret";
    socket.Connect("site.example", "80");
    EXPECT_EQ(socket.ErrorCode, 0);
    EXPECT_TRUE(socket.UsingSocks);
    EXPECT_EQ(socket.SocksResponseIp, "10.0.0.1");
    EXPECT_EQ(socket.SocksResponsePort, 8080);
    EXPECT_EQ(socket.RemoteIp(), "site.example");
    EXPECT_EQ(socket.ReceiveAvailable(2000), "hello");  // data after the reply belongs to the connection
    socket.Close();
    std::string sent = server.Received().at(0);
    EXPECT_EQ(sent, std::string("\x05\x02\x00\x02", 4) + std::string("\x01\x04", 2) + "user" + "\x06" + "secret" +
                        std::string("\x05\x01\x00\x03\x0c", 5) + "site.example" + std::string("\x00\x50", 2));
}

TEST(SocksSocket, RefusalsSetNegotiationError) {
    auto connect = [](LoopbackServer& proxy, TTcpSocket& socket) {
        socket.SocksServer = "127.0.0.1";
        socket.SocksPort = proxy.Port();
        socket.SocksTimeoutMs = 1000;
        socket.Connect("10.1.2.3", "443");
        EXPECT_EQ(socket.ErrorCode, 10091);
        socket.Close();
    };
    // No acceptable method.
    LoopbackServer noMethod([](Connection& c) {
        if (c.ReadBytes(3)) c.Send(std::string("\x05\xff", 2));
        c.WaitClosed();
    });
    TTcpSocket first;
    connect(noMethod, first);
    EXPECT_EQ(noMethod.Received().at(0), std::string("\x05\x01\x00", 3));

    // Connection refused by the rule set (reply 2), with an IPv4 target.
    LoopbackServer refused([](Connection& c) {
        if (c.ReadBytes(3)) c.Send(std::string("\x05\x00", 2));
        if (c.ReadBytes(3 + 10)) c.Send(std::string("\x05\x02\x00\x01\x00\x00\x00\x00\x00\x00", 10));
        c.WaitClosed();
    });
    TTcpSocket second;
    connect(refused, second);
    EXPECT_EQ(second.SocksLastReply, 2);
    EXPECT_EQ(refused.Received().at(0).substr(3), std::string("\x05\x01\x00\x01\x0a\x01\x02\x03\x01\xbb", 10));
}

TEST(TunnelSocket, ConnectThroughProxyOrRefused) {
    for (bool open : {true, false}) {
        LoopbackServer proxy([open](Connection& c) {
            if (c.ReadHead())
                c.Send(open ? "HTTP/1.0 200 Connection established\r\nProxy-agent: test\r\n\r\ndata"
                            : "HTTP/1.0 407 Proxy Authentication Required\r\n\r\n");
            c.WaitClosed();
        });
        TTcpSocket socket;
        socket.TunnelProxy = "127.0.0.1";
        socket.TunnelPort = proxy.Port();
        socket.TunnelUser = "u";
        socket.TunnelPassword = "p";
        socket.Connect("secure.example", "443");
        EXPECT_EQ(socket.ErrorCode, open ? 0 : 10091);
        EXPECT_EQ(socket.TunnelOpen, open);
        if (open) {
            EXPECT_EQ(socket.ReceiveAvailable(2000), "data");
        }
        socket.Close();
        EXPECT_EQ(proxy.Received().at(0),
                  "CONNECT secure.example:443 HTTP/1.0\r\nProxy-Authorization: Basic dTpw\r\n\r\n");
    }
}

TEST(TunnelSocket, ProxyReplyIsCapped) {
    struct Case {
        const char* name;
        std::string reply;
        int error;
    };
    std::string lines = "HTTP/1.0 200 Connection established\r\n";
    while (lines.size() < (2 << 20)) lines += "X-Filler: yes\r\n";
    const Case cases[] = {
        {"endless header block", lines + "\r\n", 10091},
        {"endless line", "HTTP/1.0 200 OK\r\nX-Long: " + std::string(2 << 20, 'y') + "\r\n\r\n", 10055},
    };
    for (const Case& t : cases) {
        LoopbackServer proxy([&t](Connection& c) {
            if (c.ReadHead()) c.Send(t.reply);
        });
        TTcpSocket socket;
        socket.TunnelProxy = "127.0.0.1";
        socket.TunnelPort = proxy.Port();
        socket.Connect("secure.example", "443");
        EXPECT_EQ(socket.ErrorCode, t.error) << t.name;
        EXPECT_FALSE(socket.TunnelOpen) << t.name;
        EXPECT_EQ(socket.LineLimit, 0) << t.name;
    }
}

TEST(TlsSocket, SwitchingOnLoadsTheLibraryOrSays10043) {
    TTcpSocket socket;
    socket.SetTlsEnabled(true);
    if (socket.TlsEnabled()) {
        EXPECT_EQ(socket.ErrorCode, 0);
        socket.SetTlsEnabled(false);
        EXPECT_FALSE(socket.TlsEnabled());
    } else {
        EXPECT_EQ(socket.ErrorCode, 10043);
    }
}
