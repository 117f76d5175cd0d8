#pragma once
#include <array>
#include <cstdint>
#include <string>

namespace velmora {

inline constexpr int kSlotCount = 5;   // car slots in the data model (port plan reaches slot 4)
inline constexpr int kPanelCount = 3;  // car panels on the window: slot loops visit these
inline constexpr std::int32_t kNoLapTicks = 268435455;  // 0x0FFFFFFF: "no lap yet"

// Everything the host knows about the car in one slot. Tick values are TickCounter readings
// or differences of them. Only the fields marked are reset by StartMeasurement.
struct RunnerState {
    std::string LinkFlag;  // "N", or "C" until a reply has carried a lap correction
    std::int32_t CarEchoLap = 0;
    std::string RecvText;     // last datagram, decoded, whole
    std::string StatusBlock;  // 59 characters once a lap was recorded, else empty
    std::string AutoMessageText;
    std::string OutgoingMessage;
    std::string SentTypedMessage;  // the Txt_OutMess text the last reply carried
    std::string LastTold;       // what the last reply told the car beyond the clock (not journaled)
    std::int32_t LapCount = 0;  // reset by StartMeasurement
    std::int32_t LapStartTick = 0;  // reset by StartMeasurement for slots taking part
    std::int32_t LastHeardTick = 0;
    bool AwayFlag = false;    // reset by StartMeasurement
    bool HeardInRun = false;  // a datagram came since StartMeasurement (reset there)
    std::int32_t LastLapTicks = 0;
    std::string LastLapText;
    std::int32_t BestLapTicks = 0;
    std::int32_t BestLapNo = 0;
    std::string BestLapText;
    std::int32_t AverageLapTicks = 0;
    std::int32_t DriverBestTicks = 0;
    std::int32_t DriverBestLapNo = 0;
    std::int32_t DriverTotalTicks = 0;
    std::int32_t DriverLapCount = 0;
    std::int32_t DriverInfoRow = 0;
    float TankCapacity = 0.0f;  // litres
    float FuelEconomy = 0.0f;   // metres per litre
    float FuelLoaded = 0.0f;    // litres since the slot was set up
    std::string LapCellBackup;
    // The driver-change warning of the open stint (rules/stint_warning.h): the stint it
    // belongs to (the run, driver and start), the most urgent level sent for it and the
    // message the replies carry beside the automatic one; empty once it no longer holds.
    std::string ChangeWarningStint;
    std::int32_t ChangeWarningSent = 0;
    std::string ChangeWarningText;
};

using Runners = std::array<RunnerState, kSlotCount>;

}  // namespace velmora
