#include "platform/win32/winsock_api.h"

#include <type_traits>

#include "platform/shared_library.h"

namespace platform {

const WinsockApi& Winsock() {
    static const WinsockApi api = [] {
        WinsockApi a;
        auto bind = [](auto& function, const char* name) {
            function = RequiredSystemFunction<std::remove_reference_t<decltype(function)>>("wsock32.dll", name);
        };
        bind(a.WSAStartup, "WSAStartup");
        bind(a.WSACleanup, "WSACleanup");
        bind(a.WSAGetLastError, "WSAGetLastError");
        bind(a.WSASetLastError, "WSASetLastError");
        bind(a.socket, "socket");
        bind(a.closesocket, "closesocket");
        bind(a.shutdown, "shutdown");
        bind(a.bind, "bind");
        bind(a.connect, "connect");
        bind(a.listen, "listen");
        bind(a.accept, "accept");
        bind(a.getsockname, "getsockname");
        bind(a.getpeername, "getpeername");
        bind(a.send, "send");
        bind(a.recv, "recv");
        bind(a.select, "select");
        bind(a.ioctlsocket, "ioctlsocket");
        bind(a.getsockopt, "getsockopt");
        bind(a.setsockopt, "setsockopt");
        bind(a.gethostbyname, "gethostbyname");
        bind(a.getprotobynumber, "getprotobynumber");
        bind(a.getservbyname, "getservbyname");
        return a;
    }();
    return api;
}

}  // namespace platform
