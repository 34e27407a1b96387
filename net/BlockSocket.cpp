#include "net/BlockSocket.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "net/NetHelpers.h"
#include "platform/text.h"

namespace {

std::int64_t SteadyMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// The 32-bit millisecond tick the rate limits count in; it wraps like GetTickCount.
std::uint32_t Tick() { return static_cast<std::uint32_t>(SteadyMs()); }

std::uint16_t HostToNet16(std::uint16_t value) {
    const std::uint8_t bytes[2] = {static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)};
    std::uint16_t result;
    std::memcpy(&result, bytes, 2);
    return result;
}

std::uint16_t NetToHost16(std::uint16_t value) {
    std::uint8_t bytes[2];
    std::memcpy(bytes, &value, 2);
    return static_cast<std::uint16_t>(bytes[0] << 8 | bytes[1]);
}

AnsiString DottedOf(std::uint32_t networkOrder) {
    std::uint8_t bytes[4];
    std::memcpy(bytes, &networkOrder, 4);
    char text[16];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", bytes[0], bytes[1], bytes[2], bytes[3]);
    return text;
}

std::uint32_t NetworkOrderOf(const AnsiString& dottedBytes) {
    std::uint32_t address;
    std::memcpy(&address, dottedBytes.data(), 4);
    return address;
}

bool AllDigits(std::string_view text) {
    if (text.empty()) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

// Decimal value of a port text, 0 when it is no number (blanks and a sign allowed, as StrToIntDef).
std::uint16_t DecimalPort(const AnsiString& text) {
    std::int64_t value = 0;
    if (!platform::ParseDecimal(platform::TrimControl(text), -INT32_MAX, INT32_MAX, value)) return 0;
    return static_cast<std::uint16_t>(value);
}

struct ErrorEntry {
    int code;
    const char* text;
};

constexpr ErrorEntry kErrors[] = {
    {0, "OK"},
    {10004, "Interrupted system call"},
    {10009, "Bad file number"},
    {10013, "Permission denied"},
    {10014, "Bad address"},
    {10022, "Invalid argument"},
    {10024, "Too many open files"},
    {10035, "Operation would block"},
    {10036, "Operation now in progress"},
    {10037, "Operation already in progress"},
    {10038, "Socket operation on nonsocket"},
    {10039, "Destination address required"},
    {10040, "Message too long"},
    {10041, "Protocol wrong type for Socket"},
    {10042, "Protocol not available"},
    {10043, "Protocol not supported"},
    {10044, "Socket not supported"},
    {10045, "Operation not supported on Socket"},
    {10046, "Protocol family not supported"},
    {10047, "Address family not supported"},
    {10048, "Address already in use"},
    {10049, "Can't assign requested address"},
    {10050, "Network is down"},
    {10051, "Network is unreachable"},
    {10052, "Network dropped connection on reset"},
    {10053, "Software caused connection abort"},
    {10054, "Connection reset by peer"},
    {10055, "No Buffer space available"},
    {10056, "Socket is already connected"},
    {10057, "Socket is not connected"},
    {10058, "Can't send after Socket shutdown"},
    {10059, "Too many references:can't splice"},
    {10060, "Connection timed out"},
    {10061, "Connection refused"},
    {10062, "Too many levels of symbolic links"},
    {10063, "File name is too long"},
    {10064, "Host is down"},
    {10065, "No route to host"},
    {10066, "Directory is not empty"},
    {10067, "Too many processes"},
    {10068, "Too many users"},
    {10069, "Disk quota exceeded"},
    {10070, "Stale NFS file handle"},
    {10071, "Too many levels of remote in path"},
    {10091, "Network subsystem is unusable"},
    {10092, "Winsock DLL cannot support this application"},
    {10093, "Winsock not initialized"},
    {10101, "Disconnect"},
    {11001, "Host not found"},
    {11002, "Non authoritative - host not found"},
    {11003, "Non recoverable error"},
    {11004, "Valid name, no data record of requested type"},
};

}  // namespace

// ---- TBlockingSocket ----

TBlockingSocket::TBlockingSocket() {
    // The socket functions are linked directly, so binding them cannot fail; only the start-up can.
    int result = platform::SocketStartup(StartupData);
    started_ = result == 0;
    ErrorCode = result;
    ErrorText = result == 0 ? AnsiString() : GetErrorDesc(result);
    RaiseIfFailed();
}

TBlockingSocket::~TBlockingSocket() {
    TBlockingSocket::Close();
    if (started_) platform::SocketCleanup();
}

