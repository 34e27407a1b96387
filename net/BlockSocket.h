#pragma once
// Blocking IPv4 sockets that never wait for incoming data without a limit. Every operation that reaches the
// network sets ErrorCode (0 on success, else a WinSock code or one of the layer's own codes) and raises
// nothing unless RaiseOnError is set. Bytes received but not yet handed out stay in Pending, so line reads
// and counted reads can be mixed.
//
// TSocksSocket adds a SOCKS 5 client (RFC 1928, user/password of RFC 1929), TTcpSocket stream sockets, the
// HTTP CONNECT tunnel and optional TLS through the system's TLS library loaded at run time.
#include <cstdint>
#include <algorithm>
#include <functional>
#include <ostream>
#include <string_view>
#include <string>
#include <vector>

#include "platform/Exception.h"
#include "platform/codepage.h"
#include "platform/socket.h"

// Codes the layer sets itself (besides the platform's).
constexpr int kSocketTimedOut = 10060;       // a wait for data ran out
constexpr int kSocketClosed = 10054;         // the peer closed the connection
constexpr int kSocketLineTooLong = 10055;    // LineLimit exceeded
constexpr int kSocketNegotiation = 10091;    // SOCKS, tunnel or TLS negotiation failed
constexpr int kSocketNoTls = 10043;          // TLS library not available
constexpr int kSocketBadTlsFiles = 10022;    // TLS certificate or key not accepted

class ESocketError : public Exception {
public:
    ESocketError(std::string message, int errorCode, std::string description)
        : Exception(std::move(message)), errorCode_(errorCode), description_(std::move(description)) {}
    int ErrorCode() const noexcept { return errorCode_; }
    const std::string& ErrorDescription() const noexcept { return description_; }

private:
    int errorCode_;
    std::string description_;
};

// Bytes received and not yet handed out. Reads like a byte string; taking from the front is cheap, so a
// reply of many short lines is not copied once per line.
class TPendingBytes {
public:
    TPendingBytes() = default;
    TPendingBytes(AnsiString bytes) : bytes_(std::move(bytes)) {}
    TPendingBytes& operator=(AnsiString bytes) {
        bytes_ = std::move(bytes);
        start_ = 0;
        return *this;
    }
    bool empty() const { return start_ == bytes_.size(); }
    std::size_t size() const { return bytes_.size() - start_; }
    const char* data() const { return bytes_.data() + start_; }
    char operator[](std::size_t i) const { return bytes_[start_ + i]; }
    std::string_view View() const { return std::string_view(bytes_).substr(start_); }
    operator std::string_view() const { return View(); }
    AnsiString str() const { return AnsiString(View()); }
    void clear() {
        bytes_.clear();
        start_ = 0;
    }
    // Removes the first count bytes.
    void Drop(std::size_t count) {
        start_ += std::min(count, size());
        if (start_ == bytes_.size()) {
            clear();
        } else if (start_ > 65536 && start_ > bytes_.size() / 2) {
            bytes_.erase(0, start_);
            start_ = 0;
        }
    }
    // Hands out everything and leaves the buffer empty.
    AnsiString TakeAll() {
        AnsiString all = start_ == 0 ? std::move(bytes_) : bytes_.substr(start_);
        clear();
        return all;
    }
    friend bool operator==(const TPendingBytes& a, std::string_view b) { return a.View() == b; }
    friend std::ostream& operator<<(std::ostream& out, const TPendingBytes& p) { return out << p.View(); }

private:
    AnsiString bytes_;
    std::size_t start_ = 0;
};

class TBlockingSocket {
public:
    // Reason codes of status reports.
    enum Status { ResolveBegin = 0, ResolveEnd = 1, HandleOpened = 2, HandleClosed = 3, Bound = 4,
                  Connected = 5, Readable = 6, BytesReceived = 10, BytesSent = 11 };
    using THook = std::function<void(TBlockingSocket& socket, int reason, const AnsiString& text)>;

