// The response reader on arbitrary server bytes: THttpClient::Execute over a socket pair whose other end
// plays the server, with the limits FetchText uses. No crash, no hang, bounded body.
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <thread>

#include "net/HttpClient.h"

namespace {

void Serve(int fd, const std::uint8_t* data, std::size_t size) {
    // Read the request head first, as a server would, then answer and hang up.
    std::string head;
    char buffer[4096];
    while (head.find("\r\n\r\n") == std::string::npos) {
        ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
        if (got <= 0) break;
        head.append(buffer, static_cast<std::size_t>(got));
    }
    std::size_t done = 0;
    while (done < size) {
        ssize_t sent = ::send(fd, data + done, size - done, MSG_NOSIGNAL);
        if (sent <= 0) break;
        done += static_cast<std::size_t>(sent);
    }
    ::close(fd);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0) return 0;

    // The first byte picks the request's shape; the rest is the reply.
    std::uint8_t shape = data[0];
    THttpClient client;
    client.TimeoutMs = 200;
    client.DeadlineMs = 2000;
    client.MaxBodySize = 64 << 10;
    client.MaxHeaderSize = 64 << 10;
    client.Socket.LineLimit = 4096;
    client.HttpVersion = shape & 1 ? "1.1" : "1.0";
    const char* method = shape & 2 ? "HEAD" : "GET";
    // An open connection to the URL's host is reused, so the pair stands in for the server.
    client.LiveHost = "fuzz.example";
    client.LivePort = "80";
    client.Socket.Handle = pair[0];

    std::thread server(Serve, pair[1], data + 1, size - 1);
    client.Execute(method, "http://fuzz.example/stat");
    client.Socket.Close();
    server.join();

    if (static_cast<std::int64_t>(client.Body.size()) > client.MaxBodySize) std::abort();
    std::vector<AnsiString> lines;
    SplitTextLines(client.Body, lines);
    return 0;
}