void TBlockingSocket::ReportStatus(int reason, const AnsiString& text) {
    if (StatusHook) StatusHook(*this, reason, text);
}

void TBlockingSocket::OpenHandle() {
    Pending.clear();
    ErrorCode = Handle == platform::kNoSocket ? platform::SocketLastError() : 0;
    if (Handle == platform::kNoSocket && ErrorCode == 0) ErrorCode = 10038;
    RaiseIfFailed();
    ReportStatus(HandleOpened);
}

void TBlockingSocket::Close() {
    if (Handle == platform::kNoSocket) return;
    platform::SocketShutdown(Handle, 2);
    platform::SocketClose(Handle);
    Handle = platform::kNoSocket;
    ReportStatus(HandleClosed);
}

bool TBlockingSocket::FillAddress(const AnsiString& host, const AnsiString& port, platform::SockAddrIn& address) {
    ReportStatus(ResolveBegin, host + ":" + port);
    address = platform::SockAddrIn{};
    address.family = 2;
    address.port = ResolvePortNumber(port);
    bool inTime = true;
    if (host == "255.255.255.255") {
        address.address = 0xFFFFFFFFu;
    } else if (net::IsDottedQuad(host)) {
        address.address = NetworkOrderOf(net::DottedToBytes(host));
    } else {
        // A name that does not resolve leaves the all-ones address; the connect then reports the error.
        std::vector<std::uint32_t> found;
        int result = platform::ResolveHostV4Within(host, found, DeadlineLeft());
        address.address = result == 0 ? found.front() : 0xFFFFFFFFu;
        inTime = result != platform::kWsaTimedOut;
    }
    ReportStatus(ResolveEnd, host + ":" + port);
    return inTime;
}

void TBlockingSocket::Bind(const AnsiString& host, const AnsiString& port) {
    if (Handle == platform::kNoSocket) OpenHandle();
    platform::SockAddrIn address;
    if (!FillAddress(host, port, address)) {
        ErrorCode = kSocketTimedOut;
    } else if (CheckResult(platform::SocketBind(Handle, address)) == 0) {
        platform::SocketLocalName(Handle, LocalAddress);
    }
    Pending.clear();
    RaiseIfFailed();
    ReportStatus(Bound, host + ":" + port);
}

void TBlockingSocket::ConnectDirect(const AnsiString& host, const AnsiString& port) {
    if (Handle == platform::kNoSocket) OpenHandle();
    platform::SockAddrIn address;
    // The deadline covers the name lookup as well as the connect.
    if (!FillAddress(host, port, address)) {
        ErrorCode = kSocketTimedOut;
    } else if (CheckResult(platform::SocketConnect(Handle, address, DeadlineLeft())) == 0) {
        platform::SocketLocalName(Handle, LocalAddress);
        platform::SocketPeerName(Handle, RemoteAddress);
    }
    Pending.clear();
    RaiseIfFailed();
    if (ErrorCode == 0) ReportStatus(Connected, host + ":" + port);
}

void TBlockingSocket::Connect(const AnsiString& host, const AnsiString& port) { ConnectDirect(host, port); }

void TBlockingSocket::ThrottleRate(int length, std::uint32_t limit, std::uint32_t& nextTick) {
    if (limit == 0) return;
    std::uint32_t now = Tick();
    if (static_cast<std::int32_t>(nextTick - now) > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(nextTick - now));
    nextTick = now + static_cast<std::uint32_t>(static_cast<double>(length) / limit * 1000.0);
}

int TBlockingSocket::SendBytes(const void* buffer, int length) {
    ThrottleRate(length, SendRateLimit, NextSendTick);
    // A peer that stops reading must not hold a send past the deadline.
    int count = platform::SocketSend(Handle, buffer, length, DeadlineLeft());
    CheckResult(count);
    RaiseIfFailed();
    ReportStatus(BytesSent, std::to_string(count));
    return count;
}

int TBlockingSocket::SendOneByte(std::uint8_t byte) { return SendBytes(&byte, 1); }

int TBlockingSocket::SendText(const AnsiString& text) { return SendBytes(text.data(), static_cast<int>(text.size())); }

int TBlockingSocket::ReceiveBytes(void* buffer, int length) {
    ThrottleRate(length, ReceiveRateLimit, NextReceiveTick);
    int count = platform::SocketReceive(Handle, buffer, length);
    if (count == 0)
        ErrorCode = kSocketClosed;
    else
        CheckResult(count);
    RaiseIfFailed();
    ReportStatus(BytesReceived, std::to_string(count));
    return count;
}

