#pragma once
// Host names for the car sockets, resolved on a thread of their own: a lookup can take
// seconds, and the console's thread must never wait for one. Until a name resolves, or if it
// never does, Lookup has no address and the datagram is dropped rather than sent elsewhere;
// a failed name is looked up again on a later send.
#include <netinet/in.h>

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace velmora {

class NameResolver {
  public:
    NameResolver();
    ~NameResolver();
    NameResolver(const NameResolver&) = delete;
    NameResolver& operator=(const NameResolver&) = delete;

    // The IPv4 address of `name` (numeric text at once); otherwise starts a lookup, once.
    std::optional<in_addr> Lookup(const std::string& name);

  private:
    void Run();

    enum class State { Pending, Resolved };
    struct Entry {
        State state = State::Pending;
        in_addr address{};
    };
    std::mutex mutex_;
    std::condition_variable wake_;
    std::map<std::string, Entry> names_;
    std::deque<std::string> queue_;
    bool stop_ = false;
    std::thread thread_;
};

}  // namespace velmora
