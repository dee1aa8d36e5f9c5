// A small reader for the tests, written apart from the generator: it decodes
// the header, the patterns, the instruments and the 8-bit samples of an XM
// file, so the tests check the bytes themselves rather than the writer's view
// of them.
#pragma once

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

struct XmCell {
    int note, instrument, volume, effect, parameter;
};

struct XmSample {
    uint32_t length, loopStart, loopLength;
    int volume, finetune, type, pan, relativeNote;
    std::vector<int8_t> data; // delta-decoded
};

struct XmInstrument {
    uint32_t headerSize;
    int numSamples;
    std::vector<int> keymap; // sample of each note 1 ... 96 (when it has samples)
    std::vector<XmSample> samples;
};

struct XmModule {
    bool ok;
    std::string signature, title;
    int version;
    uint32_t headerSize;
    int songLength, restart, channels, numPatterns, numInstruments, flags, speed, bpm;
    std::vector<int> orders;
    std::vector<int> patternRows;
    std::vector<std::vector<XmCell>> patterns; // rows x channels
    std::vector<XmInstrument> instruments;
    size_t bytesUsed;
};

inline std::vector<uint8_t> readFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

inline XmModule readXmModule(const std::vector<uint8_t>& b) {
    XmModule m{};
    size_t p = 0;
    bool short_ = false;
    auto u8 = [&]() -> int {
        if (p >= b.size()) {
            short_ = true;
            return 0;
        }
        return b[p++];
    };
    auto u16 = [&]() { return u8() | u8() << 8; };
    auto u32 = [&]() { return uint32_t(u16()) | uint32_t(u16()) << 16; };
    auto text = [&](int n) {
        std::string s;
        for (int i = 0; i < n; i++) s += char(u8());
        return s.substr(0, s.find('\0'));
    };
    m.signature = text(17);
    m.title = text(20);
    u8();
    text(20);
    m.version = u16();
    m.headerSize = u32();
    m.songLength = u16();
    m.restart = u16();
    m.channels = u16();
    m.numPatterns = u16();
    m.numInstruments = u16();
    m.flags = u16();
    m.speed = u16();
    m.bpm = u16();
    for (int i = 0; i < 256; i++) {
        int order = u8();
        if (i < m.songLength) m.orders.push_back(order);
    }
    p = 60 + m.headerSize;
    for (int i = 0; i < m.numPatterns; i++) {
        size_t start = p;
        uint32_t length = u32();
        u8();
        int rows = u16();
        int packedSize = u16();
        p = start + length;
        size_t end = p + packedSize;
        std::vector<XmCell> cells;
        while (p < end) {
            int first = u8();
            int fields[5] = {0, 0, 0, 0, 0};
            if (first & 0x80) {
                for (int f = 0; f < 5; f++)
                    if (first & (1 << f)) fields[f] = u8();
            } else {
                fields[0] = first;
                for (int f = 1; f < 5; f++) fields[f] = u8();
            }
            cells.push_back({fields[0], fields[1], fields[2], fields[3], fields[4]});
        }
        m.patternRows.push_back(rows);
        m.patterns.push_back(cells);
    }
    for (int i = 0; i < m.numInstruments; i++) {
        XmInstrument in{};
        size_t start = p;
        in.headerSize = u32();
        text(22);
        u8();
        in.numSamples = u16();
        if (in.numSamples > 0) {
            u32();
            for (int note = 0; note < 96; note++) in.keymap.push_back(u8());
        }
        p = start + in.headerSize;
        for (int s = 0; s < in.numSamples; s++) {
            XmSample sm{};
            sm.length = u32();
            sm.loopStart = u32();
            sm.loopLength = u32();
            sm.volume = u8();
            sm.finetune = int8_t(u8());
            sm.type = u8();
            sm.pan = u8();
            sm.relativeNote = int8_t(u8());
            u8();
            text(22);
            in.samples.push_back(sm);
        }
        for (XmSample& sm : in.samples) {
            int8_t last = 0;
            for (uint32_t k = 0; k < sm.length; k++) {
                last = int8_t(last + u8());
                sm.data.push_back(last);
            }
        }
        m.instruments.push_back(in);
    }
    m.bytesUsed = p;
    m.ok = !short_;
    return m;
}
