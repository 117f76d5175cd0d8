// velmora-echo: the bare loopback reference for the car-link latency runs. Binds
// 127.0.0.1 on the given ports and sends every datagram straight back to its sender, with no
// event loop, no decoding and no allocation per datagram.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

volatile std::sig_atomic_t g_stop = 0;

void OnSignal(int) { g_stop = 1; }

int BindLoopback(int port) {
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0) return -1;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: velmora-echo PORT...   (binds 127.0.0.1 only)\n");
        return 2;
    }
    std::vector<pollfd> fds;
    for (int k = 1; k < argc; ++k) {
        const int port = std::atoi(argv[k]);
        const int fd = port > 0 && port < 65536 ? BindLoopback(port) : -1;
        if (fd < 0) {
            std::fprintf(stderr, "velmora-echo: cannot bind 127.0.0.1:%s: %s\n", argv[k],
                         std::strerror(errno));
            return 1;
        }
        fds.push_back({fd, POLLIN, 0});
    }
    std::signal(SIGTERM, OnSignal);
    std::signal(SIGINT, OnSignal);
    std::printf("echo ready\n");
    std::fflush(stdout);

    char buf[65536];
    unsigned long long echoed = 0;
    while (!g_stop) {
        if (poll(fds.data(), fds.size(), 200) <= 0) continue;
        for (pollfd& p : fds) {
            if (!(p.revents & POLLIN)) continue;
            // Drain without blocking, answering each datagram to whoever sent it.
            while (true) {
                sockaddr_in from{};
                socklen_t len = sizeof from;
                const ssize_t n = recvfrom(p.fd, buf, sizeof buf, MSG_DONTWAIT,
                                           reinterpret_cast<sockaddr*>(&from), &len);
                if (n < 0) break;
                sendto(p.fd, buf, static_cast<size_t>(n), 0, reinterpret_cast<sockaddr*>(&from),
                       len);
                ++echoed;
            }
        }
    }
    std::printf("echo echoed=%llu\n", echoed);
    for (pollfd& p : fds) close(p.fd);
    return 0;
}
