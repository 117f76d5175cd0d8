#pragma once
// A bound IPv4 UDP socket (POSIX) that sends one datagram at a time and waits for replies.
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmora::carsim {

class UdpSocket {
  public:
    UdpSocket() = default;
    ~UdpSocket();
    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;

    // Returns "" or the reason (e.g. "127.0.0.1:7012: Address already in use").
    std::string Bind(const std::string& address, std::uint16_t port);
    // Returns "" or the reason the datagram was not sent.
    std::string SendTo(const std::string& address, std::uint16_t port, std::string_view bytes);
    // Waits up to `timeout` for one datagram; nothing on timeout, on a signal, or on error.
    std::optional<std::string> Receive(std::chrono::milliseconds timeout);

  private:
    int fd_ = -1;
};

}  // namespace velmora::carsim
