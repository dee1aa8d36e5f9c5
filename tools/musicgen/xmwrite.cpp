// Writes a score as an ordinary FastTracker 2 module: version 0x0104,
// 276-byte header, linear frequency table, packed patterns, instruments
// without envelopes, 8-bit delta-encoded samples.
#include "tools/musicgen/musicgen.h"

#include <cstdio>

namespace {

void put8(std::vector<uint8_t>* out, int v) {
    out->push_back(uint8_t(v));
}

void put16(std::vector<uint8_t>* out, int v) {
    put8(out, v & 0xff);
    put8(out, (v >> 8) & 0xff);
}

void put32(std::vector<uint8_t>* out, uint32_t v) {
    put16(out, int(v & 0xffff));
    put16(out, int(v >> 16));
}

// A name field: the text, padded with zero bytes to `size`.
void putName(std::vector<uint8_t>* out, const std::string& text, size_t size) {
    for (size_t i = 0; i < size; i++) put8(out, i < text.size() ? text[i] : 0);
}

// The tracker's packing: a cell with all five fields is stored plainly, any
// other as a mask byte (bit 7 set) followed by the fields that are not zero.
std::vector<uint8_t> packPattern(const ScorePattern& pattern) {
    std::vector<uint8_t> out;
    for (const ScoreCell& c : pattern.cells) {
        const uint8_t fields[5] = {c.note, c.instrument, c.volume, c.effect, c.parameter};
        int mask = 0;
        for (int i = 0; i < 5; i++)
            if (fields[i] != 0) mask |= 1 << i;
        if (mask == 31) {
            for (uint8_t f : fields) put8(&out, f);
            continue;
        }
        put8(&out, 0x80 | mask);
        for (uint8_t f : fields)
            if (f != 0) put8(&out, f);
    }
    return out;
}

void putSampleHeader(std::vector<uint8_t>* out, const ScoreInstrument& in,
                     const SynthSample& sample, int pan) {
    put32(out, uint32_t(sample.data.size()));
    put32(out, uint32_t(sample.loopStart));
    put32(out, uint32_t(sample.loopLength));
    put8(out, in.volume);
    put8(out, in.finetune);
    put8(out, sample.loopLength > 0 ? 1 : 0); // forward loop, 8 bits
    put8(out, pan);
    put8(out, in.relativeNote);
    put8(out, 0);
    putName(out, in.voice, 22);
}

// One sample, or with a split two copies of it that differ only in their pan.
void putInstrument(std::vector<uint8_t>* out, const ScoreInstrument& in) {
    SynthSample sample{{}, 0, 0};
    bool hasSample = synthesizeVoice(in.voice, &sample);
    int copies = !hasSample ? 0 : in.splitNote > 0 ? 2 : 1;
    put32(out, 263);
    putName(out, in.name, 22);
    put8(out, 0);
    put16(out, copies);
    // Sample header size, keymap (notes from the split on the second copy),
    // two empty envelopes, their fourteen settings, fadeout 0, reserved
    // bytes: a key off simply cuts the note.
    put32(out, 40);
    for (int note = 1; note <= 96; note++) put8(out, copies == 2 && note >= in.splitNote ? 1 : 0);
    for (int i = 0; i < 48 + 48 + 14 + 2 + 22; i++) put8(out, 0);
    if (copies == 0) return;
    putSampleHeader(out, in, sample, in.pan);
    if (copies == 2) putSampleHeader(out, in, sample, in.splitPan);
    for (int copy = 0; copy < copies; copy++) {
        int8_t last = 0;
        for (int8_t v : sample.data) {
            put8(out, uint8_t(v - last));
            last = v;
        }
    }
}

} // namespace

std::vector<uint8_t> buildXm(const Score& score) {
    std::vector<uint8_t> out;
    putName(&out, "Extended Module: ", 17);
    putName(&out, score.title, 20);
    put8(&out, 0x1a);
    putName(&out, "soccer-musicgen", 20);
    put16(&out, 0x0104);
    put32(&out, 276);
    put16(&out, int(score.orders.size()));
    put16(&out, score.restart);
    put16(&out, score.channels);
    put16(&out, int(score.patterns.size()));
    put16(&out, int(score.instruments.size()));
    put16(&out, 1); // linear frequency table
    put16(&out, score.speed);
    put16(&out, score.bpm);
    for (int i = 0; i < 256; i++) put8(&out, i < int(score.orders.size()) ? score.orders[i] : 0);
    for (const ScorePattern& pattern : score.patterns) {
        std::vector<uint8_t> packed = packPattern(pattern);
        put32(&out, 9);
        put8(&out, 0);
        put16(&out, pattern.rows);
        put16(&out, int(packed.size()));
        out.insert(out.end(), packed.begin(), packed.end());
    }
    for (const ScoreInstrument& in : score.instruments) putInstrument(&out, in);
    return out;
}

namespace {

bool readText(const std::string& path, std::string* text) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return false;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text->append(buffer, n);
    std::fclose(f);
    return true;
}

bool writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

} // namespace

bool generateModules(const std::string& scoreDir, const std::string& outDir, std::string* error) {
    for (const char* name : {"music", "kick", "challenge"}) {
        std::string scorePath = scoreDir + "/" + name + ".score", text;
        Score score;
        if (!readText(scorePath, &text)) {
            *error = scorePath + ": cannot read";
            return false;
        }
        if (!parseScore(text, &score, error)) {
            *error = scorePath + ": " + *error;
            return false;
        }
        for (const ScoreInstrument& in : score.instruments) {
            SynthSample unused{{}, 0, 0};
            if (in.voice != "none" && !synthesizeVoice(in.voice, &unused)) {
                *error = scorePath + ": unknown voice " + in.voice;
                return false;
            }
        }
        std::string outPath = outDir + "/" + name + ".xm";
        if (!writeBytes(outPath, buildXm(score))) {
            *error = outPath + ": cannot write";
            return false;
        }
    }
    return true;
}
