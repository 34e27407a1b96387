#pragma once
// WinSock 1.1 (wsock32.dll), loaded at the first socket call rather than with the program: the dialog
// needs sockets only when it closes, and its window should not wait for them.
#include <winsock.h>

namespace platform {

struct WinsockApi {
    decltype(&::WSAStartup) WSAStartup;
    decltype(&::WSACleanup) WSACleanup;
    decltype(&::WSAGetLastError) WSAGetLastError;
    decltype(&::WSASetLastError) WSASetLastError;
    decltype(&::socket) socket;
    decltype(&::closesocket) closesocket;
    decltype(&::shutdown) shutdown;
    decltype(&::bind) bind;
    decltype(&::connect) connect;
    decltype(&::listen) listen;
    decltype(&::accept) accept;
    decltype(&::getsockname) getsockname;
    decltype(&::getpeername) getpeername;
    decltype(&::send) send;
    decltype(&::recv) recv;
    decltype(&::select) select;
    decltype(&::ioctlsocket) ioctlsocket;
    decltype(&::getsockopt) getsockopt;
    decltype(&::setsockopt) setsockopt;
    decltype(&::gethostbyname) gethostbyname;
    decltype(&::getprotobynumber) getprotobynumber;
    decltype(&::getservbyname) getservbyname;
};

// The functions, wsock32.dll loaded from the system folder at the first call. Every Windows has it; were it
// missing, the program ends with a message naming it.
const WinsockApi& Winsock();

}  // namespace platform
