// The relay's lobby from the player's side: greeting, the room, heartbeats,
// and the game's messages held until the other player is there to take them.
#include "net/relay_link.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace {

// Why a peer left, a room ended or a request was refused, in the game's words.
std::string reasonLine(uint8_t reason) {
    switch (reason) {
    case 0:
        return "left";
    case 1:
        return "no room has that code";
    case 2:
        return "the room is full";
    case 3:
        return "the relay holds all the rooms it may";
    case 4:
        return "too many new rooms from this address";
    case 5:
        return "the match is too long to watch";
    case 6:
        return "the room was idle too long";
    case 21:
        return "silent for too long";
    case 23:
        return "lost the connection";
    case 24:
        return "the relay is going away";
    default:
        return "reason " + std::to_string(reason);
    }
}

const char* seatName(uint8_t seat) {
    return seat == NetSeatHost ? "the host" : seat == NetSeatGuest ? "the guest" : "a spectator";
}

// Each relay message's length (0: any length, for REFUSED; -1: not the relay's to send).
int relayLength(uint8_t kind, size_t size) {
    switch (kind) {
    case NetRelayPing:
    case NetRelayPong:
        return 5;
    case NetRelayFeed:
        return 0;
    case NetRelayJoined:
        return 2 + NetRoomCodeLength;
    case NetRelayPeerJoined:
        return size == 3 ? 3 : 2;
    case NetRelayPeerLeft:
        return 3;
    case NetRelayPeerSilent:
        return 4;
    case NetRelayPeerBack:
    case NetRelayRoomEnded:
        return 2;
    case NetRelayRefused:
        return size >= 2 ? 0 : 2;
    case NetRelayGoingAway:
        return 1;
    default:
        return -1;
    }
}

} // namespace

std::string netRoomCode(const std::string& typed) {
    std::string code;
    for (char ch : typed) {
        if (ch == ' ' || ch == '-') continue;
        char up = char(std::toupper(static_cast<unsigned char>(ch)));
        if (std::string_view(NetRoomCodeLetters).find(up) == std::string_view::npos) return "";
        code += up;
    }
    return code.size() == size_t(NetRoomCodeLength) ? code : "";
}

bool netReadFeed(const std::vector<uint8_t>& record, uint8_t& side, NetMessage& message,
                 std::string& why) {
    if (record.size() < 3 || record[0] != NetRelayFeed || record[1] > 1) {
        why = "a spectator's record that cannot be read";
        return false;
    }
    side = record[1];
    if (!netDecode(record.data() + 2, record.size() - 2, message, why)) return false;
    if (message.kind == NetStart || message.kind == NetInputs) return true;
    why = "a spectator's record of kind " + std::to_string(message.kind);
    return false;
}

NetRelayLink::NetRelayLink(std::unique_ptr<NetTransport> in, const NetHelloBody& h, NetRelayAsk a,
                           const std::string& code)
    : inner(std::move(in)), hello(h), ask(a), code_(code) {}

// The game's messages wait until the other player is in the room: the relay
// would drop them before.
void NetRelayLink::send(const std::vector<uint8_t>& message) {
    if (stage_ == NetRelayStage::Gone) return;
    held.push_back(message);
    flush();
}

void NetRelayLink::flush() {
    if (stage_ != NetRelayStage::Playing || seat_ == NetSeatSpectator) return;
    while (!held.empty()) {
        inner->send(held.front());
        held.pop_front();
    }
}

void NetRelayLink::sendFeed(uint8_t side, const std::vector<uint8_t>& message) {
    bool open = stage_ == NetRelayStage::InRoom || stage_ == NetRelayStage::Playing;
    if (!open && !(stage_ == NetRelayStage::Gone && innerOpen)) return;
    if (seat_ != NetSeatHost) return;
    std::vector<uint8_t> record(2 + message.size());
    record[0] = NetRelayFeed;
    record[1] = side;
    std::copy(message.begin(), message.end(), record.begin() + 2);
    inner->send(record);
}

bool NetRelayLink::receive(std::vector<uint8_t>& message) {
    if (inbox.empty()) return false;
    message = std::move(inbox.front());
    inbox.pop_front();
    return true;
}

void NetRelayLink::say(std::string line) {
    newest_ = line;
    said_++;
    notices.push_back(std::move(line));
}

bool NetRelayLink::notice(std::string& line) {
    if (notices.empty()) return false;
    line = std::move(notices.front());
    notices.pop_front();
    return true;
}

void NetRelayLink::poll() {
    inner->poll();
    if (stage_ == NetRelayStage::Connecting && inner->state() == NetLinkState::Open) {
        everOpen = true;
        inner->send(netEncodeHello(hello));
        std::vector<uint8_t> request(ask == NetRelayAsk::Create ? 1 : 1 + code_.size());
        request[0] = ask == NetRelayAsk::Create ? NetRelayCreate
                     : ask == NetRelayAsk::Join ? NetRelayJoin
                                                : NetRelayWatch;
        if (ask != NetRelayAsk::Create) std::copy(code_.begin(), code_.end(), request.begin() + 1);
        inner->send(request);
        stage_ = NetRelayStage::Asking;
    }
    std::vector<uint8_t> m;
    while (stage_ != NetRelayStage::Gone && inner->receive(m)) take(m);
    if (stage_ != NetRelayStage::Gone && inner->state() == NetLinkState::Closed) {
        std::string error = inner->error();
        std::string line =
            everOpen ? "the connection to the relay was lost" : "no connection to the relay";
        end(error.empty() ? line : line + ": " + error);
    }
}