AnsiString TBlockingSocket::ReceiveAvailable(int timeoutMs) {
    ErrorCode = 0;
    AnsiString result;
    long count = -1;
    if (!Pending.empty()) result = Pending.TakeAll();
    // A TLS record that has only partly arrived yields no bytes yet: wait again for the rest.
    while (result.empty() && ErrorCode == 0 && count != 0) {
        if (!WaitReadable(timeoutMs)) {
            if (ErrorCode == 0) ErrorCode = kSocketTimedOut;
            break;
        }
        count = BytesWaiting();
        if (count > 0) {
            result.resize(static_cast<std::size_t>(count));
            int received = ReceiveBytes(result.data(), static_cast<int>(count));
            result.resize(received > 0 ? static_cast<std::size_t>(received) : 0);
        }
    }
    RaiseIfFailed();
    // Set after the raise check: a closed connection is the normal end of many reads, never an exception.
    if (count == 0) ErrorCode = kSocketClosed;
    return result;
}

AnsiString TBlockingSocket::ReceiveUntil(int timeoutMs, const AnsiString& terminator) {
    ErrorCode = 0;
    if (terminator.empty()) return {};
    const bool anyEnd = AnyLineEnd && terminator == "\r\n";

    // Position (0-based) and length of the first end in text at or after from; npos when none.
    auto search = [&](std::string_view text, std::size_t from, std::size_t& endLength) {
        if (anyEnd) {
            AnsiString end;
            std::size_t at = net::FindLineEnd(text.substr(from), end);
            endLength = end.size();
            return at == 0 ? AnsiString::npos : from + at - 1;
        }
        endLength = terminator.size();
        return text.find(terminator, from);
    };

    std::size_t endLength = 0;
    if (!Pending.empty()) {
        std::size_t at = search(Pending.View(), 0, endLength);
        if (at != AnsiString::npos) {
            AnsiString line(Pending.data(), at);
            Pending.Drop(at + endLength);
            return line;
        }
    }

    AnsiString gathered;
    std::size_t found = AnsiString::npos;
    do {
        std::size_t searched = gathered.size();
        gathered += ReceiveAvailable(timeoutMs);
        if (ErrorCode != 0) break;
        // Earlier bytes held no end; only one that straddles the old tail can start before them.
        std::size_t from = anyEnd ? searched : searched - std::min(searched, terminator.size() - 1);
        found = search(gathered, from, endLength);
        std::size_t lineLength = found == AnsiString::npos ? gathered.size() : found;
        if (LineLimit != 0 && lineLength > static_cast<std::size_t>(LineLimit)) {
            found = AnsiString::npos;
            ErrorCode = kSocketLineTooLong;
            break;
        }
    } while (found == AnsiString::npos);

    AnsiString line;
    if (found != AnsiString::npos) {
        line = gathered.substr(0, found);
        gathered.erase(0, found + endLength);
    }
    Pending = std::move(gathered);
    RaiseIfFailed();
    return line;
}

AnsiString TBlockingSocket::ReceiveLine(int timeoutMs) {
    AnsiString line = ReceiveUntil(timeoutMs, "\r\n");
    return ErrorCode == 0 ? line : AnsiString();
}

int TBlockingSocket::ReceiveExactly(void* buffer, int length, int timeoutMs) {
    ErrorCode = 0;
    auto* out = static_cast<char*>(buffer);
    int taken = static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(std::max(length, 0)), Pending.size()));
    std::memcpy(out, Pending.data(), static_cast<std::size_t>(taken));
    Pending.Drop(static_cast<std::size_t>(taken));
    int done = taken;
    if (done < length) {
        int chunk = ReceiveBufferSize();
        while (done < length) {
            if (!WaitReadable(timeoutMs)) {
                if (ErrorCode == 0) ErrorCode = kSocketTimedOut;
                break;
            }
            int size = std::min({BytesWaiting(), chunk, length - done});
            int received = ReceiveBytes(out + done, size);
            if (ErrorCode != 0) break;
            done += received;
            std::this_thread::yield();
        }
    }
    RaiseIfFailed();
    return done;
}

std::uint8_t TBlockingSocket::ReceiveOneByte(int timeoutMs) {
    if (Pending.empty()) {
        Pending = ReceiveAvailable(timeoutMs);
        if (Pending.empty() && ErrorCode == 0) ErrorCode = kSocketTimedOut;
    } else {
        ErrorCode = 0;
    }
    std::uint8_t byte = 0;
    if (ErrorCode == 0 && !Pending.empty()) {
        byte = static_cast<std::uint8_t>(Pending[0]);
        Pending.Drop(1);
    }
    RaiseIfFailed();
    return byte;
}

