// relay-load's clients: WebSocket connections to a relay on 127.0.0.1 that say
// hello, take a seat, send numbered and timed messages and check what comes
// back: every stream in order, none lost, none twice.
#pragma once

#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/websocket.hpp>
#include <chrono>
#include <cstdint>
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

struct LoadClient : std::enable_shared_from_this<LoadClient> {
    websocket::stream<beast::tcp_stream> ws;
    beast::flat_buffer buffer;
    std::deque<std::shared_ptr<Bytes>> out;
    std::function<void(LoadClient&, const Bytes&)> onMessage;
    std::function<void(LoadClient&, beast::error_code)> onClosed;
    bool open = false, reading = true;
    int receiveBuffer = 0;      // bytes of the socket's receive buffer; 0 for the system's
    uint32_t sent = 0, fed = 0; // numbered messages sent: to the peer, to the spectators
    StreamCheck fromPeer, fromFeed;

    explicit LoadClient(net::io_context& io) : ws(io) {}

    void connect(uint16_t port, std::function<void(LoadClient&)> then) {
        auto self = shared_from_this();
        if (receiveBuffer > 0) {
            tcp::socket& s = beast::get_lowest_layer(ws).socket();
            s.open(tcp::v4());
            s.set_option(net::socket_base::receive_buffer_size(receiveBuffer));
        }
        beast::get_lowest_layer(ws).async_connect(
            tcp::endpoint(net::ip::make_address("127.0.0.1"), port),
            [self, then](beast::error_code ec) {
                if (ec) return self->closed(ec);
                beast::get_lowest_layer(self->ws).expires_never();
                self->ws.async_handshake("127.0.0.1", "/play", [self, then](beast::error_code e) {
                    if (e) return self->closed(e);
                    self->open = true;
                    self->ws.binary(true);
                    then(*self);
                    if (self->reading) self->read();
                });
            });
    }
    void send(Bytes m) {
        if (!open) return;
        out.push_back(std::make_shared<Bytes>(std::move(m)));
        if (out.size() == 1) write();
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
        beast::get_lowest_layer(ws).socket().close(ignored);
    }

  private:
    void read() {
        ws.async_read(buffer, [self = shared_from_this()](beast::error_code ec, size_t) {
            if (ec) return self->closed(ec);
            const uint8_t* p = static_cast<const uint8_t*>(self->buffer.cdata().data());
            Bytes m(p, p + self->buffer.size());
            self->buffer.consume(self->buffer.size());
            if (!m.empty() && m[0] == RelayPing)
                self->send({RelayPong, m[1], m[2], m[3], m[4]});
            else if (self->onMessage)
                self->onMessage(*self, m);
            if (self->reading) self->read();
        });
    }
    void write() {
        ws.async_write(net::buffer(*out.front()),
                       [self = shared_from_this()](beast::error_code ec, size_t) {
                           if (ec) return self->closed(ec);
                           self->out.pop_front();
                           if (!self->out.empty()) self->write();
                       });
    }
    void closed(beast::error_code ec) {
        open = false;
        out.clear();
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
