// What the session needs of a connection: whole binary messages out and in,
// in order, and whether the connection stands. The WebSocket (netws/), the
// test link in memory and, later, the browser's socket each provide one.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class NetLinkState : uint8_t {
    Connecting, // not yet open: sending waits, nothing arrives
    Open,
    Closed, // by either side or by a failure; error() says which
};

class NetTransport {
  public:
    virtual ~NetTransport() = default;
    // Queues one message; never blocks. Messages sent before the link opens
    // go out once it does; on a closed link they are dropped.
    virtual void send(const std::vector<uint8_t>& message) = 0;
    // Takes one received message, if any; never blocks.
    virtual bool receive(std::vector<uint8_t>& message) = 0;
    // Does the transport's pending work (connecting, reading, writing).
    virtual void poll() = 0;
    virtual NetLinkState state() const = 0;
    // Why the link closed, in one line ("" while it stands or after a clean close).
    virtual std::string error() const = 0;
    // Closes after sending what is queued; `why` becomes error() on this side.
    virtual void close(const std::string& why) = 0;
    // Bytes sent and received so far, WebSocket framing included where known.
    virtual uint64_t bytesSent() const = 0;
    virtual uint64_t bytesReceived() const = 0;
};
