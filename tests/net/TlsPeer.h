#pragma once
// The server side of TLS tests, with OpenSSL linked directly: a private certificate authority, leaf
// certificates signed by it or by themselves, and a handshake on a loopback connection.
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <memory>
#include <string>

#include "LoopbackServer.h"

namespace nettest {

struct Identity {
    std::shared_ptr<EVP_PKEY> key;
    std::shared_ptr<X509> certificate;
};

inline void AddExtension(X509* certificate, X509* issuer, int nid, const char* value) {
    X509V3_CTX context;
    X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
    X509_add_ext(certificate, extension, -1);
    X509_EXTENSION_free(extension);
}

// A certificate for subjectAltName names ("DNS:localhost,IP:127.0.0.1"), signed by issuer, or by
// itself when issuer is null; a CA when names is empty.
inline Identity MakeIdentity(const char* commonName, const std::string& names, const Identity* issuer) {
    static long serial = 1;
    Identity made{std::shared_ptr<EVP_PKEY>(EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256"), EVP_PKEY_free),
                  std::shared_ptr<X509>(X509_new(), X509_free)};
    X509* x = made.certificate.get();
    X509_set_version(x, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(x), serial++);
    X509_gmtime_adj(X509_getm_notBefore(x), -3600);
    X509_gmtime_adj(X509_getm_notAfter(x), 86400);
    X509_set_pubkey(x, made.key.get());
    X509_NAME_add_entry_by_txt(X509_get_subject_name(x), "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>(commonName), -1, -1, 0);
    X509* signer = issuer ? issuer->certificate.get() : x;
    X509_set_issuer_name(x, X509_get_subject_name(signer));
    AddExtension(x, signer, NID_basic_constraints, names.empty() ? "critical,CA:TRUE" : "critical,CA:FALSE");
    if (!names.empty()) AddExtension(x, signer, NID_subject_alt_name, names.c_str());
    X509_sign(x, issuer ? issuer->key.get() : made.key.get(), EVP_sha256());
    return made;
}

inline void WritePem(const Identity& identity, const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "w");
    PEM_write_X509(file, identity.certificate.get());
    std::fclose(file);
}

// A TLS server session on an accepted connection; Accept runs the handshake.
class TlsServerSession {
public:
    TlsServerSession(Connection& connection, const Identity& identity)
        : context_(SSL_CTX_new(TLS_server_method()), SSL_CTX_free) {
        SSL_CTX_use_certificate(context_.get(), identity.certificate.get());
        SSL_CTX_use_PrivateKey(context_.get(), identity.key.get());
        ssl_.reset(SSL_new(context_.get()));
        SSL_set_fd(ssl_.get(), static_cast<int>(connection.Handle()));
    }
    bool Accept() { return SSL_accept(ssl_.get()) == 1; }
    bool Write(const std::string& text) { return SSL_write(ssl_.get(), text.data(), static_cast<int>(text.size())) > 0; }
    std::string Read() {
        char buffer[4096];
        int count = SSL_read(ssl_.get(), buffer, sizeof buffer);
        return count > 0 ? std::string(buffer, static_cast<std::size_t>(count)) : std::string();
    }

private:
    std::unique_ptr<SSL_CTX, decltype(&SSL_CTX_free)> context_;
    std::unique_ptr<SSL, decltype(&SSL_free)> ssl_{nullptr, SSL_free};
};

}  // namespace nettest
