// The protocol's reader: every kind round-trips, and a message of the wrong
// length, kind or value is refused with a line saying what was wrong; a
// session closes on pass numbers outside its window.
#include <gtest/gtest.h>

#include "net/memory_link.h"
#include "net/protocol.h"
#include "net/session.h"
#include "tests/net/toy_game.h"

namespace {

std::vector<uint8_t> bytes(std::initializer_list<int> list) {
    std::vector<uint8_t> v;
    for (int b : list) v.push_back(uint8_t(b));
    return v;
}

TEST(Protocol, EveryKindRoundTrips) {
    NetMessage m;
    m.kind = NetInputs;
    m.pass = 70000;
    m.senderPass = 69990;
    m.advantage = -3;
    m.count = 3;
    m.inputs[0] = {NetKeyLeft | NetKeyAction, NetFlowSpace};
    m.inputs[2] = {NetKeyDown, NetFlowKey};
    std::vector<uint8_t> wire = netEncode(m);
    EXPECT_EQ(wire.size(), 11u + 2 * 3);
    NetMessage back;
    std::string why;
    ASSERT_TRUE(netDecode(wire.data(), wire.size(), back, why)) << why;
    EXPECT_EQ(back.pass, 70000u);
    EXPECT_EQ(back.advantage, -3);
    EXPECT_EQ(back.inputs[2], m.inputs[2]);
    for (uint8_t kind : {NetHello, NetStart, NetHash, NetPing, NetPong, NetLeave, NetDesync}) {
        NetMessage k;
        k.kind = kind;
        k.hello.build = 0x0123456789ABCDEFull;
        k.hash = 42;
        k.state = {1, 2, 3};
        wire = netEncode(k);
        ASSERT_TRUE(netDecode(wire.data(), wire.size(), back, why)) << int(kind) << why;
        EXPECT_EQ(back.kind, kind);
    }
    EXPECT_EQ(back.state, std::vector<uint8_t>({1, 2, 3}));
}

TEST(Protocol, BrokenMessagesAreRefusedSayingWhy) {
    struct Case {
        std::vector<uint8_t> wire;
        const char* why;
    } cases[] = {
        {{}, "a message of 0 bytes"},
        {bytes({0x00}), "unknown kind 0x00"},
        {bytes({0x40, 1}), "unknown kind 0x40"},
        {bytes({0x01, 1, 0}), "a HELLO of 3 bytes"},
        {bytes({0x04, 1, 2, 3}), "with 3 bytes, not 12"},
        {bytes({0x07, 9, 0, 0, 0, 0}), "unknown reason"},
        {bytes({0x07, 1}), "with 1 bytes, not 5"},
        {bytes({0x03, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0x20, 0}), "an input out of range"},
        {bytes({0x03, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 3}), "an input out of range"},
        {bytes({0x03, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0}), "2 inputs in 2 bytes"},
        {bytes({0x03, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), "0 inputs"},
        {bytes({0x02, 0, 0, 0, 0, 5, 0, 1, 2}), "a state of 5 bytes in 2"},
        {bytes({0x08, 0, 0, 0, 0, 0, 0}), "a state of 0 bytes"},
    };
    for (const Case& c : cases) {
        NetMessage m;
        std::string why;
        EXPECT_FALSE(netDecode(c.wire.data(), c.wire.size(), m, why)) << c.why;
        EXPECT_NE(why.find(c.why), std::string::npos) << why;
    }
}

TEST(Protocol, HelloOfAnotherVersionOrBuildNamesBoth) {
    NetHelloBody mine{1, 0xAAAAull, NetRoleHost}, theirs = mine;
    EXPECT_EQ(netHelloMismatch(mine, theirs), "");
    theirs.version = 2;
    EXPECT_EQ(netHelloMismatch(mine, theirs),
              "the other player speaks protocol version 2, this game version 1");
    theirs = mine;
    theirs.build = 0xBBBBull;
    EXPECT_EQ(netHelloMismatch(mine, theirs), "the other player runs game build "
                                              "000000000000bbbb, this game build 000000000000aaaa");
}

// A session fed one message by the other end of a link, then stepped.
std::string failureAfter(const NetMessage& m) {
    uint32_t clock = 0;
    auto [here, there] = netMemoryLinkPair({}, 1, &clock);
    ToyGame game;
    NetSession s;
    toySessionStart(s, game, here.get());
    netSessionStep(s, {}, 0);
    there->send(netEncode(m));
    netSessionPoll(s, 1);
    return s.status == NetStatus::Failed ? s.message : "";
}

TEST(Protocol, PassNumbersOutsideTheWindowCloseTheLink) {
    NetMessage m;
    m.kind = NetInputs;
    m.count = 1;
    m.pass = 5; // the session lacks pass 0 first
    EXPECT_NE(failureAfter(m).find("inputs for pass 5, not for pass 0"), std::string::npos);
    m.pass = 0;
    m.count = 32;
    EXPECT_EQ(failureAfter(m), "");
    m.kind = NetHash;
    m.pass = 31;
    EXPECT_NE(failureAfter(m).find("a hash for pass 31"), std::string::npos);
    m.pass = 3000;
    EXPECT_NE(failureAfter(m).find("a hash for pass 3000"), std::string::npos);
    m.kind = NetStart;
    m.state = {1};
    EXPECT_NE(failureAfter(m).find("kind 2 during the match"), std::string::npos);
}

} // namespace
