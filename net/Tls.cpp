// TLS for TTcpSocket through the system's OpenSSL, loaded when a socket switches TLS on and unloaded when
// the last one switches it off. Plain connections never load or lock anything.
#include <algorithm>
#include <cstring>
#include <iterator>
#include <mutex>

#include "net/BlockSocket.h"

namespace {

using SslMethodFn = const void* (*)();
using CtxNewFn = void* (*)(const void*);
using CtxFreeFn = void (*)(void*);
using CtxSetCipherFn = int (*)(void*, const char*);
using CtxUseFileFn = int (*)(void*, const char*, int);
using CtxLoadVerifyFn = int (*)(void*, const char*, const char*);
using CtxSetVerifyFn = void (*)(void*, int, void*);
using PasswordCallback = int (*)(char*, int, int, void*);
using CtxSetPasswordCbFn = void (*)(void*, PasswordCallback);
using CtxSetUserDataFn = void (*)(void*, void*);
using SslNewFn = void* (*)(void*);
using SslFreeFn = void (*)(void*);
using SslSetFdFn = int (*)(void*, int);
using SslIoFn = int (*)(void*, void*, int);
using SslWriteFn = int (*)(void*, const void*, int);
using SslConnectFn = int (*)(void*);
using SslPendingFn = int (*)(const void*);
using SslGetErrorFn = int (*)(const void*, int);
using SslCtrlFn = long (*)(void*, int, long, void*);
using SslInitFn = int (*)(std::uint64_t, const void*);
using SslLibraryInitFn = int (*)();
using ErrGetFn = unsigned long (*)();
using ErrStringFn = void (*)(unsigned long, char*, std::size_t);

constexpr int kFiletypePem = 1;
constexpr int kVerifyPeer = 1;
constexpr int kCtrlSetTlsextHostname = 55;

struct TlsLibrary {
    void* ssl = nullptr;
    void* crypto = nullptr;
    int users = 0;
    SslMethodFn clientMethod = nullptr;
    CtxNewFn ctxNew = nullptr;
    CtxFreeFn ctxFree = nullptr;
    CtxSetCipherFn setCipherList = nullptr;
    CtxUseFileFn useCertificateFile = nullptr;
    CtxUseFileFn usePrivateKeyFile = nullptr;
    CtxLoadVerifyFn loadVerifyLocations = nullptr;
    CtxSetVerifyFn setVerify = nullptr;
    CtxSetPasswordCbFn setPasswordCallback = nullptr;
    CtxSetUserDataFn setPasswordUserData = nullptr;
    SslNewFn sslNew = nullptr;
    SslFreeFn sslFree = nullptr;
    SslSetFdFn setFd = nullptr;
    SslConnectFn connect = nullptr;
    SslIoFn read = nullptr;
    SslWriteFn write = nullptr;
    SslPendingFn pending = nullptr;
    SslConnectFn shutdown = nullptr;
    SslGetErrorFn getError = nullptr;
    SslCtrlFn ctrl = nullptr;
    ErrGetFn errGet = nullptr;
    ErrStringFn errString = nullptr;
};

std::mutex libraryLock;
TlsLibrary library;

template <typename Fn>
bool Bind(Fn& function, void* module, const char* name) {
    function = reinterpret_cast<Fn>(platform::SharedLibrarySymbol(module, name));
    return function != nullptr;
}

void Unload() {
    platform::FreeSharedLibrary(library.ssl);
    platform::FreeSharedLibrary(library.crypto);
    int users = library.users;
    library = TlsLibrary{};
    library.users = users;
}

bool LoadModules() {
#ifdef _WIN32
    const char* sslNames[] = {"libssl32.dll", "ssleay32.dll", "libssl-3-x64.dll", "libssl-1_1-x64.dll"};
    const char* cryptoNames[] = {"libeay32.dll", "libeay32.dll", "libcrypto-3-x64.dll", "libcrypto-1_1-x64.dll"};
#else
    const char* sslNames[] = {"libssl.so.3", "libssl.so.1.1", "libssl.so"};
    const char* cryptoNames[] = {"libcrypto.so.3", "libcrypto.so.1.1", "libcrypto.so"};
#endif
    for (std::size_t i = 0; i < std::size(sslNames); ++i) {
        library.ssl = platform::LoadSharedLibrary(sslNames[i]);
        if (!library.ssl) continue;
        library.crypto = platform::LoadSharedLibrary(cryptoNames[i]);
        if (library.crypto) return true;
        platform::FreeSharedLibrary(library.ssl);
        library.ssl = nullptr;
    }
    return false;
}

bool LoadLibraryLocked() {
    if (library.ssl) return true;
    if (!LoadModules()) return false;
    void* ssl = library.ssl;
    void* crypto = library.crypto;
    bool ok = (Bind(library.clientMethod, ssl, "TLS_client_method") || Bind(library.clientMethod, ssl, "SSLv23_client_method")) &&
              Bind(library.ctxNew, ssl, "SSL_CTX_new") && Bind(library.ctxFree, ssl, "SSL_CTX_free") &&
              Bind(library.setCipherList, ssl, "SSL_CTX_set_cipher_list") &&
              Bind(library.useCertificateFile, ssl, "SSL_CTX_use_certificate_file") &&
              Bind(library.usePrivateKeyFile, ssl, "SSL_CTX_use_PrivateKey_file") &&
              Bind(library.loadVerifyLocations, ssl, "SSL_CTX_load_verify_locations") &&
              Bind(library.setVerify, ssl, "SSL_CTX_set_verify") &&
              Bind(library.setPasswordCallback, ssl, "SSL_CTX_set_default_passwd_cb") &&
              Bind(library.setPasswordUserData, ssl, "SSL_CTX_set_default_passwd_cb_userdata") &&
              Bind(library.sslNew, ssl, "SSL_new") && Bind(library.sslFree, ssl, "SSL_free") &&
              Bind(library.setFd, ssl, "SSL_set_fd") && Bind(library.connect, ssl, "SSL_connect") &&
              Bind(library.read, ssl, "SSL_read") && Bind(library.write, ssl, "SSL_write") &&
              Bind(library.pending, ssl, "SSL_pending") && Bind(library.shutdown, ssl, "SSL_shutdown") &&
              Bind(library.getError, ssl, "SSL_get_error") && Bind(library.ctrl, ssl, "SSL_ctrl") &&
              Bind(library.errGet, crypto, "ERR_get_error") && Bind(library.errString, crypto, "ERR_error_string_n");
    if (!ok) {
        Unload();
        return false;
    }
    SslInitFn init = nullptr;
    SslLibraryInitFn oldInit = nullptr;
    if (Bind(init, ssl, "OPENSSL_init_ssl"))
        init(0, nullptr);
    else if (Bind(oldInit, ssl, "SSL_library_init"))
        oldInit();
    return true;
}

int PasswordFromUser(char* buffer, int size, int, void* user) {
    const auto* password = static_cast<const AnsiString*>(user);
    int length = static_cast<int>(std::min<std::size_t>(password->size(), static_cast<std::size_t>(size)));
    std::memcpy(buffer, password->data(), static_cast<std::size_t>(length));
    return length;
}

}  // namespace

