#include "teamview/request_gate.h"

#include <gtest/gtest.h>

#include <set>

#include "teamview/event_stream.h"
#include "teamview/view_key.h"

namespace velmora {
namespace {

constexpr std::string_view kKey = "AAECAwQFBgcICQoLDA0ODw";

TEST(TeamRequest, WithoutTheOneRightKeyEveryRequestIsForbiddenWhateverItAsks) {
    const std::string k = "k=" + std::string(kKey);
    struct Case {
        const char* method;
        std::string target;
        TeamRequest want;
    };
    const Case cases[] = {
        {"GET", "/?" + k, TeamRequest::Page},
        {"GET", "/api/state?" + k, TeamRequest::State},
        {"GET", "/api/events?x=1&" + k + "&y", TeamRequest::Events},
        {"GET", "/api/state?" + k + "#frag", TeamRequest::State},
        {"GET", "/favicon.ico?" + k, TeamRequest::NotFound},
        {"GET", "/api/state/?" + k, TeamRequest::NotFound},
        {"POST", "/api/state?" + k, TeamRequest::MethodNotAllowed},
        {"DELETE", "/?" + k, TeamRequest::MethodNotAllowed},
        {"get", "/?" + k, TeamRequest::MethodNotAllowed},
        // Everything below lacks the right key: 403, even for paths that do not exist.
        {"GET", "/", TeamRequest::Forbidden},
        {"GET", "/api/state", TeamRequest::Forbidden},
        {"GET", "/favicon.ico", TeamRequest::Forbidden},
        {"POST", "/api/state", TeamRequest::Forbidden},
        {"GET", "/?k=", TeamRequest::Forbidden},
        {"GET", "/?k", TeamRequest::Forbidden},
        {"GET", "/?K=" + std::string(kKey), TeamRequest::Forbidden},
        {"GET", "/?" + k + "&" + k, TeamRequest::Forbidden},                // two keys
        {"GET", "/?" + k + "A", TeamRequest::Forbidden},                    // longer
        {"GET", "/?" + k.substr(0, k.size() - 1), TeamRequest::Forbidden},  // shorter
        {"GET", "/?k=AAECAwQFBgcICQoLDA0ODx", TeamRequest::Forbidden},      // last char differs
        {"GET", "/?k=%41AECAwQFBgcICQoLDA0ODw", TeamRequest::Forbidden},    // encoded otherwise
        {"GET", "/?kk=" + std::string(kKey), TeamRequest::Forbidden},
        {"GET", "/" + k, TeamRequest::Forbidden},
        {"GET", "", TeamRequest::Forbidden},
        {"GET", "?" + k.substr(1), TeamRequest::Forbidden},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ClassifyTeamRequest(c.method, c.target, kKey), c.want)
            << c.method << " " << c.target;
    // A view without a key lets nobody in, not even with an empty key.
    EXPECT_EQ(ClassifyTeamRequest("GET", "/?k=", ""), TeamRequest::Forbidden);
    EXPECT_EQ(ClassifyTeamRequest("GET", "/", ""), TeamRequest::Forbidden);
}

TEST(TeamRequest, KeysCompareByEveryByteAndLength) {
    const std::tuple<std::string_view, std::string_view, bool> cases[] = {
        {"", "", true},       {"abc", "abc", true},  {"abc", "abd", false},
        {"abc", "ab", false}, {"ab", "abc", false},  {"abc", "", false},
        {"", "abc", false},   {"xbc", "abc", false}, {std::string_view("a\0c", 3), "a", false},
    };
    for (const auto& [a, b, equal] : cases)
        EXPECT_EQ(ConstantTimeEqual(a, b), equal) << a << "|" << b;
}

TEST(ViewKey, IsAHundredAndTwentyEightRandomBitsInUrlSafeText) {
    // RFC 4648 test vectors, URL-safe alphabet and no padding.
    const std::pair<std::string, std::string> vectors[] = {
        {"", ""},           {"f", "Zg"},          {"fo", "Zm8"},          {"foo", "Zm9v"},
        {"foob", "Zm9vYg"}, {"fooba", "Zm9vYmE"}, {"foobar", "Zm9vYmFy"}, {"\xfb\xff\xbf", "-_-_"},
    };
    for (const auto& [bytes, text] : vectors)
        EXPECT_EQ(Base64Url(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()),
                  text);

    std::set<std::string> keys;
    for (int n = 0; n < 1000; ++n) {
        const std::string key = NewViewKey();
        EXPECT_TRUE(IsViewKey(key)) << key;
        keys.insert(key);
    }
    EXPECT_EQ(keys.size(), 1000u);
    for (std::string_view bad :
         {"", "AAECAwQFBgcICQoLDA0OD", "AAECAwQFBgcICQoLDA0ODwA", "AAECAwQFBgcICQoLDA0OD+",
          "AAECAwQFBgcICQoLDA0OD/", "AAECAwQFBgcICQoLDA0ODx", "AAECAwQFBgcICQoLDA0OD="})
        EXPECT_FALSE(IsViewKey(bad)) << bad;
    EXPECT_TRUE(IsViewKey(kKey));
}

TEST(ServerSentEvents, EveryLineOfTheDataStaysInsideItsEvent) {
    const std::pair<std::string_view, std::string> cases[] = {
        {"{}", "event: state\ndata: {}\n\n"},
        {"", "event: state\ndata: \n\n"},
        {"a\nb", "event: state\ndata: a\ndata: b\n\n"},
        {"a\r\nb\rc\n", "event: state\ndata: a\ndata: b\ndata: c\ndata: \n\n"},
        {"\n\nevent: x", "event: state\ndata: \ndata: \ndata: event: x\n\n"},
    };
    for (const auto& [data, framed] : cases) EXPECT_EQ(SseEvent("state", data), framed);
    EXPECT_EQ(SseEvent("st\nate", "1"), "event: st\ndata: 1\n\n");
    EXPECT_EQ(SseRetry(1000), "retry: 1000\n\n");
}

}  // namespace
}  // namespace velmora
