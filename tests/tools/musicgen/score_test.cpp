// The score reader, the packer and the synthesized sounds.
#include "tests/tools/musicgen/xm_reader.h"
#include "tools/musicgen/musicgen.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

namespace {

const char* const header = "title \"Test\"\n"
                           "channels 2\n"
                           "order 0\n"
                           "instrument 1 lead volume 40 pan 100 relnote -12 \"Lead\"\n"
                           "instrument 2 none \"Spare\"\n";

bool parse(const std::string& text, Score* score, std::string* error) {
    return parseScore(header + text, score, error);
}

TEST(Score, CellsReadAsATrackerWritesThem) {
    Score score;
    std::string error;
    ASSERT_TRUE(parse("pattern 0 rows 3\n"
                      "00 C-4 01 50 F05 | C#0 .. .. 047\n"
                      "01 === .. .. ... | B-7 02 10 K00\n"
                      "02 --- .. 6F ... | --- .. .. 3A0\n",
                      &score, &error))
        << error;
    ASSERT_EQ(score.patterns.size(), 1u);
    const std::vector<ScoreCell>& c = score.patterns[0].cells;
    ASSERT_EQ(c.size(), 6u);
    EXPECT_EQ(c[0].note, 49);
    EXPECT_EQ(c[0].instrument, 1);
    EXPECT_EQ(c[0].volume, 0x50);
    EXPECT_EQ(c[0].effect, 0xF);
    EXPECT_EQ(c[0].parameter, 5);
    EXPECT_EQ(c[1].note, 2);
    EXPECT_EQ(c[1].effect, 0);
    EXPECT_EQ(c[1].parameter, 0x47);
    EXPECT_EQ(c[2].note, 97);
    EXPECT_EQ(c[3].note, 96);
    EXPECT_EQ(c[3].volume, 0x10);
    EXPECT_EQ(c[3].effect, 20);
    EXPECT_EQ(c[4].note, 0);
    EXPECT_EQ(c[4].volume, 0x6F);
    EXPECT_EQ(c[5].effect, 3);
    EXPECT_EQ(c[5].parameter, 0xA0);
    EXPECT_EQ(score.channels, 2);
    EXPECT_EQ(score.speed, 6);
    EXPECT_EQ(score.bpm, 125);
    ASSERT_EQ(score.instruments.size(), 2u);
    EXPECT_EQ(score.instruments[0].volume, 40);
    EXPECT_EQ(score.instruments[0].pan, 100);
    EXPECT_EQ(score.instruments[0].relativeNote, -12);
    EXPECT_EQ(score.instruments[1].voice, "none");
    EXPECT_EQ(score.instruments[1].name, "Spare");
}

TEST(Score, FaultsAreRefusedWithTheirLine) {
    const struct {
        const char* text;
        const char* line;
    } bad[] = {
        {"pattern 0 rows 1\n00 H-4 01 .. ... | --- .. .. ...\n", "line 7"}, // no such note
        {"pattern 0 rows 1\n00 C-8 01 .. ... | --- .. .. ...\n", "line 7"}, // beyond B-7
        {"pattern 0 rows 1\n00 C-4 03 .. ... | --- .. .. ...\n", "line 7"}, // instrument 3
        {"pattern 0 rows 1\n00 C-4 01 05 ... | --- .. .. ...\n", "line 7"}, // volume byte 05
        {"pattern 0 rows 1\n00 C-4 01 .. ... | --- .. .. ... | --- .. .. ...\n", "line 7"},
        {"pattern 0 rows 1\n00 C-4 01 .. ...\n", "line 7"},                 // one channel short
        {"pattern 0 rows 2\n00 C-4 01 .. ... | --- .. .. ...\n", "line 7"}, // one row short
        {"pattern 0 rows 1\n01 C-4 01 .. ... | --- .. .. ...\n", "line 7"}, // wrong row number
        {"pattern 0 rows 1\n00 --- .. .. ... | --- .. .. ...\n00 --- .. .. ... | --- .. .. ...\n",
         "line 8"},
        {"pattern 1 rows 1\n", "line 6"}, // patterns in order
        {"pattern 0 rows 0\n", "line 6"}, // no empty patterns
        {"restart 1\npattern 0 rows 1\n00 --- .. .. ... | --- .. .. ...\n", "line 8"},
        {"order 0 1\npattern 0 rows 1\n00 --- .. .. ... | --- .. .. ...\n", "line 8"},
        {"channels 33\n", "line 6"},
        {"instrument 4 lead \"Gap\"\n", "line 6"},
        {"instrument 3 lead split C-5 \"Split\"\n", "line 6"},     // no pan
        {"instrument 3 lead split C-0 64 \"Split\"\n", "line 6"},  // splits nothing
        {"instrument 3 lead split C-5 256 \"Split\"\n", "line 6"}, // pan beyond 255
        {"instrument 3 lead pan 64 split \"Split\"\n", "line 6"},  // split alone
        {"instrument 3 lead volume 40 pan \"Split\"\n", "line 6"}, // key without value
        {"pattern 0 rows 1\n00 --- .. .. ... | --- .. .. ...\nspeed 5\n", "line 8"},
    };
    for (const auto& b : bad) {
        Score score;
        std::string error;
        EXPECT_FALSE(parse(b.text, &score, &error)) << b.text;
        EXPECT_EQ(error.rfind(b.line, 0), 0u) << b.text << " -> " << error;
    }
}

TEST(Score, CellsArePackedAsTheTrackerPacksThem) {
    Score score;
    std::string error;
    ASSERT_TRUE(parse("pattern 0 rows 2\n"
                      "00 C-4 01 50 F05 | --- .. .. ...\n"
                      "01 === .. .. ... | --- 02 .. 400\n",
                      &score, &error))
        << error;
    std::vector<uint8_t> xm = buildXm(score);
    // Pattern header at 336: length 9, packing 0, 2 rows, then the data.
    const uint8_t expected[] = {9,    0,    0,    0,    0,    2, 0, 11, 0, // header, 11 bytes
                                0x31, 0x01, 0x50, 0x0F, 0x05,              // full cell, unpacked
                                0x80,                                      // empty cell
                                0x81, 97,                                  // key off
                                0x8A, 0x02, 0x04};                         // instrument, effect 4
    ASSERT_GE(xm.size(), 336u + sizeof expected);
    EXPECT_TRUE(std::equal(std::begin(expected), std::end(expected), xm.begin() + 336));
    XmModule m = readXmModule(xm);
    EXPECT_TRUE(m.ok);
    EXPECT_EQ(m.bytesUsed, xm.size());
    ASSERT_EQ(m.instruments.size(), 2u);
    EXPECT_EQ(m.instruments[0].headerSize, 263u);
    EXPECT_EQ(m.instruments[1].numSamples, 0);
    ASSERT_EQ(m.instruments[0].samples.size(), 1u);
    const XmSample& s = m.instruments[0].samples[0];
    EXPECT_EQ(s.volume, 40);
    EXPECT_EQ(s.pan, 100);
    EXPECT_EQ(s.relativeNote, -12);
    EXPECT_EQ(s.type, 1); // 8-bit, forward loop
    SynthSample lead{{}, 0, 0};
    ASSERT_TRUE(synthesizeVoice("lead", &lead));
    EXPECT_EQ(s.data, lead.data); // the deltas decode back to the sound
    EXPECT_EQ(int(s.loopStart), lead.loopStart);
    EXPECT_EQ(int(s.loopLength), lead.loopLength);
}

// A split instrument holds the sound twice, identical but for the pan, and
// its keymap sends the notes from the split on to the second copy.
TEST(Score, ASplitInstrumentHasTwoPannedCopies) {
    Score score;
    std::string error;
    ASSERT_TRUE(parseScore("title \"Split\"\nchannels 1\norder 0\n"
                           "instrument 1 noise pan 200 split C#5 40 volume 30 \"Hat\"\n"
                           "pattern 0 rows 1\n00 C-4 01 .. ...\n",
                           &score, &error))
        << error;
    XmModule m = readXmModule(buildXm(score));
    ASSERT_TRUE(m.ok);
    ASSERT_EQ(m.instruments[0].samples.size(), 2u);
    const XmSample& low = m.instruments[0].samples[0];
    const XmSample& high = m.instruments[0].samples[1];
    EXPECT_EQ(low.pan, 200);
    EXPECT_EQ(high.pan, 40);
    EXPECT_EQ(high.volume, 30);
    EXPECT_EQ(low.data, high.data);
    std::vector<int> keymap(96, 0);
    std::fill(keymap.begin() + 61, keymap.end(), 1); // C#5 is note 62
    EXPECT_EQ(m.instruments[0].keymap, keymap);
}

double rms(const std::vector<int8_t>& d, size_t from, size_t to) {
    double sum = 0.0;
    for (size_t i = from; i < to; i++) sum += double(d[i]) * d[i];
    return std::sqrt(sum / double(to - from));
}

TEST(Voices, SoundEffectsAreShortPunchyAndEndInSilence) {
    for (const char* voice : {"kick", "crunch", "bass", "drum", "noise"}) {
        SCOPED_TRACE(voice);
        SynthSample s{{}, 0, 0};
        ASSERT_TRUE(synthesizeVoice(voice, &s));
        size_t n = s.data.size();
        EXPECT_EQ(s.loopLength, 0);
        EXPECT_EQ(s.data.back(), 0); // no click where the sample stops
        int peak = 0;
        for (size_t i = 0; i < n / 4; i++) peak = std::max(peak, std::abs(int(s.data[i])));
        EXPECT_GE(peak, 90) << "a strong attack";
        EXPECT_LT(rms(s.data, n / 2, n), rms(s.data, 0, n / 2)) << "dies away";
    }
    SynthSample kick{{}, 0, 0}, crunch{{}, 0, 0};
    ASSERT_TRUE(synthesizeVoice("kick", &kick));
    ASSERT_TRUE(synthesizeVoice("crunch", &crunch));
    EXPECT_EQ(kick.data.size(), 362u);
    EXPECT_EQ(crunch.data.size(), 676u);
    EXPECT_FALSE(synthesizeVoice("violin", &kick));
}

TEST(Voices, LeadLoopsWholeCyclesWithoutOffset) {
    SynthSample s{{}, 0, 0};
    ASSERT_TRUE(synthesizeVoice("lead", &s));
    ASSERT_GT(s.loopLength, 0);
    EXPECT_EQ(s.loopStart + s.loopLength, int(s.data.size()));
    EXPECT_EQ(s.loopLength % 32, 0);
    long sum = 0;
    for (int i = s.loopStart; i < s.loopStart + s.loopLength; i++) {
        // 32 samples a cycle: C-4 sounds at 8363 / 32 = 261 Hz.
        if (i + 32 < int(s.data.size())) {
            EXPECT_EQ(s.data[i], s.data[i + 32]) << i;
        }
        sum += s.data[i];
    }
    // Mean near zero: a held note carries no DC that would thump at a key off.
    EXPECT_LE(std::abs(sum) / s.loopLength, 2);
    // The loop joins its start without a jump larger than the pulse's own edges.
    EXPECT_EQ(s.data[s.loopStart], s.data[s.loopStart + 32]);
}

TEST(Voices, SynthesisIsRepeatable) {
    for (const char* voice : {"lead", "bass", "drum", "noise", "kick", "crunch"}) {
        SynthSample a{{}, 0, 0}, b{{}, 0, 0};
        ASSERT_TRUE(synthesizeVoice(voice, &a));
        ASSERT_TRUE(synthesizeVoice(voice, &b));
        EXPECT_EQ(a.data, b.data) << voice;
    }
}

} // namespace
