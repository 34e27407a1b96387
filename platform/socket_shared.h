#pragma once
// What both socket back ends share once their system's socket headers are in: the portable address and
// the option numbers (the BSD names are the same on both systems). Included by the back ends only.
namespace platform::socket_shared {

inline SockAddrIn Portable(const sockaddr_in& native) {
    SockAddrIn address;
    address.family = native.sin_family;
    address.port = native.sin_port;
    address.address = native.sin_addr.s_addr;
    return address;
}

// The option's number, with its level in level.
inline int OptionName(SocketOption option, int& level) {
    level = SOL_SOCKET;
    switch (option) {
    case SocketOption::ReceiveBuffer: return SO_RCVBUF;
    case SocketOption::SendBuffer: return SO_SNDBUF;
    case SocketOption::ReuseAddress: return SO_REUSEADDR;
    case SocketOption::KeepAlive: return SO_KEEPALIVE;
    case SocketOption::NoDelay: level = IPPROTO_TCP; return TCP_NODELAY;
    case SocketOption::Linger: return SO_LINGER;
    }
    return -1;
}

}  // namespace platform::socket_shared
