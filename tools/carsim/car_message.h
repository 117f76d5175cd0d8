#pragma once
// The car's side of the car link: the datagram it sends and the echo it keeps.
#include <cstdint>
#include <string>
#include <string_view>

#include "host_reply.h"

namespace velmora::carsim {

// Three decimal digits at least ("000", "007", "1234"); negative counts never occur on the
// link and are sent as "000".
std::string FormatLapEcho(std::int64_t lap);

// Lap echo then crew text, as the CP932 bytes of one datagram. `substitutions` counts the
// characters of `crewTextUtf8` that CP932 cannot carry.
std::string EncodeCarMessage(std::int64_t echoLap, std::string_view crewTextUtf8,
                             int* substitutions = nullptr);

// The lap count the car echoes: taken from the status block of the last reply that had
// one; 0 before any.
class EchoKeeper {
  public:
    void Adopt(const ReplyInfo& reply) {
        if (reply.status) lap_ = reply.status->lap;
    }
    std::int64_t Lap() const { return lap_; }

  private:
    std::int64_t lap_ = 0;
};

}  // namespace velmora::carsim
