// Builds small XM modules in memory for the player's tests and benchmarks.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

struct TestSample {
    std::vector<uint8_t> bytes; // stored data (deltas)
    int64_t storedLength = -1;  // length field; -1: bytes.size()
    uint32_t loopStart = 0, loopLength = 0;
    uint8_t volume = 64;
    int8_t finetune = 0;
    uint8_t type = 0; // bit 0 forward, bit 1 ping-pong, bit 4 16-bit
    uint8_t pan = 128;
    int8_t relativeNote = 0;
};

struct TestInstrument {
    std::vector<TestSample> samples;
    uint8_t keymap[96] = {};
    uint16_t fadeout = 0;
    int64_t headerSize = -1;  // -1: 263 with samples, 29 without
    int64_t sampleCount = -1; // -1: samples.size()
};

struct TestPattern {
    uint16_t rows = 1;
    std::vector<uint8_t> data; // packed cells as stored
};

struct TestModule {
    int16_t channels = 1;
    int16_t songLength = 1;
    int16_t restart = 0;
    uint16_t flags = 1;
    int16_t speed = 6;
    int16_t bpm = 125;
    std::vector<uint8_t> orders = {0};
    std::vector<TestPattern> patterns;
    std::vector<TestInstrument> instruments;
};

// Unpacked cells: note, instrument, volume, effect, parameter each.
inline std::vector<uint8_t> cellBytes(std::initializer_list<std::vector<uint8_t>> cells) {
    std::vector<uint8_t> out;
    for (const auto& c : cells) {
        std::vector<uint8_t> five = c;
        five.resize(5, 0);
        out.insert(out.end(), five.begin(), five.end());
    }
    return out;
}

inline void putLe(std::vector<uint8_t>& out, uint64_t v, int bytes) {
    for (int i = 0; i < bytes; i++) out.push_back(uint8_t(v >> (8 * i)));
}

inline std::vector<uint8_t> buildXm(const TestModule& m) {
    const char* sig = "Extended Module: ";
    std::vector<uint8_t> out(sig, sig + 17);
    out.resize(37, ' ');
    out.push_back(0x1A);
    out.resize(58, ' ');
    putLe(out, 0x0104, 2);
    putLe(out, 276, 4);
    putLe(out, uint16_t(m.songLength), 2);
    putLe(out, uint16_t(m.restart), 2);
    putLe(out, uint16_t(m.channels), 2);
    putLe(out, m.patterns.size(), 2);
    putLe(out, m.instruments.size(), 2);
    putLe(out, m.flags, 2);
    putLe(out, uint16_t(m.speed), 2);
    putLe(out, uint16_t(m.bpm), 2);
    for (int i = 0; i < 256; i++) out.push_back(i < int(m.orders.size()) ? m.orders[i] : 0);
    for (const TestPattern& p : m.patterns) {
        putLe(out, 9, 4);
        out.push_back(0);
        putLe(out, p.rows, 2);
        putLe(out, p.data.size(), 2);
        out.insert(out.end(), p.data.begin(), p.data.end());
    }
    for (const TestInstrument& ins : m.instruments) {
        size_t start = out.size();
        bool hasSamples = !ins.samples.empty() || ins.sampleCount > 0;
        int64_t headerSize = ins.headerSize >= 0 ? ins.headerSize : (hasSamples ? 263 : 29);
        putLe(out, uint64_t(headerSize), 4);
        out.resize(out.size() + 23, 0);
        putLe(out, ins.sampleCount >= 0 ? uint64_t(ins.sampleCount) : ins.samples.size(), 2);
        if (hasSamples) {
            putLe(out, 40, 4);
            out.insert(out.end(), ins.keymap, ins.keymap + 96);
            out.resize(out.size() + 96 + 14, 0);
            putLe(out, ins.fadeout, 2);
        }
        out.resize(start + size_t(headerSize), 0);
        for (const TestSample& s : ins.samples) {
            putLe(out, s.storedLength >= 0 ? uint64_t(s.storedLength) : s.bytes.size(), 4);
            putLe(out, s.loopStart, 4);
            putLe(out, s.loopLength, 4);
            out.push_back(s.volume);
            out.push_back(uint8_t(s.finetune));
            out.push_back(s.type);
            out.push_back(s.pan);
            out.push_back(uint8_t(s.relativeNote));
            out.resize(out.size() + 23, 0);
        }
        for (const TestSample& s : ins.samples)
            out.insert(out.end(), s.bytes.begin(), s.bytes.end());
    }
    return out;
}

// One instrument with one 8-bit sample of `length` bytes of deltas `delta`.
inline TestInstrument simpleInstrument(uint32_t length, uint8_t type = 0, uint32_t loopStart = 0,
                                       uint32_t loopLength = 0) {
    TestInstrument ins;
    TestSample s;
    s.bytes.assign(length, 0);
    if (length > 0) s.bytes[0] = 0x40; // a constant level of 0x40 x 256
    s.type = type;
    s.loopStart = loopStart;
    s.loopLength = loopLength;
    ins.samples.push_back(s);
    return ins;
}
