#pragma once
// The thin socket layer under net/: WinSock 1.1 (wsock32) on Windows, BSD sockets elsewhere. Calls follow
// the WinSock conventions on both: a failing call returns -1 (SOCKET_ERROR) and SocketLastError() gives a
// WinSock error code; on POSIX errno and the resolver's codes are mapped to the same numbers, so that the
// codes and their descriptions read the same on both targets.
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// A platform socket; kNoSocket when none.
using SocketHandle = std::intptr_t;
constexpr SocketHandle kNoSocket = -1;

// The 16-byte IPv4 socket address of the platform (sockaddr_in): family 2, port and address in network
// byte order, 8 zero bytes.
struct SockAddrIn {
    std::uint16_t family = 0;
    std::uint16_t port = 0;      // network byte order
    std::uint32_t address = 0;   // network byte order
    std::uint8_t zero[8] = {};
};
static_assert(sizeof(SockAddrIn) == 16);

// What the start-up of the socket library reports (the useful part of WSADATA).
struct SocketStartupData {
    std::uint16_t version = 0;
    std::uint16_t highVersion = 0;
    std::string description;
    std::string systemStatus;
};

// WinSock codes the layer itself produces.
constexpr int kWsaTimedOut = 10060;
constexpr int kWsaNotInitialised = 10093;

// Asks for WinSock 1.1; returns 0 or an error code. Every successful start-up needs one clean-up.
int SocketStartup(SocketStartupData& data);
int SocketCleanup();

// The error code of the last failing call of this thread.
int SocketLastError();

// Address family 2, type 1 (stream) or 2 (datagram), protocol number.
SocketHandle SocketOpen(int family, int type, int protocol);
int SocketClose(SocketHandle handle);
// how: 0 receiving, 1 sending, 2 both.
int SocketShutdown(SocketHandle handle, int how);
int SocketBind(SocketHandle handle, const SockAddrIn& address);
// timeoutMs < 0: one blocking connect, limited only by the platform. Otherwise the connect gives up after
// timeoutMs with 10060 and the socket is blocking again afterwards.
int SocketConnect(SocketHandle handle, const SockAddrIn& address, int timeoutMs = -1);
int SocketListen(SocketHandle handle, int backlog);
SocketHandle SocketAccept(SocketHandle handle, SockAddrIn* peer);
int SocketLocalName(SocketHandle handle, SockAddrIn& address);
int SocketPeerName(SocketHandle handle, SockAddrIn& address);

// Counts or -1. A send never raises a signal when the peer has gone. timeoutMs < 0: one blocking send.
// Otherwise the send waits for room at most timeoutMs in all (0: takes only what fits now) and returns what
// went out by then, or -1 with 10060 when nothing did.
int SocketSend(SocketHandle handle, const void* data, int length, int timeoutMs = -1);
int SocketReceive(SocketHandle handle, void* data, int length, bool peek = false);

// Waits until the socket is readable: timeoutMs < 0 without limit, 0 only polls. Returns the number of
// ready sockets (0 or 1) or -1.
int SocketWaitReadable(SocketHandle handle, int timeoutMs);
// The same for room to send.
int SocketWaitWritable(SocketHandle handle, int timeoutMs);
// Bytes that a receive would return now (FIONREAD); -1 on failure.
int SocketBytesWaiting(SocketHandle handle, unsigned long& count);

// Socket options by their WinSock names. Linger sets SO_LINGER on with the value in seconds; 0 makes the
// close abortive (a reset).
enum class SocketOption { ReceiveBuffer, SendBuffer, ReuseAddress, KeepAlive, NoDelay, Linger };
int SocketGetOption(SocketHandle handle, SocketOption option, int& value);
int SocketSetOption(SocketHandle handle, SocketOption option, int value);

// Every IPv4 address of a host name, in network byte order. Returns 0, or the resolver's code
// (11001 host not found, 11002 try again, 11003 non-recoverable, 11004 no address of that type).
int ResolveHostV4(const std::string& name, std::vector<std::uint32_t>& addresses);
// The same within timeoutMs (< 0: no limit of its own); 10060 when the answer does not come in time.
int ResolveHostV4Within(const std::string& name, std::vector<std::uint32_t>& addresses, int timeoutMs);
// The name of a protocol number from the platform's protocol table ("tcp" for 6); empty when unknown.
std::string ProtocolName(int protocol);
// The port of a service name for a protocol name, in network byte order; -1 when unknown.
int ServicePort(const std::string& service, const std::string& protocol);

}  // namespace platform
