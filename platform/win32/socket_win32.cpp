#include "platform/socket.h"

#include "platform/win32/winsock_api.h"

#include <cstring>

#include "platform/socket_shared.h"

namespace platform {
namespace {

SOCKET Native(SocketHandle handle) { return static_cast<SOCKET>(handle); }

sockaddr_in NativeAddress(const SockAddrIn& address) {
    sockaddr_in native{};
    static_assert(sizeof native == sizeof address);
    std::memcpy(&native, &address, sizeof native);
    return native;
}

using socket_shared::OptionName;
using socket_shared::Portable;

int Fail(int code) {
    Winsock().WSASetLastError(code);
    return -1;
}

}  // namespace

int SocketStartup(SocketStartupData& data) {
    WSADATA native{};
    int result = Winsock().WSAStartup(MAKEWORD(1, 1), &native);
    data.version = native.wVersion;
    data.highVersion = native.wHighVersion;
    data.description = native.szDescription;
    data.systemStatus = native.szSystemStatus;
    if (result != 0) Winsock().WSASetLastError(result);
    return result;
}

int SocketCleanup() { return Winsock().WSACleanup(); }

int SocketLastError() { return Winsock().WSAGetLastError(); }

SocketHandle SocketOpen(int family, int type, int protocol) {
    SOCKET handle = Winsock().socket(family, type, protocol);
    return handle == INVALID_SOCKET ? kNoSocket : static_cast<SocketHandle>(handle);
}

int SocketClose(SocketHandle handle) { return Winsock().closesocket(Native(handle)); }

int SocketShutdown(SocketHandle handle, int how) { return Winsock().shutdown(Native(handle), how); }

int SocketBind(SocketHandle handle, const SockAddrIn& address) {
    sockaddr_in native = NativeAddress(address);
    return Winsock().bind(Native(handle), reinterpret_cast<sockaddr*>(&native), sizeof native);
}

int SocketConnect(SocketHandle handle, const SockAddrIn& address, int timeoutMs) {
    sockaddr_in native = NativeAddress(address);
    auto* raw = reinterpret_cast<sockaddr*>(&native);
    if (timeoutMs < 0) return Winsock().connect(Native(handle), raw, sizeof native);
    u_long on = 1, off = 0;
    if (Winsock().ioctlsocket(Native(handle), FIONBIO, &on) != 0) return -1;
    int error = 0;
    if (Winsock().connect(Native(handle), raw, sizeof native) != 0) {
        error = Winsock().WSAGetLastError();
        if (error == WSAEWOULDBLOCK) {
            fd_set writable, failed;
            FD_ZERO(&writable);
            FD_ZERO(&failed);
            FD_SET(Native(handle), &writable);
            FD_SET(Native(handle), &failed);
            timeval limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
            int ready = Winsock().select(0, nullptr, &writable, &failed, &limit);
            if (ready == 0) {
                error = WSAETIMEDOUT;
            } else if (ready < 0) {
                error = Winsock().WSAGetLastError();
            } else {
                int size = sizeof error;
                if (Winsock().getsockopt(Native(handle), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) != 0)
                    error = Winsock().WSAGetLastError();
            }
        }
    }
    Winsock().ioctlsocket(Native(handle), FIONBIO, &off);
    return error == 0 ? 0 : Fail(error);
}

int SocketListen(SocketHandle handle, int backlog) { return Winsock().listen(Native(handle), backlog); }

SocketHandle SocketAccept(SocketHandle handle, SockAddrIn* peer) {
    sockaddr_in native{};
    int size = sizeof native;
    SOCKET accepted = Winsock().accept(Native(handle), reinterpret_cast<sockaddr*>(&native), &size);
    if (accepted == INVALID_SOCKET) return kNoSocket;
    if (peer) *peer = Portable(native);
    return static_cast<SocketHandle>(accepted);
}

int SocketLocalName(SocketHandle handle, SockAddrIn& address) {
    sockaddr_in native{};
    int size = sizeof native;
    if (Winsock().getsockname(Native(handle), reinterpret_cast<sockaddr*>(&native), &size) != 0) return -1;
    address = Portable(native);
    return 0;
}

int SocketPeerName(SocketHandle handle, SockAddrIn& address) {
    sockaddr_in native{};
    int size = sizeof native;
    if (Winsock().getpeername(Native(handle), reinterpret_cast<sockaddr*>(&native), &size) != 0) return -1;
    address = Portable(native);
    return 0;
}

int SocketSend(SocketHandle handle, const void* data, int length, int timeoutMs) {
    const auto* bytes = static_cast<const char*>(data);
    if (timeoutMs < 0) return Winsock().send(Native(handle), bytes, length, 0);
    // WinSock 1.1 has no per-call flag for this: the socket is non-blocking for the duration.
    u_long on = 1, off = 0;
    if (Winsock().ioctlsocket(Native(handle), FIONBIO, &on) != 0) return -1;
    const DWORD start = ::GetTickCount();
    int done = 0, error = 0;
    while (done < length) {
        int sent = Winsock().send(Native(handle), bytes + done, length - done, 0);
        if (sent >= 0) {
            done += sent;
            continue;
        }
        error = Winsock().WSAGetLastError();
        if (error != WSAEWOULDBLOCK) break;
        error = 0;
        int left = timeoutMs - static_cast<int>(::GetTickCount() - start);
        if (left <= 0 || SocketWaitWritable(handle, left) <= 0) break;
    }
    Winsock().ioctlsocket(Native(handle), FIONBIO, &off);
    if (done > 0 || length == 0) return done;
    return Fail(error != 0 ? error : WSAETIMEDOUT);
}

int SocketReceive(SocketHandle handle, void* data, int length, bool peek) {
    return Winsock().recv(Native(handle), static_cast<char*>(data), length, peek ? MSG_PEEK : 0);
}

namespace {

int WaitFor(SocketHandle handle, bool writable, int timeoutMs) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(Native(handle), &set);
    timeval limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    return Winsock().select(0, writable ? nullptr : &set, writable ? &set : nullptr, nullptr, timeoutMs < 0 ? nullptr : &limit);
}

}  // namespace

