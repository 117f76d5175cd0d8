#include "engine/name_resolver.h"

#include <arpa/inet.h>
#include <netdb.h>

namespace velmora {

NameResolver::NameResolver() : thread_([this] { Run(); }) {}

NameResolver::~NameResolver() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

std::optional<in_addr> NameResolver::Lookup(const std::string& name) {
    in_addr numeric{};
    if (inet_pton(AF_INET, name.c_str(), &numeric) == 1) return numeric;
    std::lock_guard lock(mutex_);
    const auto it = names_.find(name);
    if (it != names_.end())
        return it->second.state == State::Resolved ? std::optional(it->second.address)
                                                   : std::nullopt;
    names_.emplace(name, Entry{});
    queue_.push_back(name);
    wake_.notify_one();
    return std::nullopt;
}

void NameResolver::Run() {
    std::unique_lock lock(mutex_);
    while (true) {
        wake_.wait(lock, [this] { return stop_ || !queue_.empty(); });
        if (stop_) return;
        const std::string name = queue_.front();
        queue_.pop_front();
        lock.unlock();
        addrinfo hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_DGRAM;
        addrinfo* found = nullptr;
        const int rc = getaddrinfo(name.c_str(), nullptr, &hints, &found);
        std::optional<in_addr> address;
        if (rc == 0 && found != nullptr && found->ai_addr != nullptr)
            address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
        if (found != nullptr) freeaddrinfo(found);
        lock.lock();
        if (address)
            names_[name] = Entry{State::Resolved, *address};
        else
            names_.erase(name);
    }
}

}  // namespace velmora
