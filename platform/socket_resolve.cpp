// Name resolution under a time limit, the same on both targets: the system resolver cannot be
// interrupted, and with silent name servers its own retries take far longer than any limit the caller
// gives. The lookup runs on a worker thread; when the time runs out the caller goes on and the worker is
// left to finish by itself, dropping its answer.
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/socket.h"

namespace platform {
namespace {

struct Lookup {
    std::mutex lock;
    std::condition_variable done;
    bool finished = false;
    int result = 0;
    std::vector<std::uint32_t> addresses;
};

void RunLookup(std::shared_ptr<Lookup> lookup, std::string name) {
    // The worker holds the socket library itself: the caller may release its share before the answer comes.
    SocketStartupData startup;
    bool started = SocketStartup(startup) == 0;
    std::vector<std::uint32_t> addresses;
    int result = ResolveHostV4(name, addresses);
    if (started) SocketCleanup();
    std::lock_guard<std::mutex> guard(lookup->lock);
    lookup->result = result;
    lookup->addresses = std::move(addresses);
    lookup->finished = true;
    lookup->done.notify_one();
}

}  // namespace

int ResolveHostV4Within(const std::string& name, std::vector<std::uint32_t>& addresses, int timeoutMs) {
    if (timeoutMs < 0) return ResolveHostV4(name, addresses);
    addresses.clear();
    if (timeoutMs == 0) return kWsaTimedOut;
    auto lookup = std::make_shared<Lookup>();
    try {
        std::thread(RunLookup, lookup, name).detach();
    } catch (const std::system_error&) {
        return 11002;  // no thread to spare: as a resolver that cannot answer now
    }
    std::unique_lock<std::mutex> guard(lookup->lock);
    if (!lookup->done.wait_for(guard, std::chrono::milliseconds(timeoutMs), [&] { return lookup->finished; }))
        return kWsaTimedOut;
    addresses = std::move(lookup->addresses);
    return lookup->result;
}

}  // namespace platform