int TBlockingSocket::PeekBytes(void* buffer, int length) {
    int count = platform::SocketReceive(Handle, buffer, length, true);
    CheckResult(count);
    RaiseIfFailed();
    return count;
}

std::uint8_t TBlockingSocket::PeekOneByte(int timeoutMs) {
    std::uint8_t byte = 0;
    if (WaitReadable(timeoutMs)) {
        PeekBytes(&byte, 1);
    } else if (ErrorCode == 0) {
        ErrorCode = kSocketTimedOut;
        RaiseIfFailed();
    }
    return ErrorCode == 0 ? byte : 0;
}

int TBlockingSocket::BytesWaiting() {
    unsigned long count = 0;
    if (platform::SocketBytesWaiting(Handle, count) != 0) return 0;
    return static_cast<int>(std::min<unsigned long>(count, INT32_MAX));
}

AnsiString TBlockingSocket::LocalIp() { return LocalAddress.family == 0 ? AnsiString() : DottedOf(LocalAddress.address); }

AnsiString TBlockingSocket::RemoteIp() {
    return RemoteAddress.family == 0 ? AnsiString() : DottedOf(RemoteAddress.address);
}

int TBlockingSocket::LocalPortNumber() { return NetToHost16(LocalAddress.port); }

int TBlockingSocket::RemotePortNumber() { return NetToHost16(RemoteAddress.port); }

bool TBlockingSocket::WaitReadable(int timeoutMs) {
    if (hasDeadline_ && DeadlineLeft() == 0) {
        ErrorCode = 0;
        return false;
    }
    if (HasBufferedData()) {
        ErrorCode = 0;
        ReportStatus(Readable);
        return true;
    }
    int result = platform::SocketWaitReadable(Handle, LimitedWait(timeoutMs));
    bool ready = CheckResult(result) == 0 && result > 0;
    RaiseIfFailed();
    if (ready) ReportStatus(Readable);
    return ready;
}

void TBlockingSocket::ResolveAll(const AnsiString& name, std::vector<AnsiString>& addresses) {
    addresses.clear();
    if (net::IsDottedQuad(name)) {
        addresses.push_back(name);
        return;
    }
    std::vector<std::uint32_t> found;
    platform::ResolveHostV4Within(name, found, DeadlineLeft());
    for (std::uint32_t address : found) addresses.push_back(DottedOf(address));
    if (addresses.empty()) addresses.push_back("0.0.0.0");
}

AnsiString TBlockingSocket::ResolveFirst(const AnsiString& name) {
    std::vector<AnsiString> addresses;
    ResolveAll(name, addresses);
    return addresses.front();
}

std::uint16_t TBlockingSocket::ResolvePortNumber(const AnsiString& port) {
    // A numeric text is never a service name; skipping the lookup spares a read of the services table.
    if (!AllDigits(platform::TrimControl(port))) {
        AnsiString protocol = platform::ProtocolName(IpProtocol);
        if (!protocol.empty()) {
            int service = platform::ServicePort(port, protocol);
            if (service >= 0) return static_cast<std::uint16_t>(service);
        }
    }
    return HostToNet16(DecimalPort(port));
}

int TBlockingSocket::ReceiveBufferSize() {
    int size = 0;
    if (platform::SocketGetOption(Handle, platform::SocketOption::ReceiveBuffer, size) != 0 || size <= 0) return 1024;
    return size;
}

void TBlockingSocket::SetReceiveBufferSize(int size) {
    CheckResult(platform::SocketSetOption(Handle, platform::SocketOption::ReceiveBuffer, size));
    RaiseIfFailed();
}

void TBlockingSocket::SetSendBufferSize(int size) {
    CheckResult(platform::SocketSetOption(Handle, platform::SocketOption::SendBuffer, size));
    RaiseIfFailed();
}

int TBlockingSocket::CheckResult(int platformResult) {
    ErrorText.clear();
    if (platformResult == -1) {
        ErrorCode = platform::SocketLastError();
        ErrorText = GetErrorDesc(ErrorCode);
    } else {
        ErrorCode = 0;
    }
    return ErrorCode;
}