void NetRelayLink::take(const std::vector<uint8_t>& m) {
    if (m.empty()) return end("the relay sent an empty message");
    if (m[0] >= NetFirstPeerKind && m[0] <= NetLastPeerKind) {
        if (stage_ == NetRelayStage::Playing && seat_ != NetSeatSpectator) inbox.push_back(m);
        return;
    }
    takeRelay(m);
}

void NetRelayLink::takeRelay(const std::vector<uint8_t>& m) {
    int length = relayLength(m[0], m.size());
    if (length < 0 || (length > 0 && m.size() != size_t(length))) {
        return end("the relay sent a message of kind " + std::to_string(m[0]) + " and " +
                   std::to_string(m.size()) + " bytes");
    }
    switch (m[0]) {
    case NetRelayPing:
        inner->send({NetRelayPong, m[1], m[2], m[3], m[4]});
        break;
    case NetRelayFeed:
        if (seat_ == NetSeatSpectator) inbox.push_back(m);
        break;
    case NetRelayJoined:
        seated(m);
        break;
    case NetRelayPeerJoined:
        peerJoined(m);
        break;
    case NetRelayPeerLeft:
        if (m[1] == NetSeatSpectator) break;
        if (seat_ == NetSeatSpectator) {
            say(std::string(seatName(m[1])) + " " + reasonLine(m[2]));
        } else {
            // The host still feeds the spectators the passes that the other
            // player's last inputs confirmed: the connection stays until the
            // game closes it.
            end(m[2] == 0 ? "the other player left" : "the other player " + reasonLine(m[2]),
                seat_ == NetSeatHost);
        }
        break;
    case NetRelayPeerSilent:
        if (m[1] != NetSeatSpectator && seat_ != NetSeatSpectator) peerSilent_ = true;
        say(std::string(seatName(m[1])) + " has been silent for " +
            std::to_string((m[2] | m[3] << 8) / 1000.0).substr(0, 3) + " s");
        break;
    case NetRelayPeerBack:
        peerSilent_ = false;
        say(std::string(seatName(m[1])) + " is back");
        break;
    case NetRelayRoomEnded:
        end("the room ended: " + reasonLine(m[1]));
        break;
    case NetRelayRefused:
        end(std::string(m.begin() + 2, m.end()));
        break;
    case NetRelayGoingAway:
        end("the relay is going away");
        break;
    default:
        break;
    }
}

void NetRelayLink::seated(const std::vector<uint8_t>& m) {
    seat_ = m[1];
    code_.assign(m.begin() + 2, m.end());
    stage_ = seat_ == NetSeatSpectator ? NetRelayStage::Playing : NetRelayStage::InRoom;
    if (seat_ == NetSeatHost) say("room " + code_ + ": waiting for the other player");
    if (seat_ == NetSeatGuest) say("room " + code_ + ": joined");
    if (seat_ == NetSeatSpectator) say("room " + code_ + ": watching");
}

void NetRelayLink::peerJoined(const std::vector<uint8_t>& m) {
    if (m[1] == NetSeatSpectator) {
        watching_ = m.size() == 3 ? m[2] : watching_;
        say(std::to_string(watching_) + " watching");
        return;
    }
    if (seat_ == NetSeatSpectator || m[1] == seat_) return;
    say(std::string(seatName(m[1])) + " is here");
    stage_ = NetRelayStage::Playing;
    flush();
}

void NetRelayLink::end(const std::string& why, bool keepInner) {
    if (stage_ == NetRelayStage::Gone) return;
    why_ = why;
    stage_ = NetRelayStage::Gone;
    held.clear();
    innerOpen = keepInner;
    if (!keepInner) inner->close(why);
}

// Closed once the room is gone and the game has read what came before.
NetLinkState NetRelayLink::state() const {
    if (stage_ == NetRelayStage::Gone)
        return inbox.empty() ? NetLinkState::Closed : NetLinkState::Open;
    return stage_ == NetRelayStage::Playing ? NetLinkState::Open : NetLinkState::Connecting;
}

std::string NetRelayLink::error() const {
    return why_;
}

// Leaving closes the connection: the relay takes that as leaving the room.
void NetRelayLink::close(const std::string& why) {
    if (stage_ == NetRelayStage::Gone && innerOpen) {
        innerOpen = false;
        inner->close(why);
    }
    if (stage_ == NetRelayStage::Gone) return;
    flush();
    why_ = why;
    stage_ = NetRelayStage::Gone;
    inbox.clear();
    inner->close(why);
}

uint64_t NetRelayLink::bytesSent() const {
    return inner->bytesSent();
}

uint64_t NetRelayLink::bytesReceived() const {
    return inner->bytesReceived();
}
