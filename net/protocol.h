// The netplay protocol: what two game peers (and, later, a relay between
// them) say to each other, one binary WebSocket message at a time. Byte 0 is
// the kind; every number is little-endian. docs/netplay-protocol.md describes
// each message; this is its code. Nothing here knows the game: a state is
// bytes, an input is a key byte and a flow byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Raised whenever a message changes its layout or meaning.
constexpr uint16_t NetProtocolVersion = 1;
constexpr uint16_t NetDefaultPort = 7777;

// Kinds 0x01-0x3F pass between the two game peers; 0x40-0x7F are a relay's
// own control messages (defined with the relay). 0x00 and 0x80-0xFF are no
// message.
enum NetKind : uint8_t {
    NetHello = 0x01,  // version, build, role: the first message of each side
    NetStart = 0x02,  // host -> guest: the match's first state
    NetInputs = 0x03, // a run of one side's inputs
    NetHash = 0x04,   // the hash of a confirmed state
    NetPing = 0x05,   // a round-trip probe
    NetPong = 0x06,   // its answer
    NetLeave = 0x07,  // the sender ends the match
    NetDesync = 0x08, // the sender's state where the hashes parted
};
constexpr uint8_t NetFirstPeerKind = 0x01, NetLastPeerKind = 0x3F;
constexpr uint8_t NetFirstRelayKind = 0x40, NetLastRelayKind = 0x7F;

// Who says HELLO. The host is player 1 (team A), the guest player 2 (team B).
enum NetRole : uint8_t { NetRoleHost = 0, NetRoleGuest = 1 };
constexpr uint8_t NetLastPeerRole = NetRoleGuest;

// Why a side sends LEAVE.
enum NetLeaveReason : uint8_t {
    NetLeaveQuit = 0,    // the player left (ESC, closed the window)
    NetLeaveOver = 1,    // the match is over and the player went back to the title
    NetLeaveTimeout = 2, // no input from the other side for too long
    NetLeaveDesync = 3,  // the states parted
};
constexpr uint8_t NetLastLeaveReason = NetLeaveDesync;

// One side's input for one pass: the held keys of its player and at most one
// flow key pressed in that pass.
enum NetKeyBit : uint8_t {
    NetKeyLeft = 1,
    NetKeyRight = 2,
    NetKeyUp = 4,
    NetKeyDown = 8,
    NetKeyAction = 16,
};
constexpr uint8_t NetKeyMask = 0x1F;
enum NetFlow : uint8_t {
    NetFlowNone = 0,
    NetFlowSpace = 1, // SPACE
    NetFlowKey = 2,   // any other key that counts as "any key"
};
constexpr uint8_t NetFlowLast = NetFlowKey;

struct NetInput {
    uint8_t keys = 0; // NetKeyBit
    uint8_t flow = 0; // NetFlow
    bool operator==(const NetInput&) const = default;
};

// Limits every reader holds a message to.
constexpr int NetMaxInputsPerMessage = 32;
constexpr size_t NetMaxStateBytes = 4096;
constexpr size_t NetMaxMessageBytes = 8 + NetMaxStateBytes;

// HELLO: kind, version (u16), build (u64), role (u8): 12 bytes.
struct NetHelloBody {
    uint16_t version = NetProtocolVersion;
    uint64_t build = 0; // the game build's identity: a hash of what decides the simulation
    uint8_t role = NetRoleHost;
};
constexpr size_t NetHelloBytes = 12;

// Every peer message in one record; `kind` says which fields count.
struct NetMessage {
    uint8_t kind = 0;
    NetHelloBody hello; // HELLO
    // INPUTS: the first input's pass; HASH, DESYNC: the state's pass; LEAVE: the passes
    // the sender's replay holds
    uint32_t pass = 0;
    uint32_t senderPass = 0; // INPUTS: the next pass the sender will run
    int32_t advantage = 0;   // INPUTS: passes the sender thinks it is ahead, -128 .. 127
    uint8_t count = 0;       // INPUTS: 1 .. NetMaxInputsPerMessage
    NetInput inputs[NetMaxInputsPerMessage];
    uint64_t hash = 0;          // HASH
    uint32_t stamp = 0;         // PING, PONG: the sender's milliseconds, echoed
    uint8_t reason = 0;         // LEAVE: NetLeaveReason
    uint32_t seed = 0;          // START: the host's start-up seed (the grass, the replay)
    std::vector<uint8_t> state; // START, DESYNC: an encoded game state
};

std::vector<uint8_t> netEncodeHello(const NetHelloBody& hello);
// Reads a HELLO (any version: the version field keeps its place in every
// version, so that a peer of another one can be named). False, with one line
// in `why`, for anything else.
bool netDecodeHello(const uint8_t* data, size_t size, NetHelloBody& hello, std::string& why);
// The line that refuses a peer of another protocol version or build, or ""
// when the two may play. Both builds are named in hex.
std::string netHelloMismatch(const NetHelloBody& mine, const NetHelloBody& theirs);

// Any peer message. Encoding assumes a message that decodes.
std::vector<uint8_t> netEncode(const NetMessage& message);
// Checks everything a peer message can carry by itself: its length for its
// kind, input values, counts, reasons, state sizes. (Whether its pass numbers
// fit the match is the session's to check.) False with one line in `why`.
bool netDecode(const uint8_t* data, size_t size, NetMessage& message, std::string& why);
