// relay-load's clients: WebSocket connections to a relay on 127.0.0.1 that say
// hello, take a seat, send numbered and timed messages and check what comes
// back: every stream in order, none lost, none twice.
#pragma once

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/websocket.hpp>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "relay/protocol.h"

namespace net = boost::asio;
namespace beast = boost::beast;
namespace websocket = beast::websocket;
using tcp = net::ip::tcp;
using Bytes = std::vector<uint8_t>;

inline int64_t nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Forwarding latencies in microseconds, one bucket each up to 100 ms.
struct LatencyHistogram {
    std::vector<uint64_t> buckets = std::vector<uint64_t>(100001);
    uint64_t count = 0;
    void add(int64_t ns) {
        int64_t us = ns / 1000;
        buckets[size_t(us < 0 ? 0 : us > 100000 ? 100000 : us)]++;
        count++;
    }
    // The microseconds below which the given share of the samples lies.
    double percentile(double share) const {
        uint64_t want = uint64_t(share * double(count)), seen = 0;
        for (size_t us = 0; us < buckets.size(); us++)
            if ((seen += buckets[us]) > want) return double(us);
        return 100000;
    }
};

// What every client found, added up.
struct LoadTally {
    LatencyHistogram latency;
    uint64_t received = 0, lost = 0, duplicated = 0, reordered = 0, refused = 0;
};

// One stream of numbered messages from one sender, as a receiver checks it.
struct StreamCheck {
    uint32_t next = 0;
    void take(uint32_t seq, LoadTally& tally) {
        if (seq == next)
            next++;
        else if (seq < next)
            tally.duplicated++; // seen already, or an older one late
        else
            tally.lost += seq - next, tally.reordered++, next = seq + 1;
    }
};

// A client opens its WebSocket through Beast, then writes and reads the frames
// on the socket itself: a load of 1,500 clients in one thread needs one system
// call per client and pass, not one per message.
struct LoadClient : std::enable_shared_from_this<LoadClient> {
    websocket::stream<beast::tcp_stream> ws;
    Bytes pending, writing; // framed messages waiting, and the ones being written
    Bytes input, message;   // bytes read (the first `have`); the message being put together
    size_t have = 0;
    std::function<void(LoadClient&, const Bytes&)> onMessage;
    std::function<void(LoadClient&, beast::error_code)> onClosed;
    bool open = false, reading = true;
    int receiveBuffer = 0;      // bytes of the socket's receive buffer; 0 for the system's
    uint32_t sent = 0, fed = 0; // numbered messages sent: to the peer, to the spectators
    StreamCheck fromPeer, fromFeed;

    explicit LoadClient(net::io_context& io) : ws(io) {}
    tcp::socket& socket() { return beast::get_lowest_layer(ws).socket(); }

    void connect(uint16_t port, std::function<void(LoadClient&)> then) {
        auto self = shared_from_this();
        if (receiveBuffer > 0) {
            socket().open(tcp::v4());
            socket().set_option(net::socket_base::receive_buffer_size(receiveBuffer));
        }
        beast::get_lowest_layer(ws).async_connect(
            tcp::endpoint(net::ip::make_address("127.0.0.1"), port),
            [self, then](beast::error_code ec) {
                if (ec) return self->closed(ec);
                self->socket().set_option(tcp::no_delay(true), ec);
                beast::get_lowest_layer(self->ws).expires_never();
                self->ws.async_handshake("127.0.0.1", "/play", [self, then](beast::error_code e) {
                    if (e) return self->closed(e);
                    self->open = true;
                    then(*self);
                    if (self->reading) self->read();
                });
            });
    }
    // One binary frame, masked with the key 0 (a client must mask; any key will do).
    void send(const Bytes& m) {
        if (!open) return;
        pending.push_back(0x82);
        if (m.size() < 126) {
            pending.push_back(uint8_t(0x80 | m.size()));
        } else {
            pending.insert(pending.end(), {0x80 | 126, uint8_t(m.size() >> 8), uint8_t(m.size())});
        }
        pending.insert(pending.end(), 4, 0);
        pending.insert(pending.end(), m.begin(), m.end());
        if (writing.empty()) write();
    }
    // A numbered, timed message: kind, sequence u32, send time u64 ns, padding.
    static Bytes stamped(uint8_t kind, uint32_t seq, size_t size) {
        Bytes m(size < 13 ? 13 : size, 0);
        m[0] = kind;
        int64_t t = nowNs();
        for (int i = 0; i < 4; i++) m[size_t(1 + i)] = uint8_t(seq >> (8 * i));
        for (int i = 0; i < 8; i++) m[size_t(5 + i)] = uint8_t(uint64_t(t) >> (8 * i));
        return m;
    }
    static void check(const Bytes& m, StreamCheck& stream, LoadTally& tally) {
        uint32_t seq = 0;
        uint64_t t = 0;
        for (int i = 3; i >= 0; i--) seq = seq << 8 | m[size_t(1 + i)];
        for (int i = 7; i >= 0; i--) t = t << 8 | m[size_t(5 + i)];
        tally.latency.add(nowNs() - int64_t(t));
        tally.received++;
        stream.take(seq, tally);
    }
    void kill() { // as a process dies: no close handshake, the socket just goes
        beast::error_code ignored;
        socket().close(ignored);
    }