    THook StatusHook;
    platform::SocketStartupData StartupData;
    platform::SockAddrIn LocalAddress, RemoteAddress;
    std::int32_t ErrorCode = 0;
    AnsiString ErrorText;
    TPendingBytes Pending;
    bool RaiseOnError = false;
    std::int32_t LineLimit = 0;  // 0: no limit
    std::uint32_t SendRateLimit = 0, NextSendTick = 0;
    std::uint32_t ReceiveRateLimit = 0, NextReceiveTick = 0;
    bool AnyLineEnd = false;
    platform::SocketHandle Handle = platform::kNoSocket;
    std::int32_t IpProtocol = 0;

    // Starts the socket library (counted per object); raises ESocketError only when RaiseOnError could not
    // have been set yet, that is never: a failed start-up shows as 10093 on the later calls.
    TBlockingSocket();
    virtual ~TBlockingSocket();
    TBlockingSocket(const TBlockingSocket&) = delete;
    TBlockingSocket& operator=(const TBlockingSocket&) = delete;

    virtual void OpenHandle();
    // Shuts down and closes; records no error; harmless when already closed. Pending stays.
    virtual void Close();
    void Bind(const AnsiString& host, const AnsiString& port);
    virtual void Connect(const AnsiString& host, const AnsiString& port);
    // One platform send of the whole buffer; a partial send is not repeated. Under a deadline the send
    // waits for room only until then: what went out by then, or 10060 when nothing did.
    virtual int SendBytes(const void* buffer, int length);
    virtual int SendOneByte(std::uint8_t byte);
    virtual int SendText(const AnsiString& text);
    // One platform receive; 0 bytes (the peer closed) sets 10054.
    virtual int ReceiveBytes(void* buffer, int length);
    // Up to length bytes, Pending first; fewer after an error (10060 when a wait ran out).
    virtual int ReceiveExactly(void* buffer, int length, int timeoutMs);
    virtual std::uint8_t ReceiveOneByte(int timeoutMs);
    // ReceiveUntil CR LF; the line only when ErrorCode is 0, else empty (the bytes stay in Pending).
    virtual AnsiString ReceiveLine(int timeoutMs);
    // Bytes before the terminator; with AnyLineEnd and CR LF, any of CR LF, LF CR, CR and LF ends it.
    // The time limit applies to each wait, not to the whole read. Nothing received is ever lost.
    virtual AnsiString ReceiveUntil(int timeoutMs, const AnsiString& terminator);
    // Pending if any, else what the platform has after a wait: 10060 when nothing came, 10054 when the peer closed.
    virtual AnsiString ReceiveAvailable(int timeoutMs);
    virtual int PeekBytes(void* buffer, int length);
    virtual std::uint8_t PeekOneByte(int timeoutMs);
    virtual int BytesWaiting();
    virtual AnsiString LocalIp();
    virtual AnsiString RemoteIp();
    virtual int LocalPortNumber();
    virtual int RemotePortNumber();

    // -1 waits without limit, 0 only polls. Readable also means that the peer has closed.
    bool WaitReadable(int timeoutMs);
    void ResolveAll(const AnsiString& name, std::vector<AnsiString>& addresses);
    AnsiString ResolveFirst(const AnsiString& name);
    // Network byte order.
    std::uint16_t ResolvePortNumber(const AnsiString& port);
    int ReceiveBufferSize();
    void SetReceiveBufferSize(int size);
    void SetSendBufferSize(int size);
    int CheckResult(int platformResult);
    void RaiseIfFailed();
    static AnsiString GetErrorDesc(int code);

    // Not part of the classic interface: an overall limit on top of the per-wait limits. While set, every
    // wait ends by the deadline (10060): for data, for room to send, for a name lookup and for a connect.
    void SetDeadline(int millisecondsFromNow);
    void ClearDeadline();
    // The time left before the deadline (never below 0), or -1 when none is set.
    int DeadlineLeft() const;

protected:
    void ReportStatus(int reason, const AnsiString& text = {});
    // False when the deadline ran out before the name was resolved.
    bool FillAddress(const AnsiString& host, const AnsiString& port, platform::SockAddrIn& address);
    void ThrottleRate(int length, std::uint32_t limit, std::uint32_t& nextTick);
    // The limit of one wait after the deadline has had its say.
    int LimitedWait(int timeoutMs) const;
    // The platform-level connect shared by the plain and the tunnelled paths.
    void ConnectDirect(const AnsiString& host, const AnsiString& port);
    // Received data held above the platform socket (a TLS record already decrypted) makes it readable.
    virtual bool HasBufferedData() { return false; }

private:
    bool started_ = false;
    bool hasDeadline_ = false;
    std::int64_t deadline_ = 0;  // steady-clock milliseconds
};

