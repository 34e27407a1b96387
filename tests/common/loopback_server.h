#pragma once
// A scripted TCP server on 127.0.0.1 in a thread of the test: it accepts connections one after another and
// runs the test's handler on each, which reads and writes raw bytes. What each connection received before
// the handler returned is kept for byte-exact checks.
#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/socket.h"

namespace nettest {

using Clock = std::chrono::steady_clock;

class Connection {
public:
    Connection(platform::SocketHandle handle, const std::atomic<bool>& stopping) : handle_(handle), stopping_(stopping) {}

    // Reads until the bytes received from offset on contain marker; false on time-out or close.
    bool ReadUntil(const std::string& marker, int timeoutMs = 3000, std::size_t from = 0) {
        auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
        while (received_.find(marker, from) == std::string::npos)
            if (!ReadSome(end)) return false;
        return true;
    }
    bool ReadHead(int timeoutMs = 3000) { return ReadUntil("\r\n\r\n", timeoutMs); }
    // Reads until at least count bytes have come in total.
    bool ReadBytes(std::size_t count) {
        auto end = Clock::now() + std::chrono::seconds(3);
        while (received_.size() < count)
            if (!ReadSome(end)) return false;
        return true;
    }
    // True when the peer closes within the time.
    bool WaitClosed(int timeoutMs = 3000) {
        auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
        while (ReadSome(end)) {
        }
        return closed_;
    }
    bool Send(const std::string& bytes) {
        for (std::size_t done = 0; done < bytes.size();) {
            int sent = platform::SocketSend(handle_, bytes.data() + done, static_cast<int>(bytes.size() - done));
            if (sent <= 0) return false;
            done += static_cast<std::size_t>(sent);
        }
        return true;
    }
    void Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
    // An abortive close: the client sees a reset.
    void Reset() {
        platform::SocketSetOption(handle_, platform::SocketOption::Linger, 0);
        platform::SocketClose(handle_);
        handle_ = platform::kNoSocket;
    }
    bool Stopping() const { return stopping_; }
    const std::string& Received() const { return received_; }
    platform::SocketHandle Handle() const { return handle_; }

private:
    bool ReadSome(Clock::time_point end) {
        if (handle_ == platform::kNoSocket || closed_) return false;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
        if (left <= 0 || platform::SocketWaitReadable(handle_, static_cast<int>(left)) <= 0) return false;
        char buffer[65536];
        int got = platform::SocketReceive(handle_, buffer, sizeof buffer);
        if (got <= 0) return !(closed_ = true);
        received_.append(buffer, static_cast<std::size_t>(got));
        return true;
    }

    platform::SocketHandle handle_;
    const std::atomic<bool>& stopping_;
    std::string received_;
    bool closed_ = false;
};

class LoopbackServer {
public:
    using Handler = std::function<void(Connection&)>;

    explicit LoopbackServer(Handler handler) : handler_(std::move(handler)) {
        platform::SocketStartup(startup_);
        listener_ = platform::SocketOpen(2, 1, 6);
        platform::SockAddrIn address;
        address.family = 2;
        const unsigned char loopback[4] = {127, 0, 0, 1};
        std::memcpy(&address.address, loopback, 4);
        platform::SocketBind(listener_, address);
        platform::SocketListen(listener_, 16);
        platform::SocketLocalName(listener_, address);
        port_ = (address.port & 0xFF) << 8 | address.port >> 8;
        thread_ = std::thread([this] { Run(); });
    }
    ~LoopbackServer() {
        stopping_ = true;
        thread_.join();
        platform::SocketClose(listener_);
        platform::SocketCleanup();
    }

    std::string Port() const { return std::to_string(port_); }
    std::string Url(const std::string& target = "/") const { return "http://127.0.0.1:" + Port() + target; }
    // What each finished connection received, in order of acceptance; waits up to 3 s for `connections`.
    std::vector<std::string> Received(std::size_t connections = 1) {
        for (int i = 0; i < 300; ++i) {
            {
                std::lock_guard<std::mutex> guard(lock_);
                if (received_.size() >= connections) return received_;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        std::lock_guard<std::mutex> guard(lock_);
        return received_;
    }
    int Connections() const { return accepted_; }

private:
    void Run() {
        while (!stopping_) {
            if (platform::SocketWaitReadable(listener_, 50) <= 0) continue;
            platform::SocketHandle client = platform::SocketAccept(listener_, nullptr);
            if (client == platform::kNoSocket) continue;
            ++accepted_;
            Connection connection(client, stopping_);
            handler_(connection);
            if (connection.Handle() != platform::kNoSocket) platform::SocketClose(connection.Handle());
            std::lock_guard<std::mutex> guard(lock_);
            received_.push_back(connection.Received());
        }
    }

    Handler handler_;
    platform::SocketStartupData startup_;
    platform::SocketHandle listener_ = platform::kNoSocket;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> accepted_{0};
    std::mutex lock_;
    std::vector<std::string> received_;
    std::thread thread_;
};

// Milliseconds since start, for time bounds.
class Stopwatch {
public:
    long long Ms() const {
        return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start_).count();
    }

private:
    Clock::time_point start_ = Clock::now();
};

// A port nobody listens on: one a listener had a moment ago.
inline std::string ClosedPort() {
    LoopbackServer gone([](Connection&) {});
    return gone.Port();
}

}  // namespace nettest