int SocketWaitReadable(SocketHandle handle, int timeoutMs) { return WaitFor(handle, false, timeoutMs); }

int SocketWaitWritable(SocketHandle handle, int timeoutMs) { return WaitFor(handle, true, timeoutMs); }

int SocketBytesWaiting(SocketHandle handle, unsigned long& count) {
    u_long value = 0;
    if (Winsock().ioctlsocket(Native(handle), FIONREAD, &value) != 0) return -1;
    count = value;
    return 0;
}

int SocketGetOption(SocketHandle handle, SocketOption option, int& value) {
    int level;
    int name = OptionName(option, level);
    int size = sizeof value;
    return Winsock().getsockopt(Native(handle), level, name, reinterpret_cast<char*>(&value), &size);
}

int SocketSetOption(SocketHandle handle, SocketOption option, int value) {
    int level;
    int name = OptionName(option, level);
    if (option == SocketOption::Linger) {
        linger l{};
        l.l_onoff = 1;
        l.l_linger = static_cast<decltype(l.l_linger)>(value);
        return (Winsock().setsockopt(Native(handle), level, name, reinterpret_cast<const char*>(&l), sizeof l));
    }
    return Winsock().setsockopt(Native(handle), level, name, reinterpret_cast<const char*>(&value), sizeof value);
}

int ResolveHostV4(const std::string& name, std::vector<std::uint32_t>& addresses) {
    addresses.clear();
    hostent* entry = Winsock().gethostbyname(name.c_str());
    if (!entry) {
        int error = Winsock().WSAGetLastError();
        return error ? error : 11001;
    }
    if (entry->h_addrtype != AF_INET || entry->h_length != 4) return 11004;
    for (char** item = entry->h_addr_list; *item; ++item) {
        std::uint32_t address;
        std::memcpy(&address, *item, 4);
        addresses.push_back(address);
    }
    return addresses.empty() ? 11004 : 0;
}

std::string ProtocolName(int protocol) {
    protoent* entry = Winsock().getprotobynumber(protocol);
    if (entry && entry->p_name) return entry->p_name;
    if (protocol == IPPROTO_TCP) return "tcp";
    if (protocol == IPPROTO_UDP) return "udp";
    return {};
}

int ServicePort(const std::string& service, const std::string& protocol) {
    servent* entry = Winsock().getservbyname(service.c_str(), protocol.c_str());
    return entry ? static_cast<std::uint16_t>(entry->s_port) : -1;
}

}  // namespace platform
