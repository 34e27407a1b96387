// TLS against a real OpenSSL server on loopback: whom the client trusts, and that no TLS wait outlasts
// its limit or the deadline.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "LoopbackServer.h"
#include "TlsPeer.h"
#include "net/BlockSocket.h"

using nettest::Connection;
using nettest::Identity;
using nettest::LoopbackServer;
using nettest::Stopwatch;
using nettest::TlsServerSession;

namespace {

struct Pki {
    Identity authority = nettest::MakeIdentity("Test Root", "", nullptr);
    Identity local = nettest::MakeIdentity("localhost", "DNS:localhost,IP:127.0.0.1", &authority);
    Identity stranger = nettest::MakeIdentity("other.example", "DNS:other.example,IP:10.9.8.7", &authority);
    Identity selfSigned = nettest::MakeIdentity("localhost", "DNS:localhost,IP:127.0.0.1", nullptr);
    std::filesystem::path folder = std::filesystem::temp_directory_path() / ("uf-tls-" + std::to_string(::getpid()));
    std::string caFile = (folder / "ca.pem").string();
    std::string emptyFolder = (folder / "none").string();

    Pki() {
        std::filesystem::create_directories(emptyFolder);
        nettest::WritePem(authority, caFile);
    }
    ~Pki() { std::filesystem::remove_all(folder); }
};

Pki& Certificates() {
    static Pki pki;
    return pki;
}

// The system's roots as OpenSSL finds them: the test's authority, or nothing at all.
void SystemRoots(const std::string& file) {
    ::setenv("SSL_CERT_FILE", file.c_str(), 1);
    ::setenv("SSL_CERT_DIR", Certificates().emptyFolder.c_str(), 1);
}

LoopbackServer::Handler ServeTls(const Identity& identity) {
    return [&identity](Connection& c) {
        TlsServerSession session(c, identity);
        if (session.Accept() && !session.Read().empty()) session.Write("pong\r\n");
        c.WaitClosed(1000);
    };
}

enum class Roots { CaFile, SystemWithAuthority, SystemWithout };

struct TrustCase {
    const char* name;
    const Identity& (*server)();
    const char* host;
    Roots roots;
    bool verify;
    int error;
    const char* says;  // in TlsLastErrorText
};

class TlsTrust : public ::testing::TestWithParam<TrustCase> {};

TEST_P(TlsTrust, VerifiesChainAndName) {
    const TrustCase& t = GetParam();
    LoopbackServer server(ServeTls(t.server()));
    SystemRoots(t.roots == Roots::SystemWithAuthority ? Certificates().caFile : "/nonexistent");
    TTcpSocket socket;
    socket.SetTlsEnabled(true);
    ASSERT_TRUE(socket.TlsEnabled());
    if (t.roots == Roots::CaFile) socket.TlsCaFile = Certificates().caFile;
    if (!t.verify) socket.TlsVerifyPeer = false;  // otherwise the default holds
    socket.TlsTimeoutMs = 3000;
    socket.Connect(t.host, server.Port());
    EXPECT_EQ(socket.ErrorCode, t.error);
    EXPECT_NE(socket.TlsLastErrorText.find(t.says), AnsiString::npos) << socket.TlsLastErrorText;
    if (t.error == 0) {
        socket.SendText("ping\r\n");
        EXPECT_EQ(socket.ReceiveLine(3000), "pong");
    }
}

const Identity& Local() { return Certificates().local; }
const Identity& Stranger() { return Certificates().stranger; }
const Identity& SelfSigned() { return Certificates().selfSigned; }

INSTANTIATE_TEST_SUITE_P(
    Tls, TlsTrust,
    ::testing::Values(TrustCase{"CaFileByAddress", Local, "127.0.0.1", Roots::CaFile, true, 0, ""},
                      TrustCase{"SystemRootsByName", Local, "localhost", Roots::SystemWithAuthority, true, 0, ""},
                      TrustCase{"UnknownRoot", Local, "localhost", Roots::SystemWithout, true, 10091, "local issuer"},
                      TrustCase{"OtherAddress", Stranger, "127.0.0.1", Roots::CaFile, true, 10091, "IP address mismatch"},
                      TrustCase{"OtherName", Stranger, "localhost", Roots::CaFile, true, 10091, "hostname mismatch"},
                      TrustCase{"SelfSigned", SelfSigned, "localhost", Roots::CaFile, true, 10091, "self-signed"},
                      TrustCase{"CallerOptsOut", Stranger, "localhost", Roots::SystemWithout, false, 0, ""}),
    [](const auto& info) { return std::string(info.param.name); });

// A server that completes the handshake, then does what `then` says with the raw connection.
LoopbackServer::Handler HandshakeThen(void (*then)(Connection&)) {
    return [then](Connection& c) {
        TlsServerSession session(c, Certificates().local);
        if (session.Accept()) then(c);
    };
}

void Mute(Connection& c) { c.WaitClosed(3000); }
void NeverRead(Connection& c) { c.Sleep(3000); }
// A record header promising 100 bytes, 10 of them, then silence.
void PartialRecord(Connection& c) {
    c.Send(std::string("\x17\x03\x03\x00\x64", 5) + std::string(10, 'r'));
    c.WaitClosed(3000);
}

struct WaitCase {
    const char* name;
    LoopbackServer::Handler server;
    int tlsTimeoutMs;
    int deadlineMs;  // 0: none
    // What the client does once connected; empty: the connect itself is the wait.
    void (*client)(TTcpSocket&);
    int error;
};

class TlsWaits : public ::testing::TestWithParam<WaitCase> {};

TEST_P(TlsWaits, EndByTheirLimit) {
    const WaitCase& t = GetParam();
    LoopbackServer server(t.server);
    TTcpSocket socket;
    socket.SetTlsEnabled(true);
    socket.TlsCaFile = Certificates().caFile;
    socket.TlsTimeoutMs = t.tlsTimeoutMs;
    Stopwatch watch;
    if (t.deadlineMs > 0) socket.SetDeadline(t.deadlineMs);
    socket.Connect("127.0.0.1", server.Port());
    if (t.client) {
        ASSERT_EQ(socket.ErrorCode, 0) << socket.TlsLastErrorText;
        t.client(socket);
    }
    EXPECT_EQ(socket.ErrorCode, t.error);
    EXPECT_LT(watch.Ms(), 1500);  // the servers hold out for 3 s
}

const std::string kEightMegabytes(8 << 20, 's');

INSTANTIATE_TEST_SUITE_P(
    Tls, TlsWaits,
    ::testing::Values(
        WaitCase{"SilentHandshake", Mute, 300, 0, nullptr, 10060},
        WaitCase{"SilentHandshakeUnderDeadline", Mute, 3000, 300, nullptr, 10060},
        WaitCase{"PartialRecord", HandshakeThen(PartialRecord), 3000, 0, [](TTcpSocket& s) { s.ReceiveLine(300); }, 10060},
        WaitCase{"PartialRecordUnderDeadline", HandshakeThen(PartialRecord), 3000, 600,
                 [](TTcpSocket& s) { s.ReceiveLine(3000); }, 10060},
        WaitCase{"SendToPeerThatNeverReads", HandshakeThen(NeverRead), 300, 0,
                 [](TTcpSocket& s) { s.SendText(kEightMegabytes); }, 10060},
        WaitCase{"SendUnderDeadline", HandshakeThen(NeverRead), 3000, 600,
                 [](TTcpSocket& s) { s.SendText(kEightMegabytes); }, 10060},
        // Writing on after the peer's reset must report it, not end the process with SIGPIPE.
        WaitCase{"PeerResets", HandshakeThen([](Connection& c) { c.Reset(); }), 3000, 0,
                 [](TTcpSocket& s) {
                     std::this_thread::sleep_for(std::chrono::milliseconds(200));
                     for (int i = 0; i < 3; ++i) s.SendText(std::string(64 << 10, 'p'));
                 },
                 10054}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
