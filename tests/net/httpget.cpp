// httpget: one request with THttpClient, for the end-to-end scripts.
//   httpget [options] URL
//   --socks HOST:PORT [--socks-user U --socks-password P]   through a SOCKS 5 server
//   --proxy HOST:PORT [--proxy-user U --proxy-password P]   through an HTTP proxy (a CONNECT tunnel for https)
//   --tunnel HOST:PORT                                      a raw CONNECT tunnel, then a plain HTTP/1.0 GET
//                                                           (--proxy-user and --proxy-password apply to it)
//   --ca FILE                                               trust the roots in FILE for https, not the system's
//   --timeout MS                                            each wait (default 10000)
//   --fetch                                                 FetchText: print the lines
// Prints "status: CODE TEXT" and the body; exits 0 when the request went out, 1 when not, 2 on misuse.
#include <cstdio>
#include <cstring>
#include <string>

#include "net/HttpClient.h"
#include "net/NetHelpers.h"

namespace {

void SplitHostPort(const std::string& text, AnsiString& host, AnsiString& port) {
    host = net::TextBefore(text, ":");
    port = net::TextAfter(text, ":");
}

int Usage() {
    std::fprintf(stderr, "usage: httpget [--socks H:P] [--socks-user U] [--socks-password P] [--proxy H:P] "
                         "[--proxy-user U] [--proxy-password P] [--tunnel H:P] [--ca FILE] [--timeout MS] [--fetch] URL\n");
    return 2;
}

// The CONNECT tunnel of the socket layer on its own, for plain HTTP behind a proxy.
int TunnelGet(const std::string& proxy, const THttpClient& settings, const std::string& url, int timeoutMs) {
    net::UrlParts parts;
    AnsiString target = net::SplitUrl(url, parts);
    TTcpSocket socket;
    SplitHostPort(proxy, socket.TunnelProxy, socket.TunnelPort);
    socket.TunnelUser = settings.ProxyUserName;
    socket.TunnelPassword = settings.ProxyPassword;
    socket.Connect(parts.host, parts.port);
    if (socket.ErrorCode != 0) {
        std::fprintf(stderr, "tunnel: %d %s\n", socket.ErrorCode, TBlockingSocket::GetErrorDesc(socket.ErrorCode).c_str());
        return 1;
    }
    socket.SendText("GET " + target + " HTTP/1.0\r\nHost: " + parts.host + ":" + parts.port + "\r\n\r\n");
    std::string reply;
    do reply += socket.ReceiveAvailable(timeoutMs);
    while (socket.ErrorCode == 0);
    std::fwrite(reply.data(), 1, reply.size(), stdout);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    THttpClient client;
    std::string url, tunnel;
    int timeoutMs = 10000;
    bool fetch = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&]() -> std::string { return i + 1 < argc ? argv[++i] : ""; };
        if (arg == "--socks") SplitHostPort(value(), client.Socket.SocksServer, client.Socket.SocksPort);
        else if (arg == "--socks-user") client.Socket.SocksUserName = value();
        else if (arg == "--socks-password") client.Socket.SocksPassword = value();
        else if (arg == "--proxy") SplitHostPort(value(), client.ProxyServer, client.ProxyServerPort);
        else if (arg == "--proxy-user") client.ProxyUserName = value();
        else if (arg == "--proxy-password") client.ProxyPassword = value();
        else if (arg == "--tunnel") tunnel = value();
        else if (arg == "--ca") client.Socket.TlsCaFile = value();
        else if (arg == "--timeout") timeoutMs = std::atoi(value().c_str());
        else if (arg == "--fetch") fetch = true;
        else if (arg.rfind("--", 0) == 0 || !url.empty()) return Usage();
        else url = arg;
    }
    if (url.empty()) return Usage();
    if (!tunnel.empty()) return TunnelGet(tunnel, client, url, timeoutMs);
    if (fetch) {
        std::vector<AnsiString> lines;
        bool sent = FetchText(url, lines, timeoutMs);
        for (const AnsiString& line : lines) std::printf("%s\n", line.c_str());
        return sent ? 0 : 1;
    }
    client.TimeoutMs = timeoutMs;
    if (!client.Execute("GET", url)) {
        std::fprintf(stderr, "failed: %d %s\n", client.Socket.ErrorCode,
                     TBlockingSocket::GetErrorDesc(client.Socket.ErrorCode).c_str());
        return 1;
    }
    std::printf("status: %d %s\n", client.StatusCode, client.StatusText.c_str());
    std::fwrite(client.Body.data(), 1, client.Body.size(), stdout);
    return 0;
}
