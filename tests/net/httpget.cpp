// httpget: one GET with THttpClient, for the end-to-end scripts.
//   httpget [--socks H:P [--socks-user U --socks-password P]] [--proxy H:P [--proxy-user U --proxy-password P]]
//           [--tunnel H:P] [--ca FILE] [--timeout MS] [--fetch] URL
// --tunnel: a raw CONNECT tunnel (with the proxy user), then a plain HTTP/1.0 GET; --ca: trust the roots in
// FILE for https; --timeout: each wait (default 10000); --fetch: FetchText, printing the lines.
// Prints "status: CODE TEXT" and the body; exits 0 when the request went out, 1 when not, 2 on misuse.
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "net/HttpClient.h"
#include "net/NetHelpers.h"

namespace {

void SplitHostPort(const std::string& text, AnsiString& host, AnsiString& port) {
    host = net::TextBefore(text, ":");
    port = net::TextAfter(text, ":");
}

int Failed(const char* what, int code) {
    std::fprintf(stderr, "%s: %d %s\n", what, code, TBlockingSocket::GetErrorDesc(code).c_str());
    return 1;
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
    if (socket.ErrorCode != 0) return Failed("tunnel", socket.ErrorCode);
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
    TTcpSocket& socket = client.Socket;
    std::map<std::string, std::string> options;
    const std::string valued = " --socks --socks-user --socks-password --proxy --proxy-user --proxy-password --tunnel --ca --timeout ";
    std::string url;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--fetch") options[arg] = "yes";
        else if (valued.find(" " + arg + " ") != std::string::npos && i + 1 < argc) options[arg] = argv[++i];
        else if (arg.rfind("--", 0) == 0 || !url.empty()) return std::fprintf(stderr, "usage: see httpget.cpp\n"), 2;
        else url = arg;
    }
    if (url.empty()) return std::fprintf(stderr, "usage: see httpget.cpp\n"), 2;
    const int timeoutMs = options.count("--timeout") ? std::atoi(options["--timeout"].c_str()) : 10000;
    if (options.count("--socks")) SplitHostPort(options["--socks"], socket.SocksServer, socket.SocksPort);
    if (options.count("--proxy")) SplitHostPort(options["--proxy"], client.ProxyServer, client.ProxyServerPort);
    socket.SocksUserName = options["--socks-user"];
    socket.SocksPassword = options["--socks-password"];
    client.ProxyUserName = options["--proxy-user"];
    client.ProxyPassword = options["--proxy-password"];
    socket.TlsCaFile = options["--ca"];
    if (options.count("--tunnel")) return TunnelGet(options["--tunnel"], client, url, timeoutMs);
    if (options.count("--fetch")) {
        std::vector<AnsiString> lines;
        const bool sent = FetchText(url, lines, timeoutMs);
        for (const AnsiString& line : lines) std::printf("%s\n", line.c_str());
        return sent ? 0 : 1;
    }
    client.TimeoutMs = timeoutMs;
    if (!client.Execute("GET", url)) return Failed("failed", socket.ErrorCode);
    std::printf("status: %d %s\n", client.StatusCode, client.StatusText.c_str());
    std::fwrite(client.Body.data(), 1, client.Body.size(), stdout);
    return 0;
}