void TBlockingSocket::RaiseIfFailed() {
    if (!RaiseOnError || ErrorCode == 0 || ErrorCode == 10035 || ErrorCode == 10036) return;
    AnsiString description = GetErrorDesc(ErrorCode);
    char message[512];
    std::snprintf(message, sizeof message, "TCP/IP Socket error %d: %s", static_cast<int>(ErrorCode), description.c_str());
    throw ESocketError(message, ErrorCode, description);
}

AnsiString TBlockingSocket::GetErrorDesc(int code) {
    for (const ErrorEntry& entry : kErrors)
        if (entry.code == code) return entry.text;
    return "Not a Winsock error (" + std::to_string(code) + ")";
}

void TBlockingSocket::SetDeadline(int millisecondsFromNow) {
    hasDeadline_ = true;
    deadline_ = SteadyMs() + std::max(millisecondsFromNow, 0);
}

void TBlockingSocket::ClearDeadline() { hasDeadline_ = false; }

int TBlockingSocket::DeadlineLeft() const {
    if (!hasDeadline_) return -1;
    return static_cast<int>(std::clamp<std::int64_t>(deadline_ - SteadyMs(), 0, INT32_MAX));
}

int TBlockingSocket::LimitedWait(int timeoutMs) const {
    int left = DeadlineLeft();
    if (left < 0) return timeoutMs;
    return timeoutMs < 0 ? left : std::min(timeoutMs, left);
}

// ---- TSocksSocket ----

bool TSocksSocket::SocksSend(const AnsiString& bytes) {
    int sent = SendText(bytes);
    return ErrorCode == 0 && sent == static_cast<int>(bytes.size());
}

bool TSocksSocket::SocksReceive(AnsiString& bytes, int count) {
    bytes.assign(static_cast<std::size_t>(count), '\0');
    int received = ReceiveExactly(bytes.data(), count, SocksTimeoutMs);
    return ErrorCode == 0 && received == count;
}

bool TSocksSocket::SocksConnect(const AnsiString& host, const AnsiString& port) {
    SocksOpen = true;
    SocksLastReply = 0;
    auto refuse = [this] {
        if (ErrorCode == 0) ErrorCode = kSocketNegotiation;
        SocksOpen = false;
        return false;
    };
    // Method choice: no authentication, and user/password when a user name is set.
    AnsiString hello = SocksUserName.empty() ? AnsiString("\x05\x01\x00", 3) : AnsiString("\x05\x02\x00\x02", 4);
    AnsiString reply;
    if (!SocksSend(hello) || !SocksReceive(reply, 2) || reply[0] != 0x05) return refuse();
    if (reply[1] == 0x02 && !SocksUserName.empty()) {
        if (SocksUserName.size() > 255 || SocksPassword.size() > 255) return refuse();
        AnsiString login = "\x01";
        login += static_cast<char>(SocksUserName.size());
        login += SocksUserName;
        login += static_cast<char>(SocksPassword.size());
        login += SocksPassword;
        if (!SocksSend(login) || !SocksReceive(reply, 2) || reply[1] != 0x00) return refuse();
    } else if (reply[1] != 0x00) {
        return refuse();
    }

    AnsiString request("\x05\x01\x00", 3);
    if (net::IsDottedQuad(host)) {
        request += '\x01' + net::DottedToBytes(host);
    } else if (SocksResolver) {
        if (host.size() > 255) return refuse();
        request += '\x03';
        request += static_cast<char>(host.size());
        request += host;
    } else {
        request += '\x01' + net::DottedToBytes(ResolveFirst(host));
    }
    request += net::PackPort(NetToHost16(ResolvePortNumber(port)));
    if (!SocksSend(request) || !SocksReceive(reply, 4) || reply[0] != 0x05) return refuse();
    SocksLastReply = static_cast<unsigned char>(reply[1]);
    if (SocksLastReply != 0) return refuse();

    AnsiString bound;
    switch (reply[3]) {
    case 0x01:
        if (!SocksReceive(bound, 6)) return refuse();
        SocksResponseIp = DottedOf(NetworkOrderOf(bound.substr(0, 4)));
        break;
    case 0x03: {
        AnsiString size;
        if (!SocksReceive(size, 1) || !SocksReceive(bound, static_cast<unsigned char>(size[0]) + 2)) return refuse();
        SocksResponseIp = bound.substr(0, bound.size() - 2);
        break;
    }
    case 0x04:  // an IPv6 address: read and keep it out of the IPv4 fields
        if (!SocksReceive(bound, 18)) return refuse();
        SocksResponseIp.clear();
        break;
    default:
        return refuse();
    }
    SocksResponsePort = net::UnpackPort(bound, bound.size() - 1);
    SocksLocalIp = SocksResponseIp;
    SocksLocalPort = SocksResponsePort;
    SocksRemoteIp = host;
    SocksRemotePort = NetToHost16(ResolvePortNumber(port));
    SocksOpen = false;
    return true;
}

