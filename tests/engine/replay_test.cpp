// A race played again from its journal's traffic record gives the laps the console recorded,
// to the tick: the record holds every datagram with its arrival and the run's settings.
#include <gtest/gtest.h>

#include "core/temp_folder.h"
#include "engine/replay.h"
#include "engine_rig.h"
#include "journal/journal_reader.h"
#include "journal/journal_writer.h"

namespace velmora::test {
namespace {

TEST(Replay, TheRecordGivesEveryLapTheCarLinkRecordedToTheTick) {
    TempFolder dir;
    const std::string path = dir.File("VelmoraJournal.db");
    {
        EngineRig r({0, 2});
        JournalWriter writer(path, nullptr, r.wall, r.mono);
        writer.Start([&r](JournalTicket) { r.engine->Wake(); });
        r.engine->SetJournal(&writer);
        r.Start();
        // Three passes of three datagrams per car, the rounds late and irregular, so that only
        // the arrivals can give the laps.
        std::int64_t late = 0;
        for (int lap = 0; lap < 4; ++lap) {
            for (int car : {0, 2}) {
                const std::int64_t pass = 200 + lap * 12'345 + car * 777;
                for (int k = 0; k < 3; ++k) {
                    const std::string echo = "00" + std::to_string(lap);
                    r.Car(car, echo, pass + k * 100);
                    r.RoundAt(pass + k * 100 + (late = (late * 7 + 13) % 300));
                }
            }
        }
        r.RoundAt(70'000);
        r.dialogs.answers.push_back(MessageAnswer::Yes);
        r.engine->Post([](Console& c) { StopMeasurement(c); });
        r.RoundAt(70'100);
        writer.Drain();
        r.engine->SetJournal(nullptr);
    }
    std::vector<TrafficRecord> traffic;
    std::vector<JournaledLap> recorded;
    std::string error;
    ASSERT_TRUE(ReadJournalTraffic(path, traffic, &error)) << error;
    ASSERT_TRUE(ReadJournalLaps(path, recorded, &error)) << error;
    const std::vector<ReplayedRun> runs = ReplayTraffic(traffic);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].setup.cars, (std::vector<int>{0, 2}));
    EXPECT_EQ(runs[0].datagrams, 24u);
    std::vector<std::string> replayed, journaled;
    for (const ReplayedLap& l : runs[0].laps)
        replayed.push_back(std::to_string(l.slot) + "/" + std::to_string(l.row) + "=" +
                           std::to_string(l.ticks));
    for (const JournaledLap& l : recorded)
        if (!l.ticks.empty())
            journaled.push_back(std::to_string(l.slot) + "/" + std::to_string(l.row) + "=" +
                                l.ticks);
    EXPECT_EQ(replayed.size(), 6u);
    EXPECT_EQ(replayed, journaled);
}

}  // namespace
}  // namespace velmora::test
