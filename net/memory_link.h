// Two transports joined in memory, for the tests and benchmarks: what one
// side sends arrives at the other after a set delay, with jitter and bursts,
// in order as over a TCP connection. Time is the caller's: a millisecond
// counter it advances.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <utility>

#include "net/transport.h"

struct NetLinkConditions {
    uint32_t roundTripMs = 0; // each way takes half of it
    uint32_t jitterMs = 0;    // each message up to this much later (order kept)
    // Every burstEveryMs, the link holds everything for burstMs, then lets
    // it all through at once.
    uint32_t burstEveryMs = 0;
    uint32_t burstMs = 0;
};

struct NetMemoryWire; // the two directions, shared by both ends

class NetMemoryLink : public NetTransport {
  public:
    NetMemoryLink(std::shared_ptr<NetMemoryWire> wire, int end);
    void send(const std::vector<uint8_t>& message) override;
    bool receive(std::vector<uint8_t>& message) override;
    void poll() override {}
    NetLinkState state() const override;
    std::string error() const override;
    void close(const std::string& why) override;
    uint64_t bytesSent() const override;
    uint64_t bytesReceived() const override;

  private:
    std::shared_ptr<NetMemoryWire> wire;
    int end;
};

// Both ends of one link; `clock` is read whenever a message is sent or taken.
std::pair<std::unique_ptr<NetMemoryLink>, std::unique_ptr<NetMemoryLink>>
netMemoryLinkPair(const NetLinkConditions& conditions, uint32_t seed, const uint32_t* clock);
