// A connection to the other player through a relay (soccer-relay): wraps a
// transport already connected to the relay's /play, speaks the relay's lobby
// (HELLO, then CREATE, JOIN or WATCH), answers its heartbeats, and then looks
// to the session like a direct link: it opens once the other player is in
// the room and closes when the room or the relay goes. The game's own kinds
// pass unchanged; the relay's turn into the lobby's state and into one-line
// notices the game shows. docs/relay-protocol.md describes the messages.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "net/protocol.h"
#include "net/transport.h"

// The relay's message kinds (docs/relay-protocol.md).
enum NetRelayKind : uint8_t {
    NetRelayCreate = 0x40,
    NetRelayJoin = 0x41,
    NetRelayWatch = 0x42,
    NetRelayLeave = 0x43,
    NetRelayPing = 0x44,
    NetRelayPong = 0x45,
    NetRelayFeed = 0x46,
    NetRelayJoined = 0x50,
    NetRelayPeerJoined = 0x51,
    NetRelayPeerLeft = 0x52,
    NetRelayPeerSilent = 0x53,
    NetRelayPeerBack = 0x54,
    NetRelayRoomEnded = 0x55,
    NetRelayRefused = 0x5E,
    NetRelayGoingAway = 0x5F,
};
enum NetRelaySeat : uint8_t {
    NetSeatHost = 0,
    NetSeatGuest = 1,
    NetSeatSpectator = 2,
    NetSeatNone = 255,
};
constexpr int NetRoomCodeLength = 5;
constexpr char NetRoomCodeLetters[] = "ABCDEFGHJKLMNPQRSTUVWXYZ";

// What this client asks of the lobby.
enum class NetRelayAsk : uint8_t { Create, Join, Watch };

// Where the client stands with the relay.
enum class NetRelayStage : uint8_t {
    Connecting, // the connection to the relay is not open yet
    Asking,     // HELLO and the request sent, no answer yet
    InRoom,     // seated; a player waits for the other
    Playing,    // both players present (a spectator: watching)
    Gone,       // refused, left, the room or the relay ended: error() says why
};

class NetRelayLink final : public NetTransport {
  public:
    // `hello` is this game's (the relay checks its version and build); `code`
    // names the room for Join and Watch.
    NetRelayLink(std::unique_ptr<NetTransport> inner, const NetHelloBody& hello, NetRelayAsk ask,
                 const std::string& code = {});

    void send(const std::vector<uint8_t>& message) override;
    bool receive(std::vector<uint8_t>& message) override;
    void poll() override;
    NetLinkState state() const override;
    std::string error() const override;
    void close(const std::string& why) override;
    uint64_t bytesSent() const override;
    uint64_t bytesReceived() const override;

    NetRelayStage stage() const { return stage_; }
    const std::string& code() const { return code_; }
    uint8_t seat() const { return seat_; }
    uint8_t watching() const { return watching_; }
    bool peerSilent() const { return peerSilent_; }
    // The next lobby notice ("room KQXPM: waiting for the other player", "the
    // other player is silent", "2 watching", ...), oldest first.
    bool notice(std::string& line);
    // The newest notice and how many came so far, read or not (a game that
    // draws them and a page that lists them both see every one).
    const std::string& newestNotice() const { return newest_; }
    uint32_t noticeCount() const { return said_; }
    // The host's record for spectators: `side` and one START or INPUTS
    // message of confirmed passes, as encoded for the peer.
    void sendFeed(uint8_t side, const std::vector<uint8_t>& message);

  private:
    void take(const std::vector<uint8_t>& m);
    void takeRelay(const std::vector<uint8_t>& m);
    void seated(const std::vector<uint8_t>& m);
    void peerJoined(const std::vector<uint8_t>& m);
    // `keepInner`: the connection stays open until close() (the host's last feed).
    void end(const std::string& why, bool keepInner = false);
    void flush();
    void say(std::string line);

    std::unique_ptr<NetTransport> inner;
    NetHelloBody hello;
    NetRelayAsk ask;
    NetRelayStage stage_ = NetRelayStage::Connecting;
    std::string code_, why_;
    uint8_t seat_ = NetSeatNone;
    uint8_t watching_ = 0;
    bool peerSilent_ = false;
    bool everOpen = false;
    bool innerOpen = false; // Gone, but the connection kept for the host's last feed
    std::deque<std::vector<uint8_t>> inbox, held;
    std::deque<std::string> notices;
    std::string newest_;
    uint32_t said_ = 0;
};

// A code as typed: upper case, five of the letters; "" when it is none.
std::string netRoomCode(const std::string& typed);
// One spectator's record: the side and the peer message it carries. False,
// with one line in `why`, for anything else.
bool netReadFeed(const std::vector<uint8_t>& record, uint8_t& side, NetMessage& message,
                 std::string& why);