struct TlsSession {
    void* context = nullptr;
    void* ssl = nullptr;
};

void TTcpSocket::SetTlsEnabled(bool on) {
    if (on == tlsEnabled_) return;
    std::lock_guard<std::mutex> guard(libraryLock);
    if (on) {
        if (!LoadLibraryLocked()) {
            ErrorCode = kSocketNoTls;
            RaiseIfFailed();
            return;
        }
        ++library.users;
        tlsEnabled_ = true;
        ErrorCode = 0;
    } else {
        TlsShutdown();
        tlsEnabled_ = false;
        if (--library.users == 0) Unload();
    }
}

bool TTcpSocket::TlsHandshake(const AnsiString& host) {
    auto fail = [this](int code) {
        TlsLastError = 0;
        TlsLastErrorText.clear();
        if (library.errGet) {
            unsigned long error = library.errGet();
            char text[256] = {};
            if (error != 0) library.errString(error, text, sizeof text);
            TlsLastError = static_cast<std::int32_t>(error);
            TlsLastErrorText = text;
        }
        ErrorCode = code;
        return false;
    };
    TlsShutdown();
    tls_ = new TlsSession;
    tls_->context = library.ctxNew(library.clientMethod());
    if (!tls_->context) return fail(kSocketNegotiation);
    if (!TlsCipherList.empty() && library.setCipherList(tls_->context, TlsCipherList.c_str()) != 1)
        return fail(kSocketBadTlsFiles);
    if (!TlsKeyPassword.empty()) {
        library.setPasswordCallback(tls_->context, PasswordFromUser);
        library.setPasswordUserData(tls_->context, &TlsKeyPassword);
    }
    if (!TlsCertificateFile.empty() &&
        library.useCertificateFile(tls_->context, TlsCertificateFile.c_str(), kFiletypePem) != 1)
        return fail(kSocketBadTlsFiles);
    if (!TlsPrivateKeyFile.empty() &&
        library.usePrivateKeyFile(tls_->context, TlsPrivateKeyFile.c_str(), kFiletypePem) != 1)
        return fail(kSocketBadTlsFiles);
    if (!TlsCaFile.empty() && library.loadVerifyLocations(tls_->context, TlsCaFile.c_str(), nullptr) != 1)
        return fail(kSocketBadTlsFiles);
    library.setVerify(tls_->context, TlsVerifyPeer ? kVerifyPeer : 0, nullptr);

    tls_->ssl = library.sslNew(tls_->context);
    if (!tls_->ssl || library.setFd(tls_->ssl, static_cast<int>(Handle)) != 1) return fail(kSocketNegotiation);
    // The server name lets a shared host pick the right certificate; an address is not sent.
    if (!host.empty() && host.find_first_not_of("0123456789.") != AnsiString::npos)
        library.ctrl(tls_->ssl, kCtrlSetTlsextHostname, 0, const_cast<char*>(host.c_str()));
    // The handshake blocks inside the library; under an overall limit the platform bounds its waits.
    int left = DeadlineLeft();
    if (left >= 0) {
        platform::SocketSetOption(Handle, platform::SocketOption::ReceiveTimeout, std::max(left, 1));
        platform::SocketSetOption(Handle, platform::SocketOption::SendTimeout, std::max(left, 1));
    }
    bool shaken = library.connect(tls_->ssl) == 1;
    if (left >= 0) {
        platform::SocketSetOption(Handle, platform::SocketOption::ReceiveTimeout, 0);
        platform::SocketSetOption(Handle, platform::SocketOption::SendTimeout, 0);
    }
    if (!shaken) return fail(kSocketNegotiation);
    ErrorCode = 0;
    return true;
}

