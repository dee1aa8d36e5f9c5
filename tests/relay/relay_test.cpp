// The relay's rooms without a network: a whole room's life, every refusal and
// limit, heartbeats, and faults in one room leaving the others alone.
#include <gtest/gtest.h>

#include "relay/relay.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes hello(uint16_t version = relayProtocolVersion, uint64_t build = 0x1122334455667788) {
    Bytes m{RelayHello, uint8_t(version), uint8_t(version >> 8)};
    for (int i = 0; i < 8; i++) m.push_back(uint8_t(build >> (8 * i)));
    m.push_back(0);
    return m;
}

Bytes withCode(uint8_t kind, const std::string& code) {
    Bytes m{kind};
    for (char c : code) m.push_back(uint8_t(c));
    return m;
}

struct Bench {
    Relay relay;
    int64_t now = 1000;
    std::vector<std::string> log;

    Bench() {
        relay.random.seed(1);
        relay.log = [this](const std::string& line) { log.push_back(line); };
    }
    void connect(uint32_t id, const char* address = "127.0.0.1") {
        relayConnect(relay, id, address, now);
        send(id, hello());
    }
    void send(uint32_t id, const Bytes& m) { relayReceive(relay, id, m, now); }
    // What the relay said to one client since the last call, and whether it closed it.
    std::vector<Bytes> to(uint32_t id, bool* closed = nullptr) {
        std::vector<Bytes> got;
        std::vector<RelayOut> rest;
        for (RelayOut& o : relay.outbox) {
            if (o.client != id)
                rest.push_back(o);
            else if (o.message)
                got.push_back(*o.message);
            else if (closed)
                *closed = true;
        }
        relay.outbox = rest;
        return got;
    }
    bool logged(const std::string& part) const {
        for (const std::string& line : log)
            if (line.find(part) != std::string::npos) return true;
        return false;
    }
    std::string create(uint32_t id) {
        send(id, {RelayCreate});
        Bytes joined = to(id).at(0);
        return std::string(joined.begin() + 2, joined.end());
    }
};

TEST(Relay, RoomLifeForwardsUnchangedAndCatchesSpectatorsUp) {
    Bench b;
    b.connect(1);
    b.connect(2);
    std::string code = b.create(1);
    ASSERT_EQ(code.size(), 5u);
    EXPECT_EQ(code.find_first_not_of(relayCodeLetters), std::string::npos);
    b.send(2, withCode(RelayJoin, code));
    EXPECT_EQ(b.to(2), (std::vector<Bytes>{withCode(RelayJoined, "\x01" + code),
                                           {RelayPeerJoined, SeatHost}}));
    EXPECT_EQ(b.to(1), (std::vector<Bytes>{{RelayPeerJoined, SeatGuest}}));
    Bytes input{0x10, 7, 0, 0, 0, 0x9C}, feed1{RelayFeed, 1, 2}, feed2{RelayFeed, 3};
    b.send(1, hello()); // the players' own hellos pass like any message of theirs
    b.send(1, input);
    b.send(1, feed1);
    b.send(1, feed2);
    b.send(2, {0x11, 1});
    EXPECT_EQ(b.to(2), (std::vector<Bytes>{hello(), input}));
    EXPECT_EQ(b.to(1), (std::vector<Bytes>{{0x11, 1}}));
    b.connect(3);
    b.send(3, withCode(RelayWatch, code));
    EXPECT_EQ(b.to(3), (std::vector<Bytes>{withCode(RelayJoined, "\x02" + code),
                                           {RelayPeerJoined, SeatHost},
                                           {RelayPeerJoined, SeatGuest},
                                           feed1,
                                           feed2}));
    b.send(1, feed1);
    EXPECT_EQ(b.to(3), (std::vector<Bytes>{feed1}));
    bool closed = false;
    b.send(3, input); // a spectator's input: closed, the match goes on
    EXPECT_EQ(b.to(3, &closed).at(0)[1], ReasonProtocol);
    EXPECT_TRUE(closed);
    b.send(1, {RelayLeave});
    EXPECT_EQ(b.to(2), (std::vector<Bytes>{{RelayPeerJoined, SeatSpectator, 1},
                                           {RelayPeerLeft, SeatHost, ReasonLeft}}));
    b.send(2, {RelayLeave});
    EXPECT_TRUE(b.relay.rooms.empty());
    EXPECT_EQ(b.log.back(), "room " + code + " ended: both players left");
    EXPECT_TRUE(b.logged("(127.0.0.1) closed: a spectator sent input"));
}

