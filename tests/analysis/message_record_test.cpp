#include <gtest/gtest.h>

#include "analysis/message_record.h"
#include "carlink/laps.h"
#include "carlink/link_rig.h"
#include "core/encoding.h"

namespace velmora {
namespace {

TEST(SplitMessageRecord, TheKeptOffsetSplitsEvenWhenBothSidesHoldTheSeparator) {
    struct Case {
        const char* record;
        const char* split;
        const char* sent;
        const char* received;
    } cases[] = {
        {", ", "0", "", ""},
        {"ＢＯＸ, OK", "9", "ＢＯＸ", "OK"},
        {" [ pit, now ] , a, b", "14", " [ pit, now ] ", "a, b"},
        {" [ pit, now ] , a, b", "", " [ pit", "now ] , a, b"},     // no offset: first ", "
        {" [ pit, now ] , a, b", "3", " [ pit", "now ] , a, b"},    // offset not at ", "
        {" [ pit, now ] , a, b", "999", " [ pit", "now ] , a, b"},  // past the end
        {" [ pit, now ] , a, b", "x14", " [ pit", "now ] , a, b"},  // not a number
        {"", "", "", ""},                                           // a row never recorded
        {"no separator", "", "no separator", ""},
    };
    for (const Case& k : cases) {
        const MessageRecord m = SplitMessageRecord(k.record, k.split);
        EXPECT_EQ(m.sent, k.sent) << k.record << " / " << k.split;
        EXPECT_EQ(m.received, k.received) << k.record << " / " << k.split;
    }
}

TEST(SplitMessageRecord, ALapRecordedThroughTheLinkSplitsBackIntoWhatWentEachWay) {
    test::LinkRig f({0});
    // An automatic message typed into the settings file by hand keeps its comma.
    f.console.settings.AutoMessage3 = "pit, now";
    PanelState& p = f.panel(0);
    p.Chk_ChgCnter.checked = true;
    p.Txt_ZanRunCnt.text = "3";
    p.Txt_OutMess.text = "BOX, 2";
    p.Cmb_Driver.text = "山田";
    // The silence step opened lap 1; the car comes back still echoing 0.
    f.runner(0).LapCount = 1;
    f.runner(0).AwayFlag = true;
    p.Spd_LapTime.SetRowCount(1);
    f.AtTick(61234);
    f.Car(0, "000給油, OK");

    const Grid& g = p.Spd_LapTime;
    ASSERT_EQ(g.Cell(1, 4), "61234");
    const MessageRecord m = SplitMessageRecord(g.Cell(1, 5), g.Cell(1, kLapMessageSplitColumn));
    EXPECT_EQ(m.sent, "ＢＯＸ，　２ [ pit, now ] ");
    EXPECT_EQ(m.received, "給油, OK");
    EXPECT_EQ(g.Cell(1, 5), m.sent + ", " + m.received);  // the record itself is unchanged
}

}  // namespace
}  // namespace velmora
