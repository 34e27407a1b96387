// The HTTP client against libcurl on loopback, in one run:
//   small: many tiny "OK" replies, one connection each (requests per second);
//   large: one 100 MB body (MB/s).
// A ratio above 1 means ours is faster.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <curl/curl.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "net/HttpClient.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// One thread, one connection at a time: read the head, send the reply, close.
class Server {
public:
    explicit Server(std::string reply) : reply_(std::move(reply)) {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        int on = 1;
        ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(listener_, 128) != 0) {
            std::perror("bench server");
            std::exit(1);
        }
        socklen_t size = sizeof address;
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { Run(); });
    }
    ~Server() {
        stopping_ = true;
        ::shutdown(listener_, SHUT_RDWR);
        thread_.join();
        ::close(listener_);
    }
    std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/stat/uninstall.php?prj=Bench"; }

private:
    void Run() {
        std::string head;
        char buffer[4096];
        while (!stopping_) {
            int client = ::accept(listener_, nullptr, nullptr);
            if (client < 0) continue;
            head.clear();
            while (head.find("\r\n\r\n") == std::string::npos) {
                ssize_t got = ::recv(client, buffer, sizeof buffer, 0);
                if (got <= 0) break;
                head.append(buffer, static_cast<std::size_t>(got));
            }
            std::size_t done = 0;
            while (done < reply_.size()) {
                ssize_t sent = ::send(client, reply_.data() + done, reply_.size() - done, MSG_NOSIGNAL);
                if (sent <= 0) break;
                done += static_cast<std::size_t>(sent);
            }
            ::close(client);
        }
    }

    std::string reply_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

std::size_t CurlWrite(char* data, std::size_t size, std::size_t count, void* user) {
    static_cast<std::string*>(user)->append(data, size * count);
    return size * count;
}

// One request with a fresh easy handle, so that every request has its own connection, as FetchText does.
bool CurlGet(const std::string& url, std::string& body) {
    CURL* curl = curl_easy_init();
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_0);
    curl_easy_setopt(curl, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, CurlWrite);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
    curl_easy_setopt(curl, CURLOPT_PROXY, "");
    bool ok = curl_easy_perform(curl) == CURLE_OK;
    curl_easy_cleanup(curl);
    return ok;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    int requests = argc > 1 ? std::atoi(argv[1]) : 3000;
    int megabytes = argc > 2 ? std::atoi(argv[2]) : 100;
    const int rounds = 5;
    curl_global_init(CURL_GLOBAL_DEFAULT);

    // Small replies.
    std::vector<double> oursSmall, curlSmall;
    {
        Server server("HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 4\r\n\r\nOK\r\n");
        std::string url = server.Url();
        for (int round = 0; round < rounds; ++round) {
            auto start = Clock::now();
            for (int i = 0; i < requests; ++i) {
                std::vector<AnsiString> lines;
                if (!FetchText(url, lines) || lines.empty() || lines[0] != "OK") {
                    std::fprintf(stderr, "FetchText failed\n");
                    return 1;
                }
            }
            oursSmall.push_back(requests / Seconds(start));
            start = Clock::now();
            for (int i = 0; i < requests; ++i) {
                std::string body;
                if (!CurlGet(url, body) || body != "OK\r\n") {
                    std::fprintf(stderr, "curl failed\n");
                    return 1;
                }
            }
            curlSmall.push_back(requests / Seconds(start));
        }
    }

    // One large body.
    std::vector<double> oursLarge, curlLarge;
    {
        std::size_t size = static_cast<std::size_t>(megabytes) << 20;
        std::string reply = "HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
                            std::to_string(size) + "\r\n\r\n";
        reply.append(size, 'b');
        Server server(std::move(reply));
        std::string url = server.Url();
        for (int round = 0; round < rounds; ++round) {
            auto start = Clock::now();
            {
                THttpClient client;
                if (!client.Execute("GET", url) || client.Body.size() != size) {
                    std::fprintf(stderr, "THttpClient failed: %zu bytes\n", client.Body.size());
                    return 1;
                }
            }
            oursLarge.push_back(megabytes / Seconds(start));
            start = Clock::now();
            {
                std::string body;
                if (!CurlGet(url, body) || body.size() != size) {
                    std::fprintf(stderr, "curl failed\n");
                    return 1;
                }
            }
            curlLarge.push_back(megabytes / Seconds(start));
        }
    }
    curl_global_cleanup();

    double small = Median(oursSmall), smallCurl = Median(curlSmall);
    double large = Median(oursLarge), largeCurl = Median(curlLarge);
    std::printf("small replies (%d requests x %d rounds, median):  FetchText %.0f req/s, libcurl %.0f req/s, ratio %.2f\n",
                requests, rounds, small, smallCurl, small / smallCurl);
    std::printf("one %d MB body (%d rounds, median):               THttpClient %.0f MB/s, libcurl %.0f MB/s, ratio %.2f\n",
                megabytes, rounds, large, largeCurl, large / largeCurl);
    return 0;
}