class TSocksSocket : public TBlockingSocket {
public:
    AnsiString SocksServer;             // empty: SOCKS off
    AnsiString SocksPort = "1080";
    std::int32_t SocksTimeoutMs = 300000;
    AnsiString SocksUserName, SocksPassword;
    bool UsingSocks = false;            // the connection runs through SOCKS
    bool SocksResolver = true;          // the SOCKS server resolves host names
    std::int32_t SocksLastReply = 0;
    AnsiString SocksResponseIp;         // address and port the server reported
    std::int32_t SocksResponsePort = 0;
    AnsiString SocksLocalIp, SocksRemoteIp;
    std::int32_t SocksLocalPort = 0, SocksRemotePort = 0;
    bool SocksOpen = false;             // a negotiation is under way

protected:
    // On the connection to the SOCKS server: the method choice, authentication and the CONNECT request.
    // Any refusal without a socket error sets 10091.
    bool SocksConnect(const AnsiString& host, const AnsiString& port);

private:
    bool SocksSend(const AnsiString& bytes);
    bool SocksReceive(AnsiString& bytes, int count);
};

struct TlsSession;

class TTcpSocket : public TSocksSocket {
public:
    AnsiString TunnelProxy;             // empty: tunnelling off
    AnsiString TunnelPort, TunnelUser, TunnelPassword;
    bool TunnelOpen = false;            // the tunnel is established
    AnsiString TunnelRemoteHost, TunnelRemotePort;

    AnsiString TlsCipherList = "DEFAULT";
    // TlsCaFile: the roots to trust instead of the system's.
    AnsiString TlsCertificateFile, TlsPrivateKeyFile, TlsKeyPassword, TlsCaFile;
    // The server's certificate must chain to a trusted root and name the host connected to (10091 and
    // TlsLastErrorText otherwise). Switching it off trusts any server: only for a caller that checks
    // the peer some other way.
    bool TlsVerifyPeer = true;
    std::int32_t TlsTimeoutMs = 300000;  // each wait of the handshake and of a send through TLS
    bool TlsBypass = false;             // negotiate nothing while on
    std::int32_t TlsLastError = 0;
    AnsiString TlsLastErrorText;

    TTcpSocket() = default;
    ~TTcpSocket() override;

    bool TlsEnabled() const { return tlsEnabled_; }
    // Switching on loads the TLS library (10043 when the system has none); off releases it.
    void SetTlsEnabled(bool on);

    void OpenHandle() override;
    void Close() override;
    // Through SOCKS when SocksServer is set, else through the HTTP tunnel when TunnelProxy is set; then the
    // TLS handshake when TLS is on.
    void Connect(const AnsiString& host, const AnsiString& port) override;
    int SendBytes(const void* buffer, int length) override;
    int ReceiveBytes(void* buffer, int length) override;
    int BytesWaiting() override;
    AnsiString LocalIp() override;
    AnsiString RemoteIp() override;
    int LocalPortNumber() override;
    int RemotePortNumber() override;

protected:
    bool HasBufferedData() override;

private:
    bool TunnelConnect(const AnsiString& host, const AnsiString& port);
    bool TlsHandshake(const AnsiString& host);
    bool TlsSetUp(const AnsiString& host);
    // Waits for what the TLS library wants (an SSL_ERROR_WANT_* code) within TlsTimeoutMs and the deadline.
    bool TlsWait(int sslError);
    // Sets code, TlsLastErrorText (the description, else the library's error) and TlsLastError; false.
    bool TlsFail(int code, const AnsiString& description = {});
    void TlsShutdown();

    bool tlsEnabled_ = false;
    TlsSession* tls_ = nullptr;
};
