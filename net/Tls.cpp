// TLS for TTcpSocket through the system's OpenSSL (1.1.0 or later), loaded when a socket switches TLS on
// and unloaded when the last one switches it off. Plain connections never load or lock anything.
//
// OpenSSL reads and writes through a BIO of ours over the platform socket calls, never waiting itself:
// every wait happens here or in the socket's own receive waits, under their limits and the deadline, and
// a send to a peer that has reset the connection never raises SIGPIPE.
#include <algorithm>
#include <cstring>
#include <iterator>
#include <mutex>

#include "net/BlockSocket.h"
#include "net/NetHelpers.h"
#include "platform/shared_library.h"

namespace {

using SslMethodFn = const void* (*)();
using CtxNewFn = void* (*)(const void*);
using CtxFreeFn = void (*)(void*);
using CtxSetCipherFn = int (*)(void*, const char*);
using CtxUseFileFn = int (*)(void*, const char*, int);
using CtxLoadVerifyFn = int (*)(void*, const char*, const char*);
using CtxDefaultPathsFn = int (*)(void*);
using CtxGetStoreFn = void* (*)(const void*);
using CtxSetVerifyFn = void (*)(void*, int, void*);
using PasswordCallback = int (*)(char*, int, int, void*);
using CtxSetPasswordCbFn = void (*)(void*, PasswordCallback);
using CtxSetUserDataFn = void (*)(void*, void*);
using SslNewFn = void* (*)(void*);
using SslFreeFn = void (*)(void*);
using SslSetBioFn = void (*)(void*, void*, void*);
using SslIoFn = int (*)(void*, void*, int);
using SslWriteFn = int (*)(void*, const void*, int);
using SslConnectFn = int (*)(void*);
using SslPendingFn = int (*)(const void*);
using SslGetErrorFn = int (*)(const void*, int);
using SslCtrlFn = long (*)(void*, int, long, void*);
using SslSetHostFn = int (*)(void*, const char*);
using SslGetParamFn = void* (*)(void*);
using SslVerifyResultFn = long (*)(const void*);
using ParamSetIpFn = int (*)(void*, const char*);
using VerifyErrorStringFn = const char* (*)(long);
using SslInitFn = int (*)(std::uint64_t, const void*);
using ErrGetFn = unsigned long (*)();
using ErrClearFn = void (*)();
using ErrStringFn = void (*)(unsigned long, char*, std::size_t);
using BioWriteCb = int (*)(void*, const char*, int);
using BioReadCb = int (*)(void*, char*, int);
using BioCtrlCb = long (*)(void*, int, long, void*);
using BioMethNewFn = void* (*)(int, const char*);
using BioMethFreeFn = void (*)(void*);
using BioMethSetWriteFn = int (*)(void*, BioWriteCb);
using BioMethSetReadFn = int (*)(void*, BioReadCb);
using BioMethSetCtrlFn = int (*)(void*, BioCtrlCb);
using BioNewIndexFn = int (*)();
using BioNewFn = void* (*)(const void*);
using BioSetDataFn = void (*)(void*, void*);
using BioGetDataFn = void* (*)(void*);
using BioSetInitFn = void (*)(void*, int);
using BioFlagsFn = void (*)(void*, int);
using D2iX509Fn = void* (*)(void**, const unsigned char**, long);
using X509FreeFn = void (*)(void*);
using StoreAddCertFn = int (*)(void*, void*);

constexpr int kFiletypePem = 1;
constexpr int kVerifyNone = 0;
constexpr int kVerifyPeer = 1;
constexpr int kCtrlSetTlsextHostname = 55;
constexpr int kErrorWantRead = 2;
constexpr int kErrorWantWrite = 3;
constexpr int kErrorZeroReturn = 6;
constexpr long kVerifyOk = 0;
constexpr int kBioTypeSourceSink = 0x0400;
constexpr int kBioFlagRead = 0x01, kBioFlagWrite = 0x02, kBioFlagsReadWriteSpecial = 0x07, kBioFlagRetry = 0x08;
constexpr int kBioCtrlFlush = 11;

struct TlsLibrary {
    void* ssl = nullptr;
    void* crypto = nullptr;
    int users = 0;
    void* bioMethod = nullptr;
    SslMethodFn clientMethod = nullptr;
    CtxNewFn ctxNew = nullptr;
    CtxFreeFn ctxFree = nullptr;
    CtxSetCipherFn setCipherList = nullptr;
    CtxUseFileFn useCertificateFile = nullptr;
    CtxUseFileFn usePrivateKeyFile = nullptr;
    CtxLoadVerifyFn loadVerifyLocations = nullptr;
    CtxDefaultPathsFn setDefaultVerifyPaths = nullptr;
    CtxGetStoreFn certStore = nullptr;
    CtxSetVerifyFn setVerify = nullptr;
    CtxSetPasswordCbFn setPasswordCallback = nullptr;
    CtxSetUserDataFn setPasswordUserData = nullptr;
    SslNewFn sslNew = nullptr;
    SslFreeFn sslFree = nullptr;
    SslSetBioFn setBio = nullptr;
    SslConnectFn connect = nullptr;
    SslIoFn read = nullptr;
    SslWriteFn write = nullptr;
    SslPendingFn pending = nullptr;
    SslConnectFn shutdown = nullptr;
    SslGetErrorFn getError = nullptr;
    SslCtrlFn ctrl = nullptr;
    SslSetHostFn setHost = nullptr;
    SslGetParamFn param = nullptr;
    SslVerifyResultFn verifyResult = nullptr;
    ParamSetIpFn setIp = nullptr;
    VerifyErrorStringFn verifyErrorString = nullptr;
    ErrGetFn errGet = nullptr;
    ErrClearFn errClear = nullptr;
    ErrStringFn errString = nullptr;
    BioMethNewFn bioMethNew = nullptr;
    BioMethFreeFn bioMethFree = nullptr;
    BioMethSetWriteFn bioMethSetWrite = nullptr;
    BioMethSetReadFn bioMethSetRead = nullptr;
    BioMethSetCtrlFn bioMethSetCtrl = nullptr;
    BioNewIndexFn bioNewIndex = nullptr;
    BioNewFn bioNew = nullptr;
    BioSetDataFn bioSetData = nullptr;
    BioGetDataFn bioGetData = nullptr;
    BioSetInitFn bioSetInit = nullptr;
    BioFlagsFn bioSetFlags = nullptr;
    BioFlagsFn bioClearFlags = nullptr;
    D2iX509Fn d2iX509 = nullptr;
    X509FreeFn x509Free = nullptr;
    StoreAddCertFn storeAddCert = nullptr;
};

std::mutex libraryLock;
TlsLibrary library;

template <typename Fn>
bool Bind(Fn& function, void* module, const char* name) {
    function = reinterpret_cast<Fn>(platform::SharedLibrarySymbol(module, name));
    return function != nullptr;
}

void Unload() {
    if (library.bioMethod) library.bioMethFree(library.bioMethod);
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
    // The crypto library first, so that the TLS library's reference to it finds the one just loaded.
    for (std::size_t i = 0; i < std::size(sslNames); ++i) {
        library.crypto = platform::LoadSharedLibrary(cryptoNames[i]);
        if (!library.crypto) continue;
        library.ssl = platform::LoadSharedLibrary(sslNames[i]);
        if (library.ssl) return true;
        platform::FreeSharedLibrary(library.crypto);
        library.crypto = nullptr;
    }
    return false;
}

bool BindSsl(void* ssl) {
    return Bind(library.clientMethod, ssl, "TLS_client_method") && Bind(library.ctxNew, ssl, "SSL_CTX_new") &&
           Bind(library.ctxFree, ssl, "SSL_CTX_free") && Bind(library.setCipherList, ssl, "SSL_CTX_set_cipher_list") &&
           Bind(library.useCertificateFile, ssl, "SSL_CTX_use_certificate_file") &&
           Bind(library.usePrivateKeyFile, ssl, "SSL_CTX_use_PrivateKey_file") &&
           Bind(library.loadVerifyLocations, ssl, "SSL_CTX_load_verify_locations") &&
           Bind(library.setDefaultVerifyPaths, ssl, "SSL_CTX_set_default_verify_paths") &&
           Bind(library.certStore, ssl, "SSL_CTX_get_cert_store") && Bind(library.setVerify, ssl, "SSL_CTX_set_verify") &&
           Bind(library.setPasswordCallback, ssl, "SSL_CTX_set_default_passwd_cb") &&
           Bind(library.setPasswordUserData, ssl, "SSL_CTX_set_default_passwd_cb_userdata") &&
           Bind(library.sslNew, ssl, "SSL_new") && Bind(library.sslFree, ssl, "SSL_free") &&
           Bind(library.setBio, ssl, "SSL_set_bio") && Bind(library.connect, ssl, "SSL_connect") &&
           Bind(library.read, ssl, "SSL_read") && Bind(library.write, ssl, "SSL_write") &&
           Bind(library.pending, ssl, "SSL_pending") && Bind(library.shutdown, ssl, "SSL_shutdown") &&
           Bind(library.getError, ssl, "SSL_get_error") && Bind(library.ctrl, ssl, "SSL_ctrl") &&
           Bind(library.setHost, ssl, "SSL_set1_host") && Bind(library.param, ssl, "SSL_get0_param") &&
           Bind(library.verifyResult, ssl, "SSL_get_verify_result");
}

bool BindCrypto(void* crypto) {
    return Bind(library.setIp, crypto, "X509_VERIFY_PARAM_set1_ip_asc") &&
           Bind(library.verifyErrorString, crypto, "X509_verify_cert_error_string") &&
           Bind(library.errGet, crypto, "ERR_get_error") && Bind(library.errClear, crypto, "ERR_clear_error") &&
           Bind(library.errString, crypto, "ERR_error_string_n") && Bind(library.bioMethNew, crypto, "BIO_meth_new") &&
           Bind(library.bioMethFree, crypto, "BIO_meth_free") &&
           Bind(library.bioMethSetWrite, crypto, "BIO_meth_set_write") &&
           Bind(library.bioMethSetRead, crypto, "BIO_meth_set_read") &&
           Bind(library.bioMethSetCtrl, crypto, "BIO_meth_set_ctrl") &&
           Bind(library.bioNewIndex, crypto, "BIO_get_new_index") && Bind(library.bioNew, crypto, "BIO_new") &&
           Bind(library.bioSetData, crypto, "BIO_set_data") && Bind(library.bioGetData, crypto, "BIO_get_data") &&
           Bind(library.bioSetInit, crypto, "BIO_set_init") && Bind(library.bioSetFlags, crypto, "BIO_set_flags") &&
           Bind(library.bioClearFlags, crypto, "BIO_clear_flags") && Bind(library.d2iX509, crypto, "d2i_X509") &&
           Bind(library.x509Free, crypto, "X509_free") && Bind(library.storeAddCert, crypto, "X509_STORE_add_cert");
}

// What our BIO needs of the socket: its handle, and the platform error that ended a read or write.
struct SocketIo {
    platform::SocketHandle handle = platform::kNoSocket;
    int error = 0;
};

SocketIo& IoOf(void* bio) { return *static_cast<SocketIo*>(library.bioGetData(bio)); }

// Never waits: no data yet means "retry" to OpenSSL, and the caller waits.
int BioRead(void* bio, char* buffer, int size) {
    SocketIo& io = IoOf(bio);
    library.bioClearFlags(bio, kBioFlagsReadWriteSpecial | kBioFlagRetry);
    int ready = platform::SocketWaitReadable(io.handle, 0);
    if (ready == 0) {
        library.bioSetFlags(bio, kBioFlagRead | kBioFlagRetry);
        return -1;
    }
    int count = ready < 0 ? -1 : platform::SocketReceive(io.handle, buffer, size);
    if (count < 0) io.error = platform::SocketLastError();
    return count;  // 0: the peer closed
}

// Takes what fits now; no room means "retry".
int BioWrite(void* bio, const char* data, int size) {
    SocketIo& io = IoOf(bio);
    library.bioClearFlags(bio, kBioFlagsReadWriteSpecial | kBioFlagRetry);
    int count = platform::SocketSend(io.handle, data, size, 0);
    if (count >= 0) return count;
    int error = platform::SocketLastError();
    if (error == platform::kWsaTimedOut) {
        library.bioSetFlags(bio, kBioFlagWrite | kBioFlagRetry);
    } else {
        io.error = error;
    }
    return -1;
}

long BioCtrl(void*, int command, long, void*) { return command == kBioCtrlFlush ? 1 : 0; }

bool MakeBioMethod() {
    int index = library.bioNewIndex();
    if (index < 0) return false;
    library.bioMethod = library.bioMethNew(index | kBioTypeSourceSink, "uf socket");
    return library.bioMethod && library.bioMethSetWrite(library.bioMethod, BioWrite) == 1 &&
           library.bioMethSetRead(library.bioMethod, BioRead) == 1 &&
           library.bioMethSetCtrl(library.bioMethod, BioCtrl) == 1;
}

bool LoadLibraryLocked() {
    if (library.ssl) return true;
    if (!LoadModules()) return false;
    // A library older than 1.1.0 lacks the host name check and our BIO: treated as no library at all.
    if (!BindSsl(library.ssl) || !BindCrypto(library.crypto)) {
        Unload();
        return false;
    }
    SslInitFn init = nullptr;
    if (Bind(init, library.ssl, "OPENSSL_init_ssl")) init(0, nullptr);
    if (!MakeBioMethod()) {
        Unload();
        return false;
    }
    return true;
}

int PasswordFromUser(char* buffer, int size, int, void* user) {
    const auto* password = static_cast<const AnsiString*>(user);
    int length = static_cast<int>(std::min<std::size_t>(password->size(), static_cast<std::size_t>(size)));
    std::memcpy(buffer, password->data(), static_cast<std::size_t>(length));
    return length;
}

// The system's trusted roots: OpenSSL's default locations, or the certificates the platform hands over.
void TrustSystemRoots(void* context) {
    std::vector<std::string> certificates;
    if (!platform::SystemRootCertificates(certificates)) {
        library.setDefaultVerifyPaths(context);
        return;
    }
    void* store = library.certStore(context);
    for (const std::string& der : certificates) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(der.data());
        void* certificate = library.d2iX509(nullptr, &bytes, static_cast<long>(der.size()));
        if (!certificate) continue;
        library.storeAddCert(store, certificate);
        library.x509Free(certificate);
    }
    library.errClear();  // duplicates in the store are no error of ours
}

}  // namespace