  private:
    // Reads into the free end of one buffer that stays allocated (and is
    // never cleared): 90,000 reads a second must not each fill 64 kB.
    void read() {
        if (input.size() < have + 16384) input.resize(have + 65536);
        socket().async_read_some(net::buffer(input.data() + have, input.size() - have),
                                 [self = shared_from_this()](beast::error_code ec, size_t n) {
                                     self->have += n;
                                     if (ec) return self->closed(ec);
                                     // Frozen meanwhile: what came is not even looked at
                                     // (a ping answered now would be heard from it).
                                     if (!self->reading) return;
                                     self->parse();
                                     if (self->open) self->read();
                                 });
    }
    // Every whole frame read so far: binary messages, pings answered, a close.
    void parse() {
        size_t at = 0;
        while (have - at >= 2) {
            uint8_t op = input[at] & 0x0F;
            size_t length = input[at + 1] & 0x7F, head = 2;
            if (length == 126) {
                if (have - at < 4) break;
                length = size_t(input[at + 2]) << 8 | input[at + 3], head = 4;
            }
            if (have - at < head + length) break;
            message.insert(message.end(), input.begin() + long(at + head),
                           input.begin() + long(at + head + length));
            bool fin = input[at] & 0x80;
            at += head + length;
            if (op == 8) return answerClose();
            if (!fin) continue;
            if (!message.empty() && message[0] == RelayPing) {
                send({RelayPong, message[1], message[2], message[3], message[4]});
            } else if (onMessage) {
                onMessage(*this, message);
            }
            message.clear();
        }
        std::memmove(input.data(), input.data() + at, have - at);
        have -= at;
    }
    void answerClose() {
        closed({});
        pending.assign({0x88, 0x80, 0, 0, 0, 0});
        if (writing.empty()) write();
    }
    void write() {
        writing.swap(pending);
        net::async_write(socket(), net::buffer(writing),
                         [self = shared_from_this()](beast::error_code ec, size_t) {
                             self->writing.clear();
                             if (ec) return self->closed(ec);
                             if (!self->open && self->pending.empty())
                                 self->kill(); // answered a close
                             if (!self->pending.empty()) self->write();
                         });
    }
    void closed(beast::error_code ec) {
        open = false;
        pending.clear();
        if (!onClosed) return;
        auto then = std::move(onClosed);
        onClosed = nullptr;
        then(*this, ec);
    }
};

inline Bytes helloMessage(uint64_t build = 0x70CC3A5E11AD0001) {
    Bytes m{RelayHello, uint8_t(relayProtocolVersion), uint8_t(relayProtocolVersion >> 8)};
    for (int i = 0; i < 8; i++) m.push_back(uint8_t(build >> (8 * i)));
    m.push_back(0);
    return m;
}

inline Bytes codeMessage(uint8_t kind, const std::string& code) {
    Bytes m{kind};
    for (char c : code) m.push_back(uint8_t(c));
    return m;
}
