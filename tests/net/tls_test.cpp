// TLS against a real OpenSSL server on loopback: whom the client trusts, and that no TLS wait outlasts
// its limit or the deadline.
#include <gtest/gtest.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <cstdlib>
#include <filesystem>

#include "net/BlockSocket.h"
#include "tests/common/loopback_server.h"

using nettest::Connection;
using nettest::LoopbackServer;
using nettest::Stopwatch;

namespace {

struct Identity {
    std::shared_ptr<EVP_PKEY> key;
    std::shared_ptr<X509> certificate;
};

// A certificate for subjectAltName names ("DNS:localhost,IP:127.0.0.1"), signed by issuer, or by
// itself when issuer is null; a CA when names is empty.
Identity MakeIdentity(const char* commonName, const std::string& names, const Identity* issuer) {
    static long serial = 1;
    Identity made{std::shared_ptr<EVP_PKEY>(EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256"), EVP_PKEY_free),
                  std::shared_ptr<X509>(X509_new(), X509_free)};
    X509* x = made.certificate.get();
    X509* signer = issuer ? issuer->certificate.get() : x;
    X509_set_version(x, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(x), serial++);
    X509_gmtime_adj(X509_getm_notBefore(x), -3600);
    X509_gmtime_adj(X509_getm_notAfter(x), 86400);
    X509_set_pubkey(x, made.key.get());
    X509_NAME_add_entry_by_txt(X509_get_subject_name(x), "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>(commonName), -1, -1, 0);
    X509_set_issuer_name(x, X509_get_subject_name(signer));
    const std::pair<int, std::string> extensions[] = {
        {NID_basic_constraints, names.empty() ? "critical,CA:TRUE" : "critical,CA:FALSE"}, {NID_subject_alt_name, names}};
    for (const auto& [nid, value] : extensions) {
        if (value.empty()) continue;
        X509V3_CTX context;
        X509V3_set_ctx(&context, signer, x, nullptr, nullptr, 0);
        X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value.c_str());
        X509_add_ext(x, extension, -1);
        X509_EXTENSION_free(extension);
    }
    X509_sign(x, issuer ? issuer->key.get() : made.key.get(), EVP_sha256());
    return made;
}

// The server's side of a TLS session on an accepted connection.
struct TlsServerSession {
    std::unique_ptr<SSL_CTX, decltype(&SSL_CTX_free)> context{SSL_CTX_new(TLS_server_method()), SSL_CTX_free};
    std::unique_ptr<SSL, decltype(&SSL_free)> ssl{nullptr, SSL_free};

    TlsServerSession(Connection& connection, const Identity& identity) {
        SSL_CTX_use_certificate(context.get(), identity.certificate.get());
        SSL_CTX_use_PrivateKey(context.get(), identity.key.get());
        ssl.reset(SSL_new(context.get()));
        SSL_set_fd(ssl.get(), static_cast<int>(connection.Handle()));
    }
    bool Accept() { return SSL_accept(ssl.get()) == 1; }
};

struct Pki {
    Identity authority = MakeIdentity("Test Root", "", nullptr);
    Identity local = MakeIdentity("localhost", "DNS:localhost,IP:127.0.0.1", &authority);
    Identity stranger = MakeIdentity("other.example", "DNS:other.example,IP:10.9.8.7", &authority);
    Identity selfSigned = MakeIdentity("localhost", "DNS:localhost,IP:127.0.0.1", nullptr);
    std::filesystem::path folder = std::filesystem::temp_directory_path() / ("uf-tls-" + std::to_string(::getpid()));
    std::string caFile = (folder / "ca.pem").string();
    std::string emptyFolder = (folder / "none").string();

    Pki() {
        std::filesystem::create_directories(emptyFolder);
        FILE* file = std::fopen(caFile.c_str(), "w");
        PEM_write_X509(file, authority.certificate.get());
        std::fclose(file);
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
        char request[64];
        if (session.Accept() && SSL_read(session.ssl.get(), request, sizeof request) > 0) SSL_write(session.ssl.get(), "pong\r\n", 6);
        c.WaitClosed(1000);
    };
}

enum class Roots { CaFile, SystemWithAuthority, SystemWithout };

struct TrustCase {
    const char* name;
    Identity Pki::*server;
    const char* host;
    Roots roots;
    bool verify;
    int error;
    const char* says;  // in TlsLastErrorText
};

class TlsTrust : public ::testing::TestWithParam<TrustCase> {};

TEST_P(TlsTrust, VerifiesChainAndName) {
    const TrustCase& t = GetParam();
    LoopbackServer server(ServeTls(Certificates().*t.server));
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
        // One record, read in pieces: what is decrypted and not yet taken counts as waiting.
        char reply[6] = {};
        EXPECT_EQ(socket.ReceiveExactly(reply, 1, 3000), 1);
        EXPECT_EQ(socket.ReceiveExactly(reply + 1, 4, 3000), 4);
        EXPECT_EQ(socket.ReceiveExactly(reply + 5, 1, 3000), 1);
        EXPECT_EQ(std::string(reply, 6), "pong\r\n");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Tls, TlsTrust,
    ::testing::Values(TrustCase{"CaFileByAddress", &Pki::local, "127.0.0.1", Roots::CaFile, true, 0, ""},
                      TrustCase{"SystemRootsByName", &Pki::local, "localhost", Roots::SystemWithAuthority, true, 0, ""},
                      TrustCase{"UnknownRoot", &Pki::local, "localhost", Roots::SystemWithout, true, 10091, "local issuer"},
                      TrustCase{"OtherAddress", &Pki::stranger, "127.0.0.1", Roots::CaFile, true, 10091, "IP address mismatch"},
                      TrustCase{"OtherName", &Pki::stranger, "localhost", Roots::CaFile, true, 10091, "hostname mismatch"},
                      TrustCase{"SelfSigned", &Pki::selfSigned, "localhost", Roots::CaFile, true, 10091, "self-signed"},
                      TrustCase{"CallerOptsOut", &Pki::stranger, "localhost", Roots::SystemWithout, false, 0, ""}),
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
        WaitCase{"PartialRecord", HandshakeThen(PartialRecord), 3000, 0,
                 [](TTcpSocket& s) {
                     char buffer[8];
                     EXPECT_EQ(s.ReceiveExactly(buffer, 8, 300), 0);  // a part of a record is no byte yet
                 },
                 10060},
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
