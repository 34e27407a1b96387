#include "platform/socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>

#include "platform/socket_shared.h"

namespace platform {
namespace {

thread_local int lastError = 0;

// errno to the WinSock code of the same meaning, so that both targets report alike.
int WinSockCodeOf(int error) {
    switch (error) {
    case 0: return 0;
    case EINTR: return 10004;
    case EBADF: return 10009;
    case EACCES: return 10013;
    case EFAULT: return 10014;
    case EINVAL: return 10022;
    case EMFILE: case ENFILE: return 10024;
    case EWOULDBLOCK: return 10035;
    case EINPROGRESS: return 10036;
    case EALREADY: return 10037;
    case ENOTSOCK: return 10038;
    case EDESTADDRREQ: return 10039;
    case EMSGSIZE: return 10040;
    case EPROTOTYPE: return 10041;
    case ENOPROTOOPT: return 10042;
    case EPROTONOSUPPORT: return 10043;
    case ESOCKTNOSUPPORT: return 10044;
    case EOPNOTSUPP: return 10045;
    case EPFNOSUPPORT: return 10046;
    case EAFNOSUPPORT: return 10047;
    case EADDRINUSE: return 10048;
    case EADDRNOTAVAIL: return 10049;
    case ENETDOWN: return 10050;
    case ENETUNREACH: return 10051;
    case ENETRESET: return 10052;
    case ECONNABORTED: return 10053;
    // Writing to a connection the peer has reset reads as a reset, as WinSock reports it.
    case ECONNRESET: case EPIPE: return 10054;
    case ENOBUFS: case ENOMEM: return 10055;
    case EISCONN: return 10056;
    case ENOTCONN: return 10057;
    case ESHUTDOWN: return 10058;
    case ETOOMANYREFS: return 10059;
    case ETIMEDOUT: return 10060;
    case ECONNREFUSED: return 10061;
    case ELOOP: return 10062;
    case ENAMETOOLONG: return 10063;
    case EHOSTDOWN: return 10064;
    case EHOSTUNREACH: return 10065;
    case ENOTEMPTY: return 10066;
    case EUSERS: return 10068;
    case EDQUOT: return 10069;
    case ESTALE: return 10070;
    case EREMOTE: return 10071;
    default: return 10000 + error;  // outside the table: reads as "Not a Winsock error"
    }
}

int Fail(int code) {
    lastError = code;
    return -1;
}

int FailErrno() { return Fail(WinSockCodeOf(errno)); }

int Checked(int result) { return result < 0 ? FailErrno() : result; }

int Fd(SocketHandle handle) { return static_cast<int>(handle); }

sockaddr_in Native(const SockAddrIn& address) {
    sockaddr_in native{};
    static_assert(sizeof native == sizeof address);
    std::memcpy(&native, &address, sizeof native);
    native.sin_family = address.family;
    return native;
}

using socket_shared::OptionName;
using socket_shared::Portable;

// getprotobynumber and getservbyname use static buffers.
std::mutex databaseLock;

}  // namespace

int SocketStartup(SocketStartupData& data) {
    data.version = data.highVersion = 0x0101;
    data.description = "BSD sockets";
    data.systemStatus = "Running";
    return 0;
}

int SocketCleanup() { return 0; }

int SocketLastError() { return lastError; }

SocketHandle SocketOpen(int family, int type, int protocol) {
    int native = type == 1 ? SOCK_STREAM : type == 2 ? SOCK_DGRAM : type;
    int fd = ::socket(family == 2 ? AF_INET : family, native | SOCK_CLOEXEC, protocol);
    if (fd < 0) {
        FailErrno();
        return kNoSocket;
    }
    return fd;
}

int SocketClose(SocketHandle handle) { return Checked(::close(Fd(handle))); }

int SocketShutdown(SocketHandle handle, int how) {
    int native = how == 0 ? SHUT_RD : how == 1 ? SHUT_WR : SHUT_RDWR;
    return Checked(::shutdown(Fd(handle), native));
}

int SocketBind(SocketHandle handle, const SockAddrIn& address) {
    sockaddr_in native = Native(address);
    return Checked(::bind(Fd(handle), reinterpret_cast<sockaddr*>(&native), sizeof native));
}

int SocketConnect(SocketHandle handle, const SockAddrIn& address, int timeoutMs) {
    sockaddr_in native = Native(address);
    auto* raw = reinterpret_cast<sockaddr*>(&native);
    if (timeoutMs < 0) {
        int result;
        do result = ::connect(Fd(handle), raw, sizeof native);
        while (result < 0 && errno == EINTR);
        return Checked(result);
    }
    int flags = ::fcntl(Fd(handle), F_GETFL);
    if (flags < 0 || ::fcntl(Fd(handle), F_SETFL, flags | O_NONBLOCK) < 0) return FailErrno();
    int result = ::connect(Fd(handle), raw, sizeof native);
    int error = result == 0 ? 0 : errno;
    if (result < 0 && error == EINPROGRESS) {
        pollfd entry{Fd(handle), POLLOUT, 0};
        int ready = ::poll(&entry, 1, timeoutMs);
        if (ready == 0) {
            error = ETIMEDOUT;
        } else if (ready < 0) {
            error = errno;
        } else {
            socklen_t size = sizeof error;
            if (::getsockopt(Fd(handle), SOL_SOCKET, SO_ERROR, &error, &size) < 0) error = errno;
        }
    }
    ::fcntl(Fd(handle), F_SETFL, flags);
    return error == 0 ? 0 : Fail(WinSockCodeOf(error));
}

int SocketListen(SocketHandle handle, int backlog) { return Checked(::listen(Fd(handle), backlog)); }

SocketHandle SocketAccept(SocketHandle handle, SockAddrIn* peer) {
    sockaddr_in native{};
    socklen_t size = sizeof native;
    int fd = ::accept4(Fd(handle), reinterpret_cast<sockaddr*>(&native), &size, SOCK_CLOEXEC);
    if (fd < 0) {
        FailErrno();
        return kNoSocket;
    }
    if (peer) *peer = Portable(native);
    return fd;
}

int SocketLocalName(SocketHandle handle, SockAddrIn& address) {
    sockaddr_in native{};
    socklen_t size = sizeof native;
    if (::getsockname(Fd(handle), reinterpret_cast<sockaddr*>(&native), &size) < 0) return FailErrno();
    address = Portable(native);
    return 0;
}

int SocketPeerName(SocketHandle handle, SockAddrIn& address) {
    sockaddr_in native{};
    socklen_t size = sizeof native;
    if (::getpeername(Fd(handle), reinterpret_cast<sockaddr*>(&native), &size) < 0) return FailErrno();
    address = Portable(native);
    return 0;
}

int SocketSend(SocketHandle handle, const void* data, int length, int timeoutMs) {
    if (timeoutMs < 0) {
        ssize_t sent;
        do sent = ::send(Fd(handle), data, static_cast<size_t>(length), MSG_NOSIGNAL);
        while (sent < 0 && errno == EINTR);
        return sent < 0 ? FailErrno() : static_cast<int>(sent);
    }
    const auto* bytes = static_cast<const char*>(data);
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    int done = 0;
    while (done < length) {
        ssize_t sent = ::send(Fd(handle), bytes + done, static_cast<size_t>(length - done), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent >= 0) {
            done += static_cast<int>(sent);
            continue;
        }
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) return done > 0 ? done : FailErrno();
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count();
        if (left <= 0 || SocketWaitWritable(handle, static_cast<int>(left)) <= 0) break;
    }
    return done > 0 || length == 0 ? done : Fail(kWsaTimedOut);
}