// Each row: what one client sends after its hello (or instead of it), the
// reason it is refused with, and whether that closes it.
TEST(Relay, BadMessagesAreRefusedOrClosedWithALogLine) {
    struct Row {
        const char* what;
        bool greet;
        Bytes message;
        RelayReason reason;
        bool closes;
    } rows[] = {
        {"other version", false, hello(2), ReasonVersion, true},
        {"no hello first", false, {RelayCreate}, ReasonProtocol, true},
        {"short hello", false, {RelayHello, 1, 0}, ReasonProtocol, true},
        {"second hello", true, hello(), ReasonProtocol, true},
        {"input outside a room", true, {0x10, 1, 2}, ReasonProtocol, true},
        {"feed outside a room", true, {RelayFeed, 1}, ReasonProtocol, true},
        {"unknown relay kind", true, {0x7A}, ReasonProtocol, true},
        {"kind 0", true, {0x00}, ReasonProtocol, true},
        {"kind 0x80", true, {0x80, 1}, ReasonProtocol, true},
        {"empty", true, {}, ReasonProtocol, true},
        {"code with a digit", true, withCode(RelayJoin, "AB1DE"), ReasonProtocol, true},
        {"code too long", true, withCode(RelayWatch, "ABCDEF"), ReasonProtocol, true},
        {"create with bytes", true, {RelayCreate, 0}, ReasonProtocol, true},
        {"too large", true, Bytes(9000, 0x10), ReasonTooBig, true},
        {"room of nobody", true, withCode(RelayJoin, "ZZZZZ"), ReasonNoRoom, false},
        {"watch nobody", true, withCode(RelayWatch, "QQQQQ"), ReasonNoRoom, false},
    };
    for (const Row& row : rows) {
        Bench b;
        relayConnect(b.relay, 9, "127.1.1.1", b.now);
        if (row.greet) b.send(9, hello());
        b.send(9, row.message);
        bool closed = false;
        std::vector<Bytes> got = b.to(9, &closed);
        ASSERT_EQ(got.size(), 1u) << row.what;
        EXPECT_EQ(got[0][0], RelayRefused) << row.what;
        EXPECT_EQ(got[0][1], row.reason) << row.what;
        EXPECT_EQ(closed, row.closes) << row.what;
        EXPECT_EQ(b.relay.clients.contains(9), !row.closes) << row.what;
        ASSERT_EQ(b.log.size(), 1u) << row.what;
        EXPECT_NE(b.log[0].find(row.closes ? "closed: " : "refused: "), std::string::npos);
    }
}

TEST(Relay, LimitsRefuseAndFloodsCloseWithoutTouchingOtherRooms) {
    Bench b;
    b.relay.limits.roomsPerMinute = 2;
    b.relay.limits.spectatorsPerRoom = 1;
    b.relay.limits.messagesPerSecond = 10;
    b.connect(1);
    b.connect(2, "127.0.0.12");
    b.connect(3, "127.0.0.13");
    std::string code = b.create(1);
    b.send(1, {RelayLeave});
    b.create(1);
    b.send(1, {RelayLeave});
    b.send(1, {RelayCreate});
    EXPECT_EQ(b.to(1).at(0)[1], ReasonRoomRate);
    b.now += 60000;
    code = b.create(1);
    b.send(2, withCode(RelayWatch, code));
    b.send(3, withCode(RelayWatch, code));
    EXPECT_EQ(b.to(3).at(0)[1], ReasonRoomFull);
    // Another room, whose host floods: closed, and room one hears nothing of it.
    b.connect(4, "127.0.0.14");
    b.create(4);
    b.relay.outbox.clear();
    for (int i = 0; i < 12; i++) b.send(4, {RelayPing, 0, 0, 0, 0});
    bool closed = false;
    EXPECT_EQ(b.to(4, &closed).back()[1], ReasonFlood);
    EXPECT_TRUE(closed);
    EXPECT_TRUE(b.to(1).empty());
    EXPECT_TRUE(b.to(2).empty());
    EXPECT_EQ(b.relay.rooms.size(), 1u);
    // A relay that serves one build refuses another; a room refuses a build not its own.
    b.relay.limits.build = 0x1122334455667788;
    relayConnect(b.relay, 5, "127.0.0.15", b.now);
    b.send(5, hello(relayProtocolVersion, 0x99));
    EXPECT_EQ(b.to(5).at(0)[1], ReasonVersion);
    EXPECT_TRUE(b.logged("the relay runs game build 1122334455667788, this game build "
                         "0000000000000099"));
    relayTick(b.relay, b.now + 60000);
    EXPECT_TRUE(b.relay.roomsMade.empty()); // who made rooms is forgotten after a minute
}

TEST(Relay, SilentPlayersAreReportedWithinTwoSecondsAndDroppedAfterTen) {
    Bench b;
    b.connect(1);
    b.connect(2);
    std::string code = b.create(1);
    b.send(2, withCode(RelayJoin, code));
    b.relay.outbox.clear();
    int64_t start = b.now, reported = 0, dropped = 0;
    for (int step = 1; step <= 120 && !dropped; step++) {
        b.now = start + step * 100;
        if (step % 5 == 0) b.send(1, {0x10, 0}); // the host keeps talking; the guest is silent
        relayTick(b.relay, b.now);
        for (const Bytes& m : b.to(1)) {
            if (m[0] == RelayPeerSilent && m[1] == SeatGuest && !reported) reported = b.now - start;
            if (m == Bytes{RelayPeerLeft, SeatGuest, ReasonSilent}) dropped = b.now - start;
        }
        b.to(2);
    }
    EXPECT_GT(reported, 0);
    EXPECT_LE(reported, 2000);
    EXPECT_EQ(dropped, 10000);
    // A connection that never says hello goes after ten seconds too.
    relayConnect(b.relay, 7, "127.0.0.17", b.now);
    relayTick(b.relay, b.now + 10000);
    EXPECT_FALSE(b.relay.clients.contains(7));
    EXPECT_TRUE(b.logged("client 7 (127.0.0.17) closed: said no hello in time"));
}

// Each client's heartbeat falls on its own beat from when it came, so that the
// relay never pings every client in one turn and holds the matches' inputs back.
TEST(Relay, EachClientIsPingedOnceASecondOnItsOwnBeat) {
    Bench b;
    b.connect(1); // at 1000
    b.now = 1400;
    b.connect(2);
    b.relay.outbox.clear();
    std::vector<int64_t> pinged[3];
    for (b.now = 1420; b.now <= 4400; b.now += 20) {
        relayTick(b.relay, b.now);
        for (uint32_t id : {1u, 2u})
            for (const Bytes& m : b.to(id))
                if (m[0] == RelayPing) pinged[id].push_back(b.now);
    }
    EXPECT_EQ(pinged[1], (std::vector<int64_t>{2000, 3000, 4000}));
    EXPECT_EQ(pinged[2], (std::vector<int64_t>{2400, 3400, 4400}));
}

} // namespace
