#include "net/protocol.h"

#include <cstdio>

// Little-endian writing and reading, with the reader refusing to run past the end.
static void put8(std::vector<uint8_t>& out, uint8_t v) {
    out.push_back(v);
}
static void put16(std::vector<uint8_t>& out, uint16_t v) {
    for (int i = 0; i < 2; i++) out.push_back(uint8_t(v >> (8 * i)));
}
static void put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; i++) out.push_back(uint8_t(v >> (8 * i)));
}
static void put64(std::vector<uint8_t>& out, uint64_t v) {
    for (int i = 0; i < 8; i++) out.push_back(uint8_t(v >> (8 * i)));
}

struct Reader {
    const uint8_t* at;
    size_t left;
    uint64_t take(int bytes) {
        uint64_t v = 0;
        for (int i = 0; i < bytes; i++) v |= uint64_t(at[i]) << (8 * i);
        at += bytes;
        left -= size_t(bytes);
        return v;
    }
};

std::vector<uint8_t> netEncodeHello(const NetHelloBody& hello) {
    std::vector<uint8_t> out;
    put8(out, NetHello);
    put16(out, hello.version);
    put64(out, hello.build);
    put8(out, hello.role);
    return out;
}

bool netDecodeHello(const uint8_t* data, size_t size, NetHelloBody& hello, std::string& why) {
    if (size == 0 || data[0] != NetHello) {
        why = "the other side did not begin with HELLO";
        return false;
    }
    if (size != NetHelloBytes) {
        why = "a HELLO of " + std::to_string(size) + " bytes, not " + std::to_string(NetHelloBytes);
        return false;
    }
    Reader r{data + 1, size - 1};
    hello.version = uint16_t(r.take(2));
    hello.build = r.take(8);
    hello.role = uint8_t(r.take(1));
    return true;
}

static std::string hex64(uint64_t v) {
    char text[20];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(v));
    return text;
}

std::string netHelloMismatch(const NetHelloBody& mine, const NetHelloBody& theirs) {
    if (mine.version != theirs.version) {
        return "the other player speaks protocol version " + std::to_string(theirs.version) +
               ", this game version " + std::to_string(mine.version);
    }
    if (mine.build != theirs.build) {
        return "the other player runs game build " + hex64(theirs.build) + ", this game build " +
               hex64(mine.build);
    }
    return "";
}

std::vector<uint8_t> netEncode(const NetMessage& m) {
    if (m.kind == NetHello) return netEncodeHello(m.hello);
    std::vector<uint8_t> out;
    put8(out, m.kind);
    switch (m.kind) {
    case NetStart:
        put32(out, m.seed);
        put16(out, uint16_t(m.state.size()));
        out.insert(out.end(), m.state.begin(), m.state.end());
        break;
    case NetInputs:
        put32(out, m.pass);
        put32(out, m.senderPass);
        put8(out, uint8_t(m.advantage & 0xFF));
        put8(out, m.count);
        for (int i = 0; i < m.count; i++) {
            put8(out, m.inputs[i].keys);
            put8(out, m.inputs[i].flow);
        }
        break;
    case NetHash:
        put32(out, m.pass);
        put64(out, m.hash);
        break;
    case NetPing:
    case NetPong:
        put32(out, m.stamp);
        break;
    case NetLeave:
        put8(out, m.reason);
        put32(out, m.pass);
        break;
    case NetDesync:
        put32(out, m.pass);
        put16(out, uint16_t(m.state.size()));
        out.insert(out.end(), m.state.begin(), m.state.end());
        break;
    default:
        break;
    }
    return out;
}

// A state that follows a u16 length: all of the rest, 1 to NetMaxStateBytes bytes.
static bool readState(Reader& r, std::vector<uint8_t>& state, std::string& why) {
    if (r.left < 2) {
        why = "too short";
        return false;
    }
    size_t length = size_t(r.take(2));
    if (length == 0 || length > NetMaxStateBytes || length != r.left) {
        why = "a state of " + std::to_string(length) + " bytes in " + std::to_string(r.left);
        return false;
    }
    state.assign(r.at, r.at + length);
    r.left = 0;
    return true;
}

static bool readInputs(Reader& r, NetMessage& m, std::string& why) {
    if (r.left < 10) {
        why = "too short";
        return false;
    }
    m.pass = uint32_t(r.take(4));
    m.senderPass = uint32_t(r.take(4));
    m.advantage = int32_t(r.take(1) ^ 0x80) - 0x80; // signed
    m.count = uint8_t(r.take(1));
    if (m.count == 0 || m.count > NetMaxInputsPerMessage || r.left != size_t(m.count) * 2) {
        why = std::to_string(m.count) + " inputs in " + std::to_string(r.left) + " bytes";
        return false;
    }
    for (int i = 0; i < m.count; i++) {
        m.inputs[i].keys = uint8_t(r.take(1));
        m.inputs[i].flow = uint8_t(r.take(1));
        if ((m.inputs[i].keys & ~NetKeyMask) != 0 || m.inputs[i].flow > NetFlowLast) {
            why = "an input out of range";
            return false;
        }
    }
    return true;
}

// The fixed length of each kind's body after the kind byte (0: variable).
static size_t fixedBody(uint8_t kind) {
    switch (kind) {
    case NetHash:
        return 12;
    case NetPing:
    case NetPong:
        return 4;
    case NetLeave:
        return 5;
    default:
        return 0;
    }
}

static bool readBody(Reader& r, NetMessage& m, std::string& why) {
    switch (m.kind) {
    case NetStart:
        if (r.left < 4) break;
        m.seed = uint32_t(r.take(4));
        return readState(r, m.state, why);
    case NetInputs:
        return readInputs(r, m, why);
    case NetHash:
        m.pass = uint32_t(r.take(4));
        m.hash = r.take(8);
        return true;
    case NetPing:
    case NetPong:
        m.stamp = uint32_t(r.take(4));
        return true;
    case NetLeave:
        m.reason = uint8_t(r.take(1));
        m.pass = uint32_t(r.take(4));
        if (m.reason <= NetLastLeaveReason) return true;
        why = "an unknown reason to leave";
        return false;
    case NetDesync:
        if (r.left < 4) break;
        m.pass = uint32_t(r.take(4));
        return readState(r, m.state, why);
    default:
        break;
    }
    why = "too short";
    return false;
}

bool netDecode(const uint8_t* data, size_t size, NetMessage& m, std::string& why) {
    m = NetMessage{};
    if (size == 0 || size > NetMaxMessageBytes) {
        why = "a message of " + std::to_string(size) + " bytes";
        return false;
    }
    m.kind = data[0];
    if (m.kind == NetHello) return netDecodeHello(data, size, m.hello, why);
    if (m.kind < NetStart || m.kind > NetDesync) {
        char text[40];
        std::snprintf(text, sizeof text, "a message of unknown kind 0x%02X", m.kind);
        why = text;
        return false;
    }
    Reader r{data + 1, size - 1};
    size_t body = fixedBody(m.kind);
    if (body != 0 && r.left != body) {
        why = "a message of kind " + std::to_string(m.kind) + " with " + std::to_string(r.left) +
              " bytes, not " + std::to_string(body);
        return false;
    }
    if (!readBody(r, m, why)) {
        why = "a broken message of kind " + std::to_string(m.kind) + ": " + why;
        return false;
    }
    return true;
}