int SocketReceive(SocketHandle handle, void* data, int length, bool peek) {
    ssize_t received;
    do received = ::recv(Fd(handle), data, static_cast<size_t>(length), peek ? MSG_PEEK : 0);
    while (received < 0 && errno == EINTR);
    return received < 0 ? FailErrno() : static_cast<int>(received);
}

namespace {

// poll rather than select: a descriptor above FD_SETSIZE must not corrupt the stack.
int WaitFor(SocketHandle handle, short events, int timeoutMs) {
    if (handle == kNoSocket) return Fail(10038);
    pollfd entry{Fd(handle), events, 0};
    int ready;
    do ready = ::poll(&entry, 1, timeoutMs < 0 ? -1 : timeoutMs);
    while (ready < 0 && errno == EINTR);
    if (ready < 0) return FailErrno();
    if (ready > 0 && (entry.revents & POLLNVAL)) return Fail(10038);
    return ready;
}

}  // namespace

int SocketWaitReadable(SocketHandle handle, int timeoutMs) { return WaitFor(handle, POLLIN, timeoutMs); }

int SocketWaitWritable(SocketHandle handle, int timeoutMs) { return WaitFor(handle, POLLOUT, timeoutMs); }

int SocketBytesWaiting(SocketHandle handle, unsigned long& count) {
    int value = 0;
    if (::ioctl(Fd(handle), FIONREAD, &value) < 0) return FailErrno();
    count = static_cast<unsigned long>(value);
    return 0;
}

