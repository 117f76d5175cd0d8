#include "udp_socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace velmora::carsim {
namespace {

std::optional<sockaddr_in> MakeAddress(const std::string& address, std::uint16_t port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    if (inet_pton(AF_INET, address.c_str(), &sa.sin_addr) != 1) return std::nullopt;
    return sa;
}

std::string Where(const std::string& address, std::uint16_t port) {
    return address + ":" + std::to_string(port);
}

}  // namespace

UdpSocket::~UdpSocket() {
    if (fd_ >= 0) ::close(fd_);
}

std::string UdpSocket::Bind(const std::string& address, std::uint16_t port) {
    auto sa = MakeAddress(address, port);
    if (!sa) return Where(address, port) + ": not an IPv4 address";
    if (fd_ < 0) fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0) return std::string("socket: ") + std::strerror(errno);
    // No SO_REUSEADDR: a second car on the same port must fail, not share it silently.
    if (::bind(fd_, reinterpret_cast<const sockaddr*>(&*sa), sizeof *sa) != 0)
        return Where(address, port) + ": " + std::strerror(errno);
    return {};
}

std::string UdpSocket::SendTo(const std::string& address, std::uint16_t port,
                              std::string_view bytes) {
    auto sa = MakeAddress(address, port);
    if (!sa) return Where(address, port) + ": not an IPv4 address";
    if (fd_ < 0) return "socket not bound";
    const ssize_t n = ::sendto(fd_, bytes.data(), bytes.size(), 0,
                               reinterpret_cast<const sockaddr*>(&*sa), sizeof *sa);
    if (n < 0) return Where(address, port) + ": " + std::strerror(errno);
    return {};
}

std::optional<std::string> UdpSocket::Receive(std::chrono::milliseconds timeout) {
    if (fd_ < 0) return std::nullopt;
    pollfd p{fd_, POLLIN, 0};
    const int ms = static_cast<int>(std::max<long long>(0, timeout.count()));
    if (::poll(&p, 1, ms) <= 0 || !(p.revents & POLLIN)) return std::nullopt;
    std::vector<char> buf(65536);
    const ssize_t n = ::recv(fd_, buf.data(), buf.size(), 0);
    if (n < 0) return std::nullopt;
    return std::string(buf.data(), static_cast<std::size_t>(n));
}

}  // namespace velmora::carsim