struct TlsSession {
    void* context = nullptr;
    void* ssl = nullptr;
    SocketIo io;
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

bool TTcpSocket::TlsFail(int code, const AnsiString& description) {
    TlsLastError = 0;
    TlsLastErrorText = description;
    unsigned long error = library.errGet ? library.errGet() : 0;
    if (error != 0) {
        char text[256] = {};
        library.errString(error, text, sizeof text);
        TlsLastError = static_cast<std::int32_t>(error);
        if (TlsLastErrorText.empty()) TlsLastErrorText = text;
    }
    ErrorCode = code;
    return false;
}

bool TTcpSocket::TlsWait(int sslError) {
    if (DeadlineLeft() == 0) return false;
    int left = LimitedWait(TlsTimeoutMs);
    int ready = sslError == kErrorWantWrite ? platform::SocketWaitWritable(Handle, left)
                                            : platform::SocketWaitReadable(Handle, left);
    return ready > 0;
}

bool TTcpSocket::TlsSetUp(const AnsiString& host) {
    tls_->context = library.ctxNew(library.clientMethod());
    if (!tls_->context) return TlsFail(kSocketNegotiation);
    void* context = tls_->context;
    if (!TlsCipherList.empty() && library.setCipherList(context, TlsCipherList.c_str()) != 1)
        return TlsFail(kSocketBadTlsFiles);
    if (!TlsKeyPassword.empty()) {
        library.setPasswordCallback(context, PasswordFromUser);
        library.setPasswordUserData(context, &TlsKeyPassword);
    }
    if (!TlsCertificateFile.empty() && library.useCertificateFile(context, TlsCertificateFile.c_str(), kFiletypePem) != 1)
        return TlsFail(kSocketBadTlsFiles);
    if (!TlsPrivateKeyFile.empty() && library.usePrivateKeyFile(context, TlsPrivateKeyFile.c_str(), kFiletypePem) != 1)
        return TlsFail(kSocketBadTlsFiles);
    if (!TlsCaFile.empty()) {
        if (library.loadVerifyLocations(context, TlsCaFile.c_str(), nullptr) != 1) return TlsFail(kSocketBadTlsFiles);
    } else if (TlsVerifyPeer) {
        TrustSystemRoots(context);
    }
    library.setVerify(context, TlsVerifyPeer ? kVerifyPeer : kVerifyNone, nullptr);

    tls_->ssl = library.sslNew(context);
    void* bio = library.bioNew(library.bioMethod);
    if (!tls_->ssl || !bio) return TlsFail(kSocketNegotiation);
    tls_->io.handle = Handle;
    library.bioSetData(bio, &tls_->io);
    library.bioSetInit(bio, 1);
    library.setBio(tls_->ssl, bio, bio);
    const bool address = net::IsDottedQuad(host);
    // The server name lets a shared host pick the right certificate; an address is not sent.
    if (!host.empty() && !address) library.ctrl(tls_->ssl, kCtrlSetTlsextHostname, 0, const_cast<char*>(host.c_str()));
    if (TlsVerifyPeer) {
        int named = address ? library.setIp(library.param(tls_->ssl), host.c_str()) : library.setHost(tls_->ssl, host.c_str());
        if (named != 1) return TlsFail(kSocketNegotiation, "cannot check the certificate against " + host);
    }
    return true;
}

bool TTcpSocket::TlsHandshake(const AnsiString& host) {
    TlsShutdown();
    TlsLastError = 0;
    TlsLastErrorText.clear();
    if (library.errClear) library.errClear();
    tls_ = new TlsSession;
    if (!TlsSetUp(host)) return false;
    for (;;) {
        int result = library.connect(tls_->ssl);
        if (result == 1) break;
        int error = library.getError(tls_->ssl, result);
        if (error == kErrorWantRead || error == kErrorWantWrite) {
            if (TlsWait(error)) continue;
            return TlsFail(kSocketTimedOut, "TLS handshake timed out");
        }
        long verified = library.verifyResult(tls_->ssl);
        if (TlsVerifyPeer && verified != kVerifyOk)
            return TlsFail(kSocketNegotiation, AnsiString("certificate verify failed: ") + library.verifyErrorString(verified));
        return TlsFail(tls_->io.error != 0 ? tls_->io.error : kSocketNegotiation);
    }
    ErrorCode = 0;
    return true;
}

void TTcpSocket::TlsShutdown() {
    if (!tls_) return;
    if (tls_->ssl) {
        library.shutdown(tls_->ssl);  // our BIO never waits: the close notice goes if it fits
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
    ErrorText.clear();
    ErrorCode = 0;
    int count = 0;
    while (length > 0) {
        count = library.write(tls_->ssl, buffer, length);
        if (count > 0) break;
        int error = library.getError(tls_->ssl, count);
        if (error != kErrorWantRead && error != kErrorWantWrite) {
            ErrorCode = tls_->io.error != 0 ? tls_->io.error : kSocketClosed;
            break;
        }
        if (!TlsWait(error)) {
            ErrorCode = kSocketTimedOut;
            break;
        }
    }
    if (ErrorCode != 0) count = -1;
    RaiseIfFailed();
    ReportStatus(BytesSent, std::to_string(count));
    return count;
}

int TTcpSocket::ReceiveBytes(void* buffer, int length) {
    if (!tls_ || !tls_->ssl) return TBlockingSocket::ReceiveBytes(buffer, length);
    ThrottleRate(length, ReceiveRateLimit, NextReceiveTick);
    ErrorText.clear();
    ErrorCode = 0;
    int count = 0;
    while (length > 0) {
        count = library.read(tls_->ssl, buffer, length);
        if (count > 0) break;
        int error = library.getError(tls_->ssl, count);
        count = 0;
        // Part of a record: no bytes yet, no error; the caller's next wait covers the rest.
        if (error == kErrorWantRead) break;
        if (error == kErrorWantWrite) {
            if (TlsWait(error)) continue;
            ErrorCode = kSocketTimedOut;
        } else {
            ErrorCode = error == kErrorZeroReturn || tls_->io.error == 0 ? kSocketClosed : tls_->io.error;
        }
        break;
    }
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
