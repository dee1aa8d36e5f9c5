// The modules as the game's own player plays them: no envelopes, a key off
// cuts a channel, a one-shot is heard for its first 11050 frames.
#include "audio/mixer.h"
#include "audio/sequencer.h"
#include "audio/xm.h"
#include "tests/tools/musicgen/xm_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <set>

namespace {

std::vector<uint8_t> moduleBytes(const char* name) {
    return readFileBytes(std::string(SOCCER_SOURCE_DIR) + "/resources/" + name + ".xm");
}

// Renders `frames` frames of 16-bit stereo from the start of `song`, tick by
// tick; `afterTick` sees the song right after each tick.
std::vector<int16_t> render(Song* song, long frames,
                            const std::function<void(const Song&, bool rowTick)>& afterTick) {
    clearVoices();
    resetSongState(song);
    std::vector<int16_t> out(size_t(frames) * 2);
    std::vector<float> mix;
    long done = 0;
    int left = 0;
    while (done < frames) {
        if (left == 0) {
            bool rowTick = song->tick == 0;
            songTick(song);
            if (afterTick) afterTick(*song, rowTick);
            left = song->samplesPerTick;
        }
        int n = int(std::min<long>(left, frames - done));
        mix.assign(size_t(n) * 2, 0.0f);
        mixVoices(mix.data(), n);
        convertBlock(out.data() + done * 2, mix.data(), n);
        done += n;
        left -= n;
    }
    return out;
}

bool sounding(const Voice* v) {
    return v != nullptr && v->sample != nullptr && v->sample->length > 0 && v->volume > 0;
}

TEST(Playback, EveryModuleLoads) {
    for (const char* name : {"music", "kick", "challenge"}) {
        std::vector<uint8_t> bytes = moduleBytes(name);
        Song* song = loadSongFromMemory(bytes.data(), bytes.size());
        ASSERT_NE(song, nullptr) << name;
        EXPECT_EQ(song->flags & SongLinearFrequencies, SongLinearFrequencies);
        freeSong(song);
    }
}

// Each written note must reach the ear: a note after a key off without its
// instrument, a slide on a silenced channel, a zero volume or an instrument
// without a sample would each leave it out.
TEST(Playback, EveryNoteOfTheTitleMusicIsHeard) {
    std::vector<uint8_t> bytes = moduleBytes("music");
    XmModule m = readXmModule(bytes);
    Song* song = loadSongFromMemory(bytes.data(), bytes.size());
    ASSERT_NE(song, nullptr);
    int notesChecked = 0;
    long songFrames = 8L * 64 * 5 * 882;
    // Once round and into the restart.
    std::vector<int16_t> out =
        render(song, songFrames + 64 * 5 * 882, [&](const Song& s, bool rowTick) {
            if (!rowTick) return;
            int pattern = s.orderTable[s.order];
            for (int k = 0; k < s.numChannels; k++) {
                const XmCell& c = m.patterns[pattern][s.row * m.channels + k];
                if (c.note < 1 || c.note > 96) continue;
                notesChecked++;
                EXPECT_TRUE(sounding(channels[k].voice))
                    << "order " << s.order << " row " << s.row << " channel " << k;
                if (c.effect != 3) {
                    EXPECT_EQ(channels[k].realNote, c.note - 1) << "relative note 0";
                }
            }
        });
    EXPECT_GT(notesChecked, 800);
    // Loud enough to enjoy, never clipped, and no bar falls silent.
    int peak = 0;
    for (int16_t v : out) peak = std::max(peak, std::abs(int(v)));
    EXPECT_GT(peak, 12000);
    EXPECT_LT(peak, 30000);
    const long barFrames = 16L * 5 * 882;
    for (long bar = 0; bar * barFrames < songFrames; bar++) {
        double sum = 0.0;
        for (long i = bar * barFrames * 2; i < (bar + 1) * barFrames * 2; i++)
            sum += double(out[i]) * out[i];
        EXPECT_GT(std::sqrt(sum / double(barFrames * 2)), 1500.0) << "bar " << bar;
    }
    freeSong(song);
}

TEST(Playback, TitleMusicReturnsToItsIntroAfterFiftyOneSeconds) {
    std::vector<uint8_t> bytes = moduleBytes("music");
    Song* song = loadSongFromMemory(bytes.data(), bytes.size());
    ASSERT_NE(song, nullptr);
    int rowTicks = 0, lastOrder = -1, lastRow = -1;
    render(song, 8L * 64 * 5 * 882 + 1, [&](const Song& s, bool rowTick) {
        if (!rowTick) return;
        rowTicks++;
        lastOrder = s.order;
        lastRow = s.row;
        EXPECT_EQ(s.speed, 5);
    });
    // Frame 0 of the 513th row is the restart: order 0, row 0 again.
    EXPECT_EQ(rowTicks, 8 * 64 + 1);
    EXPECT_EQ(lastOrder, 0);
    EXPECT_EQ(lastRow, 0);
    freeSong(song);
}

// The kick's 362 samples at 8363 Hz last 1909 output frames, the tackle's 676
// last 3565: both end well inside the 11050 frames a one-shot is heard, and
// both hit hard from the start.
TEST(Playback, SoundEffectsEndInsideTheOneShot) {
    const struct {
        const char* name;
        long endFrame;
    } effects[] = {{"kick", 1909}, {"challenge", 3565}};
    for (const auto& e : effects) {
        SCOPED_TRACE(e.name);
        std::vector<uint8_t> bytes = moduleBytes(e.name);
        Song* song = loadSongFromMemory(bytes.data(), bytes.size());
        ASSERT_NE(song, nullptr);
        std::vector<int16_t> out = render(song, 11050, nullptr);
        EXPECT_EQ(voices[0].sample, nullptr) << "the voice has ended";
        long lastSound = -1;
        int peak = 0;
        for (long i = 0; i < 11050 * 2; i++) {
            if (out[i] != 0) lastSound = i / 2;
            if (i < 800) peak = std::max(peak, std::abs(int(out[i])));
        }
        EXPECT_LT(lastSound, e.endFrame);
        EXPECT_GT(lastSound, e.endFrame - 200);
        EXPECT_GT(peak, 6000);
        // Centred: both sides alike.
        for (long i = 0; i < 11050; i++) EXPECT_EQ(out[i * 2], out[i * 2 + 1]) << i;
        freeSong(song);
    }
}

// Width from the samples' panning, heard as the game's mixer places a pan
// (255 in the first channel only): the chords left and the hi-hat right,
// lead, bass, bass drum and snare in the middle. Over the whole loop the two
// channels correlate well below 1.
TEST(Playback, TitleMusicIsWideWithLeadAndBassInTheMiddle) {
    std::vector<uint8_t> bytes = moduleBytes("music");
    Song* song = loadSongFromMemory(bytes.data(), bytes.size());
    ASSERT_NE(song, nullptr);
    std::set<int> pans[4]; // of the sounding voices, channel by channel
    std::vector<int16_t> out = render(song, 8L * 64 * 5 * 882, [&](const Song& s, bool) {
        for (int k = 0; k < s.numChannels; k++) {
            if (sounding(channels[k].voice)) pans[k].insert(channels[k].voice->pan);
        }
    });
    EXPECT_EQ(pans[0], std::set<int>{128}) << "lead";
    EXPECT_EQ(pans[1], std::set<int>{128}) << "bass";
    EXPECT_EQ(pans[2], (std::set<int>{48, 128})) << "drums: hi-hat right";
    EXPECT_EQ(pans[3], std::set<int>{208}) << "chords left";
    double l = 0, r = 0, ll = 0, rr = 0, lr = 0, n = double(out.size() / 2);
    for (size_t i = 0; i < out.size(); i += 2) {
        l += out[i];
        r += out[i + 1];
        ll += double(out[i]) * out[i];
        rr += double(out[i + 1]) * out[i + 1];
        lr += double(out[i]) * out[i + 1];
    }
    double correlation =
        (lr / n - l / n * r / n) / std::sqrt((ll / n - l / n * l / n) * (rr / n - r / n * r / n));
    EXPECT_LT(correlation, 0.95);
    freeSong(song);
}

// The share of the first channel's energy above `hz` in a 44100 Hz render:
// all of it less the DFT bins up to hz (Parseval; each bin but the first
// stands for its mirror too).
double energyShareAbove(const std::vector<int16_t>& stereo, double hz) {
    size_t n = stereo.size() / 2;
    double total = 0.0, below = 0.0;
    for (size_t i = 0; i < n; i++) total += double(stereo[i * 2]) * stereo[i * 2];
    for (size_t k = 0; k <= size_t(hz * double(n) / 44100.0); k++) {
        double re = 0.0, im = 0.0;
        for (size_t i = 0; i < n; i++) {
            double angle = 2.0 * M_PI * double(k * i % n) / double(n);
            re += stereo[i * 2] * std::cos(angle);
            im -= stereo[i * 2] * std::sin(angle);
        }
        below += (k == 0 ? 1.0 : 2.0) * (re * re + im * im) / double(n);
    }
    return 1.0 - below / total;
}

// A kick must be heard on laptop speakers: a bright crack carries at least a
// fifth of its energy above 1 kHz, while the thud keeps two fifths below
// 400 Hz.
TEST(Playback, KickCarriesOnSmallSpeakers) {
    std::vector<uint8_t> bytes = moduleBytes("kick");
    Song* song = loadSongFromMemory(bytes.data(), bytes.size());
    ASSERT_NE(song, nullptr);
    std::vector<int16_t> out = render(song, 11050, nullptr);
    EXPECT_GE(energyShareAbove(out, 1000.0), 0.2);
    EXPECT_LE(energyShareAbove(out, 400.0), 0.6);
    freeSong(song);
}

} // namespace
