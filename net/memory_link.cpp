#include "net/memory_link.h"

#include <algorithm>

struct Flight {
    uint32_t due;
    std::vector<uint8_t> bytes;
};

struct NetMemoryWire {
    NetLinkConditions conditions;
    const uint32_t* clock;
    uint32_t random;
    std::deque<Flight> toward[2]; // toward[k]: what end k will receive
    uint32_t lastDue[2] = {0, 0};
    uint64_t bytes[2] = {0, 0}; // sent by each end
    bool closed = false;        // by either end
    int closedBy = 0;
    uint32_t closeDue = 0; // when the other end learns of it: after all that was sent
    std::string why;

    uint32_t draw(uint32_t below) {
        random ^= random << 13;
        random ^= random >> 17;
        random ^= random << 5;
        return below ? random % below : 0;
    }
    // When a message sent now arrives: half the round trip, jitter, and the
    // end of a burst's hold; never before the message sent ahead of it.
    uint32_t dueFor(int to) {
        uint32_t now = *clock;
        uint32_t due = now + conditions.roundTripMs / 2 + draw(conditions.jitterMs + 1);
        if (conditions.burstEveryMs && conditions.burstMs) {
            uint32_t phase = due % conditions.burstEveryMs;
            if (phase < conditions.burstMs) due += conditions.burstMs - phase;
        }
        due = std::max(due, lastDue[to]);
        lastDue[to] = due;
        return due;
    }
};

NetMemoryLink::NetMemoryLink(std::shared_ptr<NetMemoryWire> w, int e)
    : wire(std::move(w)), end(e) {}

void NetMemoryLink::send(const std::vector<uint8_t>& message) {
    if (wire->closed) return;
    int to = 1 - end;
    wire->toward[to].push_back({wire->dueFor(to), message});
    wire->bytes[end] += message.size() + 2; // a WebSocket frame's smallest head
}

bool NetMemoryLink::receive(std::vector<uint8_t>& message) {
    std::deque<Flight>& q = wire->toward[end];
    if (q.empty() || int32_t(*wire->clock - q.front().due) < 0) return false;
    message = std::move(q.front().bytes);
    q.pop_front();
    return true;
}

NetLinkState NetMemoryLink::state() const {
    if (!wire->closed) return NetLinkState::Open;
    if (wire->closedBy == end) return NetLinkState::Closed;
    bool learnt = wire->toward[end].empty() && int32_t(*wire->clock - wire->closeDue) >= 0;
    return learnt ? NetLinkState::Closed : NetLinkState::Open;
}

std::string NetMemoryLink::error() const {
    return wire->why;
}

// What was sent before the close still arrives, as over TCP.
void NetMemoryLink::close(const std::string& why) {
    if (wire->closed) return;
    wire->why = why;
    wire->closed = true;
    wire->closedBy = end;
    wire->closeDue = wire->dueFor(1 - end);
}

uint64_t NetMemoryLink::bytesSent() const {
    return wire->bytes[end];
}

uint64_t NetMemoryLink::bytesReceived() const {
    return wire->bytes[1 - end];
}

std::pair<std::unique_ptr<NetMemoryLink>, std::unique_ptr<NetMemoryLink>>
netMemoryLinkPair(const NetLinkConditions& conditions, uint32_t seed, const uint32_t* clock) {
    auto wire = std::make_shared<NetMemoryWire>();
    wire->conditions = conditions;
    wire->clock = clock;
    wire->random = seed ? seed : 1;
    return {std::make_unique<NetMemoryLink>(wire, 0), std::make_unique<NetMemoryLink>(wire, 1)};
}
