// The relay's part of the netplay protocol: the message kinds it reads and
// writes. Every message is one binary WebSocket message whose first byte is
// its kind; numbers are little-endian. Kinds 0x01-0x3F pass between the two
// players and the relay forwards them unchanged; 0x40-0x7F are the relay's own
// (docs/relay-protocol.md).
#pragma once

#include <cstdint>

// The protocol version this relay speaks; a HELLO naming another is refused.
constexpr uint16_t relayProtocolVersion = 1;
// Room codes: five letters, none that reads like a digit (no O, no I).
constexpr char relayCodeLetters[] = "ABCDEFGHJKLMNPQRSTUVWXYZ";
constexpr int relayCodeLength = 5;

enum RelayKind : uint8_t {
    RelayHello = 0x01,      // -> relay, first: version u16, build u64, role u8
    RelayCreate = 0x40,     // -> relay: a new room, this client its host
    RelayJoin = 0x41,       // -> relay: code[5]; the guest's seat
    RelayWatch = 0x42,      // -> relay: code[5]; a spectator's seat
    RelayLeave = 0x43,      // -> relay: leave the room, stay connected
    RelayPing = 0x44,       // <-> stamp u32; answered by a pong with the same stamp
    RelayPong = 0x45,       // <-> stamp u32
    RelayFeed = 0x46,       // host -> relay -> spectators: one record for watchers, opaque
    RelayJoined = 0x50,     // relay ->: seat u8, code[5]
    RelayPeerJoined = 0x51, // relay ->: seat u8 (a spectator's count follows as u8)
    RelayPeerLeft = 0x52,   // relay ->: seat u8, RelayReason u8
    RelayPeerSilent = 0x53, // relay ->: seat u8, silent milliseconds u16
    RelayPeerBack = 0x54,   // relay ->: seat u8
    RelayRoomEnded = 0x55,  // relay ->: RelayReason u8; the client is back in the lobby
    RelayRefused = 0x5E,    // relay ->: RelayReason u8, one line of text
    RelayGoingAway = 0x5F,  // relay ->: the relay is shutting down
};

enum RelaySeat : uint8_t { SeatHost = 0, SeatGuest = 1, SeatSpectator = 2, SeatNone = 255 };

// Why a client was refused, a peer left or a room ended. Reasons from
// ReasonVersion on close the connection; the ones before it leave the client
// in the lobby to try again.
enum RelayReason : uint8_t {
    ReasonLeft = 0,         // left the room on purpose
    ReasonNoRoom = 1,       // no room has that code
    ReasonRoomFull = 2,     // both seats, or every spectator's place, taken
    ReasonTooManyRooms = 3, // the relay holds as many rooms as it may
    ReasonRoomRate = 4,     // this address made too many rooms this minute
    ReasonTooLong = 5,      // the match's record outgrew what late watchers may get
    ReasonIdle = 6,         // the room saw no message for the idle time
    ReasonVersion = 16,     // another protocol version or game build
    ReasonProtocol = 17,    // a message the protocol does not allow here
    ReasonFlood = 18,       // more messages a second than allowed
    ReasonTooBig = 19,      // a message over the size limit
    ReasonSlowReader = 20,  // its queue of unsent messages overflowed
    ReasonSilent = 21,      // nothing heard for the drop time
    ReasonNoHello = 22,     // connected and said nothing
    ReasonLost = 23,        // the connection broke
    ReasonShutdown = 24,    // the relay is going away
};