int SocketGetOption(SocketHandle handle, SocketOption option, int& value) {
    int level;
    int name = OptionName(option, level);
    socklen_t size = sizeof value;
    return Checked(::getsockopt(Fd(handle), level, name, &value, &size));
}

int SocketSetOption(SocketHandle handle, SocketOption option, int value) {
    int level;
    int name = OptionName(option, level);
    if (option == SocketOption::Linger) {
        linger l{};
        l.l_onoff = 1;
        l.l_linger = static_cast<decltype(l.l_linger)>(value);
        return Checked(::setsockopt(Fd(handle), level, name, &l, sizeof l));
    }
    return Checked(::setsockopt(Fd(handle), level, name, &value, sizeof value));
}

int ResolveHostV4(const std::string& name, std::vector<std::uint32_t>& addresses) {
    addresses.clear();
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    int result = ::getaddrinfo(name.c_str(), nullptr, &hints, &list);
    if (result != 0) {
        switch (result) {
        case EAI_AGAIN: return 11002;
        case EAI_FAIL: return 11003;
#ifdef EAI_NODATA
        case EAI_NODATA: return 11004;
#endif
        case EAI_ADDRFAMILY: return 11004;
        default: return 11001;
        }
    }
    for (addrinfo* entry = list; entry; entry = entry->ai_next) {
        if (entry->ai_family != AF_INET) continue;
        std::uint32_t address = reinterpret_cast<sockaddr_in*>(entry->ai_addr)->sin_addr.s_addr;
        bool seen = false;
        for (std::uint32_t known : addresses) seen = seen || known == address;
        if (!seen) addresses.push_back(address);
    }
    ::freeaddrinfo(list);
    return addresses.empty() ? 11004 : 0;
}

std::string ProtocolName(int protocol) {
    std::lock_guard<std::mutex> guard(databaseLock);
    protoent* entry = ::getprotobynumber(protocol);
    if (entry && entry->p_name) return entry->p_name;
    // Minimal containers lack /etc/protocols; the two that matter are known anyway.
    if (protocol == IPPROTO_TCP) return "tcp";
    if (protocol == IPPROTO_UDP) return "udp";
    return {};
}

int ServicePort(const std::string& service, const std::string& protocol) {
    std::lock_guard<std::mutex> guard(databaseLock);
    servent* entry = ::getservbyname(service.c_str(), protocol.c_str());
    return entry ? static_cast<std::uint16_t>(entry->s_port) : -1;
}

}  // namespace platform
