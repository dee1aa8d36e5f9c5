#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "audio/mixer.h"
#include "audio/output.h"
#include "audio/sequencer.h"
#include "audio/xm.h"
#include "tests/audio/xm_builder.h"

// A sample of `length` entries of `level` (plus the 8 spare entries).
struct TestData {
    std::vector<int16_t> data;
    Sample sample = {};
    TestData(uint32_t length, int16_t level, uint8_t loopMode = LoopNone, int32_t loopStart = 0,
             int32_t loopLength = 0) {
        data.assign(length + 8, 0);
        for (uint32_t i = 0; i < length; i++) data[i] = level;
        sample.data = data.data();
        sample.length = length;
        sample.loopMode = loopMode;
        sample.loopStart = loopMode == LoopNone ? 0 : loopStart;
        sample.loopLength = loopMode == LoopNone ? int32_t(length) : loopLength;
        sample.bits = 16;
    }
};

// Voice 0 on `s` at steady weights (no ramp).
static Voice* steadyVoice(const Sample* s, int volumeA, int volumeB, uint32_t increment,
                          uint32_t frac) {
    clearVoices();
    Voice* v = &voices[0];
    v->sample = s;
    v->volumeA = v->rampTargetA = volumeA;
    v->volumeB = v->rampTargetB = volumeB;
    v->rampA = uint32_t(volumeA) << 8;
    v->rampB = uint32_t(volumeB) << 8;
    v->increment = int32_t(increment);
    v->incrementFrac = frac;
    v->direction = VoiceForward;
    return v;
}

TEST(Mixer, NonLoopingSampleEndsAfterItsFrames) {
    TestData t(362, 1000);
    for (int i = 1; i < 362; i++) t.data[i] = int16_t(1000 + i * 37 % 2000);
    Voice* v = steadyVoice(&t.sample, 255, 0, 0, 814485521u);
    std::vector<float> buf(2 * 2000, 0.0f);
    mixVoices(buf.data(), 2000);
    EXPECT_EQ(v->sample, nullptr);
    EXPECT_EQ(v->position, 0);
    EXPECT_EQ(v->positionFrac, 0u);
    EXPECT_EQ(buf[0], 1000.0f);
    EXPECT_NE(buf[2 * 1908], 0.0f);
    EXPECT_EQ(buf[2 * 1909], 0.0f);
    EXPECT_EQ(buf[1], 0.0f);

    // The same frames in small calls, down to one frame at a time (the
    // plain path of the paired loop).
    for (int size : {1, 7}) {
        steadyVoice(&t.sample, 255, 0, 0, 814485521u);
        std::vector<float> pieces(2 * 2000, 0.0f);
        for (int at = 0; at < 2000; at += size)
            mixVoices(pieces.data() + 2 * at, std::min(size, 2000 - at));
        EXPECT_EQ(pieces, buf) << size;
    }
}

