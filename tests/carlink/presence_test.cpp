#include <gtest/gtest.h>

#include "carlink/presence.h"
#include "link_rig.h"

namespace velmora::test {
namespace {

struct PresenceRig : FakeConsole {
    PresenceRig() {
        panel(0).Lbl_IP.caption = "127.0.0.5";
        panel(1).Lbl_IP.caption = "127.0.0.2";
        panel(2).Lbl_IP.caption = "127.0.0.5";
        EXPECT_EQ(StartPresenceResponder(console), "");
    }
    // The replies sent for one query, decoded.
    std::vector<std::string> Ask(std::string_view utf8) {
        net.sent.clear();
        net.Deliver(SocketId::Presence, Utf8ToCp932(utf8));
        std::vector<std::string> out;
        for (const auto& s : net.sent)
            out.push_back(s.host + ":" + std::to_string(s.port) + ":" + Cp932ToUtf8(s.bytes));
        return out;
    }
};

TEST(Presence, AnswersExactMatchesAtTheNamedAddressWithoutItsLineEnd) {
    PresenceRig f;
    EXPECT_EQ(f.net.boundPorts[SocketId::Presence], 7001);
    const std::pair<std::string, std::string> cases[] = {
        {"127.0.0.2", "127.0.0.2:7002:２号車"},
        {"127.0.0.5", "127.0.0.5:7002:１号車"},  // the first of two equal slots
        {"127.0.0.9", "127.0.0.9:7002:未登録"},
        // Blanks and line ends after an address: no match, answered where the address says.
        {"127.0.0.2 ", "127.0.0.2:7002:未登録"},
        {"127.0.0.2\r\n", "127.0.0.2:7002:未登録"},
        {"127.0.0.9\n", "127.0.0.9:7002:未登録"},
        {"127.0.0.5 \t \r", "127.0.0.5:7002:未登録"},
    };
    for (const auto& [query, reply] : cases)
        EXPECT_EQ(f.Ask(query), std::vector<std::string>{reply}) << query;
    EXPECT_TRUE(f.net.IsBound(SocketId::Presence));  // stays bound across a reply
}

TEST(Presence, QueriesThatCannotNameAHostAreDropped) {
    PresenceRig f;
    f.panel(1).Lbl_IP.caption = "";  // an empty query must not match an empty slot
    for (const std::string& q :
         {std::string(), std::string("\r\n"), std::string(" "), std::string("127.0.\n0.2"),
          std::string("127.0.0.1\0", 10), std::string(300, '1')})
        EXPECT_TRUE(f.Ask(q).empty()) << q.size();
}

TEST(Presence, SilentDuringARunAndAfterStop) {
    PresenceRig f;
    f.st().main.Btn_Start.caption = "Stop";
    EXPECT_TRUE(f.Ask("127.0.0.2").empty());
    StopPresenceResponder(f.console);
    EXPECT_FALSE(f.net.IsBound(SocketId::Presence));
}

}  // namespace
}  // namespace velmora::test
