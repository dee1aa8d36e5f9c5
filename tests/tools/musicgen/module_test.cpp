// The three committed modules: they are what the generator writes today, and
// each has the shape the game's player relies on.
#include "tests/tools/musicgen/xm_reader.h"
#include "tools/musicgen/musicgen.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <unistd.h>

namespace {

const char* const moduleNames[] = {"music", "kick", "challenge"};

std::string resourcePath(const std::string& name) {
    return std::string(SOCCER_SOURCE_DIR) + "/resources/" + name + ".xm";
}

XmModule committedModule(const std::string& name) {
    XmModule m = readXmModule(readFileBytes(resourcePath(name)));
    EXPECT_TRUE(m.ok) << name << " ends early";
    return m;
}

const XmCell& cellAt(const XmModule& m, int pattern, int row, int channel) {
    return m.patterns[pattern][row * m.channels + channel];
}

// The effect numbers of every cell that has an effect (arpeggio needs a
// parameter to be one).
std::set<int> effectsUsed(const XmModule& m) {
    std::set<int> used;
    for (const auto& cells : m.patterns) {
        for (const XmCell& c : cells) {
            if (c.effect != 0 || c.parameter != 0) used.insert(c.effect);
        }
    }
    return used;
}

TEST(Modules, GeneratorReproducesTheCommittedFiles) {
    std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("musicgen-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::string error;
    ASSERT_TRUE(
        generateModules(std::string(SOCCER_SOURCE_DIR) + "/tools/musicgen", dir.string(), &error))
        << error;
    for (const char* name : moduleNames) {
        std::vector<uint8_t> fresh = readFileBytes((dir / (std::string(name) + ".xm")).string());
        std::vector<uint8_t> committed = readFileBytes(resourcePath(name));
        EXPECT_FALSE(fresh.empty()) << name;
        EXPECT_TRUE(fresh == committed)
            << name << ".xm differs from the generator's output: run the music-resources target";
    }
    std::filesystem::remove_all(dir);
}

TEST(Modules, EveryFileIsAnOrdinaryLinearXm) {
    for (const char* name : moduleNames) {
        std::vector<uint8_t> bytes = readFileBytes(resourcePath(name));
        XmModule m = readXmModule(bytes);
        SCOPED_TRACE(name);
        EXPECT_TRUE(m.ok);
        EXPECT_EQ(m.bytesUsed, bytes.size()); // nothing trails the last sample
        EXPECT_EQ(m.signature, "Extended Module: ");
        EXPECT_EQ(bytes[37], 0x1a);
        EXPECT_EQ(m.version, 0x0104);
        EXPECT_EQ(m.headerSize, 276u);
        EXPECT_EQ(m.flags & 1, 1);
        EXPECT_EQ(m.speed, 6);
        EXPECT_EQ(m.bpm, 125);
        EXPECT_LE(m.channels, 32);
        EXPECT_LT(m.restart, m.songLength);
        for (int order : m.orders) EXPECT_LT(order, m.numPatterns);
        for (size_t p = 0; p < m.patterns.size(); p++) {
            EXPECT_GT(m.patternRows[p], 0);
            ASSERT_EQ(int(m.patterns[p].size()), m.patternRows[p] * m.channels);
            for (const XmCell& c : m.patterns[p]) {
                EXPECT_TRUE(c.note <= 97) << c.note;
                EXPECT_LE(c.instrument, m.numInstruments);
                EXPECT_TRUE(c.volume == 0 || (c.volume >= 0x10 && c.volume <= 0x50)) << c.volume;
            }
        }
        for (const XmInstrument& in : m.instruments) {
            for (const XmSample& s : in.samples) {
                EXPECT_EQ(s.type & 0x10, 0) << "8-bit samples only";
                EXPECT_LE(s.loopStart + s.loopLength, s.length);
                EXPECT_LE(s.volume, 64);
            }
        }
    }
}

TEST(Modules, TitleMusicHasItsOrderListPatternsAndInstruments) {
    XmModule m = committedModule("music");
    EXPECT_EQ(m.channels, 4);
    EXPECT_EQ(m.orders, (std::vector<int>{0, 0, 1, 2, 3, 4, 3, 4}));
    EXPECT_EQ(m.restart, 0);
    EXPECT_EQ(m.numPatterns, 5);
    for (int rows : m.patternRows) EXPECT_EQ(rows, 64);
    ASSERT_EQ(m.numInstruments, 6);
    int withoutSamples = 0, samples = 0, looped = 0;
    for (const XmInstrument& in : m.instruments) {
        if (in.numSamples == 0) withoutSamples++;
        for (const XmSample& s : in.samples) {
            samples++;
            EXPECT_NE(s.type & 3, 2) << "no ping-pong loops";
            if ((s.type & 3) == 1) {
                looped++;
                EXPECT_GT(s.loopLength, 0u);
            }
        }
    }
    EXPECT_EQ(withoutSamples, 2);
    // The pulse and the noise each have a second copy, panned for the chords
    // and the hi-hat.
    EXPECT_EQ(samples, 6);
    EXPECT_EQ(looped, 2);
}

TEST(Modules, TitleMusicUsesItsEffectsAndStartsAtSpeedFive) {
    XmModule m = committedModule("music");
    EXPECT_EQ(effectsUsed(m), (std::set<int>{0x0, 0x2, 0x3, 0x4, 0xF}));
    bool speedSet = false, keyOff = false, volumeSet = false, arpeggio = false;
    for (int k = 0; k < m.channels; k++) {
        const XmCell& c = cellAt(m, m.orders[0], 0, k);
        if (c.effect == 0xF && c.parameter == 0x05) speedSet = true;
    }
    for (const auto& cells : m.patterns) {
        for (const XmCell& c : cells) {
            if (c.effect == 0xF) {
                EXPECT_EQ(c.parameter, 0x05) << "one speed throughout";
            }
            if (c.effect == 0 && c.parameter != 0) arpeggio = true;
            keyOff = keyOff || c.note == 97;
            volumeSet = volumeSet || c.volume != 0;
        }
    }
    EXPECT_TRUE(speedSet) << "F05 on the first row";
    EXPECT_TRUE(keyOff && volumeSet && arpeggio);
}

// Without envelopes a key off silences a channel until a note names its
// instrument again, and a tone portamento has nothing to slide; either would
// leave a note of the tune unheard.
TEST(Modules, TitleMusicNeverPlaysIntoAKeyedOffChannel) {
    XmModule m = committedModule("music");
    std::vector<bool> silent(m.channels, true);
    // Twice through the order list, so the restart is crossed too.
    for (int pass = 0; pass < 2; pass++) {
        for (int pos = 0; pos < m.songLength; pos++) {
            int p = m.orders[pos];
            for (int row = 0; row < m.patternRows[p]; row++) {
                for (int k = 0; k < m.channels; k++) {
                    const XmCell& c = cellAt(m, p, row, k);
                    bool porta = c.effect == 3;
                    if (c.note >= 1 && c.note <= 96) {
                        EXPECT_FALSE(silent[k] && (c.instrument == 0 || porta))
                            << "order " << pos << " row " << row << " channel " << k;
                        if (c.instrument != 0 && !porta) silent[k] = false;
                    }
                    if (c.note == 97) silent[k] = true;
                }
            }
        }
    }
}

TEST(Modules, TitleMusicLastsAboutFiftySeconds) {
    XmModule m = committedModule("music");
    // Speed changes take effect on the row that makes them; 882 frames a tick
    // at 125 BPM and 44100 Hz.
    int speed = m.speed;
    long frames = 0;
    for (int order : m.orders) {
        for (int row = 0; row < m.patternRows[order]; row++) {
            for (int k = 0; k < m.channels; k++) {
                const XmCell& c = cellAt(m, order, row, k);
                if (c.effect == 0xF && c.parameter < 32) speed = c.parameter;
            }
            frames += long(speed) * 882;
        }
    }
    EXPECT_EQ(frames, 8L * 64 * 5 * 882); // 51.2 s
}

// A mistyped note shows up as one outside the key: every note, and every
// note an arpeggio adds to it, belongs to C major.
TEST(Modules, TitleMusicStaysInCMajor) {
    XmModule m = committedModule("music");
    const bool inKey[12] = {true,  false, true,  false, true,  true,
                            false, true,  false, true,  false, true};
    int notes = 0;
    for (const auto& cells : m.patterns) {
        for (const XmCell& c : cells) {
            if (c.note < 1 || c.note > 96) continue;
            notes++;
            int semitone = (c.note - 1) % 12;
            EXPECT_TRUE(inKey[semitone]) << "note " << c.note;
            if (c.effect == 0 && c.parameter != 0) {
                EXPECT_TRUE(inKey[(semitone + (c.parameter >> 4)) % 12]) << "arpeggio " << c.note;
                EXPECT_TRUE(inKey[(semitone + (c.parameter & 15)) % 12]) << "arpeggio " << c.note;
            }
        }
    }
    EXPECT_GT(notes, 400);
}

struct EffectModule {
    const char* name;
    int channels;
    int speedParameter;
    uint32_t sampleLength;
};

TEST(Modules, SoundEffectsStartOneUnloopedSampleAtMiddleC) {
    const EffectModule effects[] = {{"kick", 4, 0x0A, 362}, {"challenge", 16, 0x08, 676}};
    for (const EffectModule& e : effects) {
        SCOPED_TRACE(e.name);
        XmModule m = committedModule(e.name);
        EXPECT_EQ(m.channels, e.channels);
        EXPECT_EQ(m.orders, std::vector<int>{0});
        ASSERT_EQ(m.numPatterns, 1);
        EXPECT_EQ(m.patternRows[0], 2);
        ASSERT_EQ(m.numInstruments, 1);
        ASSERT_EQ(m.instruments[0].numSamples, 1);
        const XmSample& s = m.instruments[0].samples[0];
        // A 362-sample kick at 8363 Hz ends after 1909 frames of output.
        EXPECT_EQ(s.length, e.sampleLength);
        EXPECT_EQ(s.type & 3, 0);
        EXPECT_EQ(s.relativeNote, 0);
        EXPECT_EQ(s.finetune, 0);
        int notes = 0;
        for (const XmCell& c : m.patterns[0]) {
            if (c.note == 0) continue;
            notes++;
            EXPECT_EQ(c.note, 49); // C-4
            EXPECT_EQ(c.instrument, 1);
        }
        EXPECT_EQ(notes, 1);
        const XmCell& first = cellAt(m, 0, 0, 0);
        EXPECT_EQ(first.note, 49);
        EXPECT_EQ(first.effect, 0xF);
        EXPECT_EQ(first.parameter, e.speedParameter);
        EXPECT_EQ(effectsUsed(m), std::set<int>{0xF});
    }
}

} // namespace