// ---- TTcpSocket ----

namespace {

constexpr std::int32_t kTunnelLineLimit = 64 << 10;
constexpr std::size_t kTunnelReplyLimit = 1 << 20;

}  // namespace

TTcpSocket::~TTcpSocket() {
    if (tlsEnabled_) SetTlsEnabled(false);
    Close();
}

void TTcpSocket::OpenHandle() {
    // A handle still open would leak.
    if (Handle != platform::kNoSocket) Close();
    Handle = platform::SocketOpen(2, 1, 6);
    IpProtocol = 6;
    TBlockingSocket::OpenHandle();
}

void TTcpSocket::Close() {
    if (Handle != platform::kNoSocket) {
        TlsShutdown();
        platform::SocketShutdown(Handle, 1);
    }
    TunnelOpen = false;
    UsingSocks = false;
    TBlockingSocket::Close();
}

void TTcpSocket::Connect(const AnsiString& host, const AnsiString& port) {
    TunnelOpen = false;
    UsingSocks = false;
    if (!SocksServer.empty()) {
        ConnectDirect(SocksServer, SocksPort);
        if (ErrorCode != 0) return;
        if (!SocksConnect(host, port)) {
            RaiseIfFailed();
            return;
        }
        UsingSocks = true;
    } else if (!TunnelProxy.empty()) {
        ConnectDirect(TunnelProxy, TunnelPort);
        if (ErrorCode != 0) return;
        if (!TunnelConnect(host, port)) {
            RaiseIfFailed();
            return;
        }
    } else {
        ConnectDirect(host, port);
        if (ErrorCode != 0) return;
    }
    if (tlsEnabled_ && !TlsBypass && !TlsHandshake(host)) RaiseIfFailed();
}

bool TTcpSocket::TunnelConnect(const AnsiString& host, const AnsiString& port) {
    AnsiString request = "CONNECT " + host + ":" + port + " HTTP/1.0\r\n";
    if (!TunnelUser.empty())
        request += "Proxy-Authorization: Basic " + net::Base64Encode(TunnelUser + ":" + TunnelPassword) + "\r\n";
    request += "\r\n";
    if (SendText(request) != static_cast<int>(request.size()) || ErrorCode != 0) {
        if (ErrorCode == 0) ErrorCode = kSocketNegotiation;
        return false;
    }
    // The proxy's reply is capped like an HTTP header block: a proxy that talks on must not hold the
    // connect or fill memory. Each line's wait is 30 s, within the deadline.
    const std::int32_t callerLineLimit = LineLimit;
    LineLimit = callerLineLimit > 0 ? std::min(callerLineLimit, kTunnelLineLimit) : kTunnelLineLimit;
    bool accepted = false, first = true;
    std::size_t replySize = 0;
    for (;;) {
        AnsiString line = ReceiveUntil(30000, "\n");
        if (ErrorCode != 0) break;
        replySize += line.size() + 1;
        if (replySize > kTunnelReplyLimit) {
            ErrorCode = kSocketNegotiation;
            break;
        }
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (first) accepted = line.compare(0, 5, "HTTP/") == 0 && line.size() > 11 && line[9] == '2';
        first = false;
        if (line.empty()) break;
    }
    LineLimit = callerLineLimit;
    if (ErrorCode != 0) return false;
    if (!accepted) {
        ErrorCode = kSocketNegotiation;
        return false;
    }
    TunnelOpen = true;
    TunnelRemoteHost = host;
    TunnelRemotePort = port;
    return true;
}

AnsiString TTcpSocket::LocalIp() { return UsingSocks ? SocksLocalIp : TBlockingSocket::LocalIp(); }

AnsiString TTcpSocket::RemoteIp() {
    if (UsingSocks) return SocksRemoteIp;
    if (TunnelOpen) return TunnelRemoteHost;
    return TBlockingSocket::RemoteIp();
}

int TTcpSocket::LocalPortNumber() { return UsingSocks ? SocksLocalPort : TBlockingSocket::LocalPortNumber(); }

int TTcpSocket::RemotePortNumber() {
    if (UsingSocks) return SocksRemotePort;
    if (TunnelOpen) return DecimalPort(TunnelRemotePort);
    return TBlockingSocket::RemotePortNumber();
}