TEST(Mixer, InterpolatesLinearly) {
    TestData t(4, 0);
    t.data = {0, 1000, -1000, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    t.sample.data = t.data.data();
    steadyVoice(&t.sample, 255, 51, 0, 0x40000000u); // a quarter frame per frame
    float buf[2 * 6] = {};
    mixVoices(buf, 6);
    const float first[6] = {0, 250, 500, 750, 1000, 500};
    for (int i = 0; i < 6; i++) {
        EXPECT_EQ(buf[2 * i], first[i]) << i;
        EXPECT_EQ(buf[2 * i + 1], float(first[i] * (51 / 255.0))) << i;
    }
}

TEST(Mixer, ForwardLoopWraps) {
    TestData t(20, 100, LoopForward, 10, 10);
    Voice* v = steadyVoice(&t.sample, 255, 255, 1, 0);
    v->position = 19;
    v->positionFrac = 0x80000000u;
    float buf[4] = {};
    mixVoices(buf, 1);
    EXPECT_EQ(v->position, 10);
    EXPECT_EQ(v->positionFrac, 0x80000000u);
    EXPECT_EQ(v->sample, &t.sample);
    // Far beyond the end in one step: one remainder, not a long walk.
    v->increment = 1000003;
    mixVoices(buf, 1);
    EXPECT_EQ(v->position, 10 + int((0 + 1000003) % 10));
}

TEST(Mixer, ForwardLoopShortOfTheEndKeepsItsFraction) {
    // The end is planned in 2^-24 frame units: from 18 + (1 - 254 x 2^-32)
    // one step of 1.0 leaves the position 254 x 2^-32 short of 20, and the
    // wrap puts it as far before the loop start, between entries 9 and 10.
    TestData t(20, 0, LoopForward, 10, 10);
    t.data[9] = -32768;
    t.data[10] = 32767;
    Voice* v = steadyVoice(&t.sample, 255, 255, 1, 0);
    v->position = 18;
    v->positionFrac = 0xFFFFFF02u;
    float buf[4] = {};
    mixVoices(buf, 2);
    EXPECT_EQ(v->position, 10);
    EXPECT_EQ(v->positionFrac, 0xFFFFFF02u);
    double t1 = double(0xFFFFFF02u >> 1) * 0x1p-31;
    EXPECT_EQ(buf[2], float(-32768 + t1 * 65535));
    EXPECT_EQ(buf[3], buf[2]);
    // A loop from the sample's first entry starts there instead.
    TestData z(10, 0, LoopForward, 0, 10);
    v = steadyVoice(&z.sample, 255, 255, 1, 0);
    v->position = 8;
    v->positionFrac = 0xFFFFFF02u;
    mixVoices(buf, 1);
    EXPECT_EQ(v->position, 0);
    EXPECT_EQ(v->positionFrac, 0u);
}

TEST(Mixer, PingPongLoopReflects) {
    TestData t(30, 100, LoopPingPong, 10, 10);
    Voice* v = steadyVoice(&t.sample, 255, 255, 1, 0x40000000u);
    v->position = 19;
    float buf[2 * 16] = {};
    mixVoices(buf, 1); // reaches 20.25
    EXPECT_EQ(v->direction, VoiceBackward);
    EXPECT_EQ(v->position, 19);
    EXPECT_EQ(v->positionFrac, 0xC0000000u - 1);
    // Backward from 10.5 by 1.25 reaches 9.25 and turns at the loop start.
    v->position = 10;
    v->positionFrac = 0x80000000u;
    mixVoices(buf, 1);
    EXPECT_EQ(v->direction, VoiceForward);
    EXPECT_EQ(v->position, 10);
    EXPECT_EQ(v->positionFrac, 0xC0000000u - 1);
    // Many frames keep it inside the loop.
    for (int i = 0; i < 100; i++) {
        mixVoices(buf, 16);
        EXPECT_GE(v->position, 10);
        EXPECT_LT(v->position, 20);
    }
}

TEST(Mixer, VolumeChangesRampOver128Frames) {
    TestData t(1000, 10000, LoopForward, 0, 1000);
    Voice* v = steadyVoice(&t.sample, 0, 0, 1, 0);
    v->volume = 127;
    v->pan = 128;
    v->volumeA = 127 * 128 / 255;
    v->volumeB = 127 * 127 / 255;
    EXPECT_EQ(v->volumeA, 63);
    EXPECT_EQ(v->volumeB, 63);
    std::vector<float> buf(2 * 200, 0.0f);
    mixVoices(buf.data(), 200);
    const float step = 63 * (1.0f / 255.0f) * (1.0f / 128.0f);
    double a = 0;
    for (int i = 0; i < 128; i++) {
        EXPECT_EQ(buf[2 * i], float(10000.0 * a)) << i;
        a += step;
    }
    EXPECT_EQ(buf[2 * 128], float(10000.0 * (63 / 255.0)));
    EXPECT_EQ(buf[2 * 199], float(10000.0 * (63 / 255.0)));
    EXPECT_EQ(v->rampRemaining, 0);
    EXPECT_EQ(v->rampA, 63u << 8);
    EXPECT_EQ(v->rampB, 63u << 8);
}

TEST(Mixer, RampCorners) {
    TestData t(1000, 10000, LoopForward, 0, 1000);
    // A change back to the level a running ramp has reached ends that ramp.
    Voice* v = steadyVoice(&t.sample, 0, 0, 1, 0);
    v->volumeA = v->volumeB = 100;
    std::vector<float> buf(2 * 256, 0.0f);
    mixVoices(buf.data(), 64);
    EXPECT_EQ(v->rampRemaining, 64);
    int level = int(v->rampA >> 8);
    EXPECT_EQ(level, 50);
    v->volumeA = v->volumeB = level;
    mixVoices(buf.data() + 128, 2);
    EXPECT_EQ(v->rampRemaining, 0);
    EXPECT_EQ(v->rampA, uint32_t(level) << 8);
    EXPECT_EQ(buf[128], float(10000.0 * (level / 255.0)));
    mixVoices(buf.data() + 132, 100);
    EXPECT_EQ(buf[132 + 2 * 99], float(10000.0 * (level / 255.0)));

    // A ramp restarted with one side unchanged holds that side still.
    v = steadyVoice(&t.sample, 0, 0, 1, 0);
    v->volumeA = v->volumeB = 100;
    mixVoices(buf.data(), 64);
    uint32_t heldB = v->rampB;
    v->volumeA = 20;
    v->volumeB = int(heldB >> 8);
    mixVoices(buf.data(), 10);
    EXPECT_EQ(v->rampStepB, 0.0f);
    EXPECT_EQ(v->rampB, heldB);
    mixVoices(buf.data(), 118);
    EXPECT_EQ(v->rampB, heldB >> 8 << 8);
    EXPECT_EQ(v->rampA, 20u << 8);
    EXPECT_EQ(v->rampRemaining, 0);
}

TEST(Mixer, SilentVoicesAddNothing) {
    clearVoices();
    std::vector<float> buf(2 * 100, 0.0f);
    mixVoices(buf.data(), 100);
    mixVoices(buf.data(), 0);
    mixVoices(buf.data(), -5);
    for (float f : buf) EXPECT_EQ(f, 0.0f);
    int16_t out[200];
    for (int16_t& s : out) s = 7;
    convertBlock(out, buf.data(), 100);
    for (int16_t s : out) EXPECT_EQ(s, 0);

    // A faded voice keeps moving through its sample without sound.
    TestData t(100, 1000, LoopForward, 0, 100);
    Voice* v = steadyVoice(&t.sample, 0, 0, 1, 0x80000001u);
    mixVoices(buf.data(), 99);
    for (float f : buf) EXPECT_EQ(f, 0.0f);
    Voice moved = *v;
    steadyVoice(&t.sample, 1, 1, 1, 0x80000001u);
    mixVoices(buf.data(), 99);
    EXPECT_EQ(voices[0].position, moved.position);
    EXPECT_EQ(voices[0].positionFrac, moved.positionFrac);
}

TEST(Mixer, ConversionRoundsToEvenAndClips) {
    const float in[10] = {40000.0f, -40000.0f, 2.5f,     3.5f,      -2.5f,
                          0.49f,    -0.5f,     32767.4f, -32768.6f, 1e30f};
    const int16_t expected[10] = {32767, -32768, 2, 4, -2, 0, 0, 32767, -32768, 32767};
    int16_t out[10] = {};
    convertBlock(out, in, 5);
    for (int i = 0; i < 10; i++) EXPECT_EQ(out[i], expected[i]) << i;
    out[0] = 5;
    convertBlock(out, nullptr, 5);
    convertBlock(nullptr, in, 5);
    convertBlock(out, in, 0);
    EXPECT_EQ(out[0], 5);
}

// Every tick starts a one-frame click on a voice of its own, so the ring
// shows where the block renderer ran the ticks.
static std::vector<int> tickBlocks;
static int16_t clickData[9] = {20000, 0, 0, 0, 0, 0, 0, 0, 0};
static Sample click = {clickData, 1, 0, 1, 64, 0, 128, 16, LoopNone, 0};

static void clickTick(Song* s) {
    Voice* v = &voices[tickBlocks.size()];
    *v = {};
    v->sample = &click;
    v->volumeA = v->rampTargetA = 255;
    v->rampA = 255 << 8;
    v->increment = 1;
    tickBlocks.push_back(output.fillIndex);
    s->samplesPerTick = 882;
}

TEST(Mixer, TicksInterleaveWithBlocks) {
    TestModule m;
    m.patterns.push_back({1, {}});
    std::vector<uint8_t> bytes = buildXm(m);
    Song* song = loadSongFromMemory(bytes.data(), bytes.size());
    ASSERT_NE(song, nullptr);
    clearVoices();
    resetSongState(song);
    song->tickRoutine = clickTick;
    tickBlocks.clear();
    output.currentSong = song;
    output.timeStep = 1.0f / 44100;
    output.ring = static_cast<int16_t*>(std::calloc(ringFrames, 4));
    output.mixBuffer = static_cast<float*>(std::calloc(ringFrames, 8));
    output.blockRecords = static_cast<BlockRecord*>(std::calloc(blockCount, sizeof(BlockRecord)));
    output.fillIndex = 0;
    fillBlock();
    fillBlock();
    EXPECT_EQ(tickBlocks, (std::vector<int>{0, 0, 1}));
    EXPECT_EQ(output.fillIndex, 2);
    for (int f = 0; f < 2 * blockFrames; f++) {
        bool expectClick = f == 0 || f == 882 || f == 1764;
        EXPECT_EQ(output.ring[2 * f], expectClick ? 20000 : 0) << f;
    }
    EXPECT_EQ(song->samplesLeftInTick, 882 - 4);
    EXPECT_EQ(output.blockRecords[0].timeMs, 19);
    EXPECT_EQ(output.blockRecords[1].timeMs, 38);
    std::free(output.ring);
    std::free(output.mixBuffer);
    std::free(output.blockRecords);
    output.ring = nullptr;
    output.mixBuffer = nullptr;
    output.blockRecords = nullptr;
    output.currentSong = nullptr;
    output.fillIndex = 0;
    freeSong(song);
}