void TTcpSocket::TlsShutdown() {
    if (!tls_) return;
    if (tls_->ssl) {
        library.shutdown(tls_->ssl);
        library.sslFree(tls_->ssl);
    }
    if (tls_->context) library.ctxFree(tls_->context);
    delete tls_;
    tls_ = nullptr;
}

bool TTcpSocket::HasBufferedData() { return tls_ && tls_->ssl && library.pending(tls_->ssl) > 0; }

int TTcpSocket::SendBytes(const void* buffer, int length) {
    if (!tls_ || !tls_->ssl) return TBlockingSocket::SendBytes(buffer, length);
    ThrottleRate(length, SendRateLimit, NextSendTick);
    int count = length == 0 ? 0 : library.write(tls_->ssl, buffer, length);
    ErrorText.clear();
    ErrorCode = count < 0 || (count == 0 && length > 0) ? kSocketClosed : 0;
    RaiseIfFailed();
    ReportStatus(BytesSent, std::to_string(count));
    return count;
}

int TTcpSocket::ReceiveBytes(void* buffer, int length) {
    if (!tls_ || !tls_->ssl) return TBlockingSocket::ReceiveBytes(buffer, length);
    ThrottleRate(length, ReceiveRateLimit, NextReceiveTick);
    int count = length <= 0 ? 0 : library.read(tls_->ssl, buffer, length);
    ErrorText.clear();
    ErrorCode = count <= 0 ? kSocketClosed : 0;
    RaiseIfFailed();
    ReportStatus(BytesReceived, std::to_string(count));
    return count;
}

int TTcpSocket::BytesWaiting() {
    if (!tls_ || !tls_->ssl) return TBlockingSocket::BytesWaiting();
    // Decrypted bytes first; otherwise the raw count tells that a record is coming (0: the peer closed).
    int pending = library.pending(tls_->ssl);
    return pending > 0 ? pending : TBlockingSocket::BytesWaiting();
}
