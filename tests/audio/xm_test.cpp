#include <gtest/gtest.h>

#include <dirent.h>

#include <cstdio>
#include <string>
#include <vector>

#include "audio/mixer.h"
#include "audio/output.h"
#include "audio/stream.h"
#include "audio/xm.h"
#include "platform/audio_device.h"
#include "tests/audio/xm_builder.h"

static Song* load(const TestModule& m) {
    std::vector<uint8_t> bytes = buildXm(m);
    return loadSongFromMemory(bytes.data(), bytes.size());
}

static TestModule oneSampleModule(const TestSample& s) {
    TestModule m;
    m.patterns.push_back({1, {}});
    TestInstrument ins;
    ins.samples.push_back(s);
    m.instruments.push_back(ins);
    return m;
}

TEST(XmLoader, ReadsTheHeader) {
    TestModule m;
    m.channels = 3;
    m.songLength = 2;
    m.restart = 1;
    m.speed = 5;
    m.bpm = 140;
    m.orders = {0, 0};
    m.patterns.push_back({4, {}});
    Song* song = load(m);
    ASSERT_NE(song, nullptr);
    EXPECT_EQ(song->numChannels, 3);
    EXPECT_EQ(song->songLength, 2);
    EXPECT_EQ(song->restartPosition, 1);
    EXPECT_EQ(song->defaultSpeed, 5);
    EXPECT_EQ(song->defaultBpm, 140);
    EXPECT_EQ(song->flags, 1);
    EXPECT_EQ(song->defaultGlobalVolume, 64);
    EXPECT_EQ(song->patternCount, 1);
    EXPECT_EQ(song->patterns[0].rows, 4);
    EXPECT_NE(song->tickRoutine, nullptr);
    freeSong(song);
}

TEST(XmLoader, UnpacksCells) {
    TestModule m;
    m.channels = 2;
    std::vector<uint8_t> data = {0x83, 0x31, 0x02};         // packed: note 49, instrument 2
    for (uint8_t b : {0x61, 0, 0, 0, 0}) data.push_back(b); // unpacked note 97
    for (uint8_t b : {0x0C, 200, 0x50, 0x0F, 0x05}) data.push_back(b);
    for (uint8_t b : {0x62, 1, 0, 0, 0}) data.push_back(b); // note 98
    data.insert(data.end(), {0x98, 0x0A, 0x33});            // packed: effect 10, parameter 0x33
    data.push_back(0x80);                                   // packed: empty
    m.patterns.push_back({3, data});
    Song* song = load(m);
    ASSERT_NE(song, nullptr);
    const PatternCell* c = song->patterns[0].cells;
    EXPECT_EQ(c[0].note, 49);
    EXPECT_EQ(c[0].instrument, 2);
    EXPECT_EQ(c[0].volume | c[0].effect | c[0].parameter, 0);
    EXPECT_EQ(c[1].note, 255);
    EXPECT_EQ(c[2].note, 12);
    EXPECT_EQ(c[2].instrument, 0);
    EXPECT_EQ(c[2].volume, 0x50);
    EXPECT_EQ(c[2].effect, 0x0F);
    EXPECT_EQ(c[2].parameter, 0x05);
    EXPECT_EQ(c[3].note, 0);
    EXPECT_EQ(c[3].instrument, 1);
    EXPECT_EQ(c[4].note, 0);
    EXPECT_EQ(c[4].effect, 0x0A);
    EXPECT_EQ(c[4].parameter, 0x33);
    EXPECT_EQ(c[5].note | c[5].instrument | c[5].effect, 0);
    freeSong(song);
}

TEST(XmLoader, PatternsNamedButNotStoredAreEmpty) {
    TestModule m;
    m.channels = 2;
    m.songLength = 2;
    m.orders = {0, 7};
    for (int p = 0; p < 5; p++) m.patterns.push_back({2, cellBytes({{1}, {2}, {3}, {4}})});
    Song* song = load(m);
    ASSERT_NE(song, nullptr);
    EXPECT_EQ(song->orderPatternCount, 8);
    EXPECT_EQ(song->patternCount, 8);
    for (int p = 5; p < 8; p++) {
        EXPECT_EQ(song->patterns[p].rows, 64);
        for (int c = 0; c < 128; c++) EXPECT_EQ(song->patterns[p].cells[c].note, 0);
    }
    EXPECT_EQ(song->patterns[4].cells[3].note, 4);
    freeSong(song);
}

TEST(XmLoader, SampleHeaders) {
    TestSample s;
    s.type = 0x11; // 16-bit, forward loop, loop length 0
    s.bytes.assign(1000, 0);
    s.loopStart = 200;
    s.loopLength = 0;
    s.volume = 90; // beyond 64
    s.finetune = -16;
    s.pan = 200;
    s.relativeNote = -12;
    Song* song = load(oneSampleModule(s));
    ASSERT_NE(song, nullptr);
    const Sample* smp = song->instruments[0].samples[0];
    EXPECT_EQ(smp->length, 500u);
    EXPECT_EQ(smp->loopStart, 0);
    EXPECT_EQ(smp->loopLength, 500);
    EXPECT_EQ(smp->loopMode, LoopNone);
    EXPECT_EQ(smp->bits, 16);
    EXPECT_EQ(smp->volume, 64);
    EXPECT_EQ(smp->finetune, -16);
    EXPECT_EQ(smp->pan, 200);
    EXPECT_EQ(smp->relativeNote, -12);
    EXPECT_EQ(song->instruments[0].numSamples, 1);
    for (int j = 1; j < 16; j++) EXPECT_EQ(song->instruments[0].samples[j], &emptySample);
    freeSong(song);

    s = TestSample();
    s.type = 3; // both loop bits: ping-pong wins
    s.bytes.assign(30, 0);
    s.loopStart = 10;
    s.loopLength = 10;
    song = load(oneSampleModule(s));
    ASSERT_NE(song, nullptr);
    EXPECT_EQ(song->instruments[0].samples[0]->loopMode, LoopPingPong);
    EXPECT_EQ(song->instruments[0].samples[0]->loopStart, 10);
    freeSong(song);
}

TEST(XmLoader, DeltaDecoding) {
    TestSample s;
    s.bytes = {0x10, 0xF0, 0x7F, 0x02};
    Song* song = load(oneSampleModule(s));
    ASSERT_NE(song, nullptr);
    const int16_t* d = song->instruments[0].samples[0]->data;
    EXPECT_EQ(d[0], 4096);
    EXPECT_EQ(d[1], 0);
    EXPECT_EQ(d[2], 0x7F00);
    EXPECT_EQ(d[3], -32512); // 0x7F00 + 0x0200 wraps
    EXPECT_EQ(d[4], 0);      // no loop: the entry after the end stays 0
    freeSong(song);

    s.type = 0x10;
    s.bytes = {0x00, 0x10, 0x00, 0x10, 0xFF, 0xFF, 0x01, 0x00};
    song = load(oneSampleModule(s));
    ASSERT_NE(song, nullptr);
    d = song->instruments[0].samples[0]->data;
    EXPECT_EQ(d[0], 4096);
    EXPECT_EQ(d[1], 8192);
    EXPECT_EQ(d[2], 8191);
    EXPECT_EQ(d[3], 8192);
    freeSong(song);
}

TEST(XmLoader, LoopGuardEntries) {
    TestSample s;
    s.bytes.assign(73, 1); // a rising ramp 256, 512, ...
    s.type = 1;
    s.loopStart = 0;
    s.loopLength = 73;
    Song* song = load(oneSampleModule(s));
    ASSERT_NE(song, nullptr);
    const int16_t* d = song->instruments[0].samples[0]->data;
    EXPECT_EQ(d[0], 256);
    EXPECT_EQ(d[72], 73 * 256);
    EXPECT_EQ(d[73], d[0]);
    freeSong(song);

    s.type = 2;
    s.loopStart = 10;
    s.loopLength = 20;
    song = load(oneSampleModule(s));
    ASSERT_NE(song, nullptr);
    d = song->instruments[0].samples[0]->data;
    EXPECT_EQ(d[30], d[29]);
    EXPECT_EQ(d[29], 30 * 256);
    freeSong(song);
}

TEST(XmLoader, OddSixteenBitSampleKeepsTheNextInPlace) {
    TestModule m;
    m.patterns.push_back({1, {}});
    TestInstrument ins;
    TestSample a;
    a.type = 0x10;
    a.bytes = {0x00, 0x01, 0x00, 0x01, 0x55}; // 2 samples and a stray byte
    TestSample b;
    b.bytes = {0x20, 0x01};
    ins.samples = {a, b};
    m.instruments.push_back(ins);
    Song* song = load(m);
    ASSERT_NE(song, nullptr);
    const Sample* first = song->instruments[0].samples[0];
    const Sample* second = song->instruments[0].samples[1];
    EXPECT_EQ(first->length, 2u);
    EXPECT_EQ(first->data[1], 512);
    EXPECT_EQ(first->data[2], 0);
    EXPECT_EQ(second->data[0], 0x2000);
    EXPECT_EQ(second->data[1], 0x2100);
    freeSong(song);
}

TEST(XmLoader, InstrumentsWithoutSamplesUseTheirHeaderSize) {
    TestModule m;
    m.patterns.push_back({1, {}});
    TestInstrument none;
    none.headerSize = 40; // 11 bytes past the fields
    m.instruments.push_back(none);
    TestSample s;
    s.bytes = {0x05};
    TestInstrument one;
    one.samples.push_back(s);
    one.keymap[10] = 3;
    one.fadeout = 0x1234;
    m.instruments.push_back(one);
    Song* song = load(m);
    ASSERT_NE(song, nullptr);
    EXPECT_EQ(song->instruments[0].numSamples, 0);
    for (const Sample* p : song->instruments[0].samples) EXPECT_EQ(p, &emptySample);
    EXPECT_EQ(song->instruments[1].numSamples, 1);
    EXPECT_EQ(song->instruments[1].keymap[10], 3);
    EXPECT_EQ(song->instruments[1].fadeout, 0x2468);
    EXPECT_EQ(song->instruments[1].samples[0]->data[0], 0x0500);
    freeSong(song);
}

// Each of these breaks one rule the player relies on; all load as none.
TEST(XmLoader, RejectsModulesThePlayerCannotPlay) {
    auto rejected = [](const TestModule& m) { return load(m) == nullptr; };
    TestModule good;
    good.patterns.push_back({1, {}});
    good.instruments.push_back(simpleInstrument(16, 1, 0, 16));
    Song* song = load(good);
    ASSERT_NE(song, nullptr);
    freeSong(song);

    using Break = void (*)(TestModule&);
    const Break breaks[] = {
        [](TestModule& m) { m.channels = 33; },
        [](TestModule& m) { m.channels = 0; },
        [](TestModule& m) { m.songLength = 257; },
        [](TestModule& m) { m.songLength = 0; },
        [](TestModule& m) {
            m.songLength = 2;
            m.orders = {0, 0};
            m.restart = 2;
        },
        [](TestModule& m) { m.bpm = 0; },
        [](TestModule& m) { m.patterns.resize(257); },
        [](TestModule& m) { m.patterns[0].rows = 0; },
        [](TestModule& m) { // a loop ending at 17 of 16
            m.instruments[0].samples[0].loopStart = 10;
            m.instruments[0].samples[0].loopLength = 7;
        },
        [](TestModule& m) { m.instruments[0].sampleCount = 17; },
        [](TestModule& m) { m.instruments[0].samples[0].storedLength = 1 << 24; },
    };
    for (size_t i = 0; i < std::size(breaks); i++) {
        TestModule m = good;
        breaks[i](m);
        EXPECT_TRUE(rejected(m)) << "break " << i;
    }

    std::vector<uint8_t> bytes = buildXm(good);
    std::vector<uint8_t> cut(bytes.begin(), bytes.end() - 1);
    EXPECT_EQ(loadSongFromMemory(cut.data(), cut.size()), nullptr);
    bytes[0] = 'e';
    EXPECT_EQ(loadSongFromMemory(bytes.data(), bytes.size()), nullptr);
    EXPECT_EQ(loadSongFromMemory(nullptr, 0), nullptr);
}

// The mixer plans a sample's end up to 2^24 frames away: the longest sample
// it can play loads and ends where it should.
TEST(XmLoader, LongestSamplePlaysToItsEnd) {
    Song* song = load(oneSampleModule(simpleInstrument((1 << 24) - 1).samples[0]));
    ASSERT_NE(song, nullptr);
    const Sample* smp = song->instruments[0].samples[0];
    EXPECT_EQ(smp->length, (1u << 24) - 1);
    EXPECT_EQ(smp->data[smp->length - 1], 0x4000);
    clearVoices();
    Voice* v = &voices[0];
    v->sample = smp;
    v->volumeA = v->rampTargetA = 255;
    v->rampA = 255 << 8;
    v->increment = 1 << 15;
    std::vector<float> buf(2 * 600, 0.0f);
    mixVoices(buf.data(), 600);
    EXPECT_EQ(v->sample, nullptr);
    EXPECT_EQ(buf[2 * 511], 16384.0f); // at 511 x 2^15, the last frame before the end
    EXPECT_EQ(buf[2 * 512], 0.0f);
    freeSong(song);
}

static std::vector<std::string> filesIn(const std::string& dir) {
    std::vector<std::string> files;
    DIR* d = opendir(dir.c_str());
    if (d == nullptr) return files;
    while (dirent* e = readdir(d)) {
        if (e->d_name[0] != '.') files.push_back(dir + "/" + e->d_name);
    }
    closedir(d);
    return files;
}

static std::vector<uint8_t> readFile(const std::string& path) {
    std::vector<uint8_t> bytes;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return bytes;
    int c;
    while ((c = std::fgetc(f)) != EOF) bytes.push_back(uint8_t(c));
    std::fclose(f);
    return bytes;
}

// Broken modules from outside and our own: each loads as none or plays
// (a second of sound) and is freed, without a fault the sanitizers see.
TEST(XmLoader, BrokenModulesLoadAsNoneOrPlay) {
    std::vector<std::string> files = filesIn(SOCCER_SOURCE_DIR "/tests/fuzz/corpus");
    size_t own = files.size();
    for (const std::string& f : filesIn(SOCCER_SOURCE_DIR "/tests/fuzz/xm-broken"))
        if (f.find(".md") == std::string::npos) files.push_back(f);
    EXPECT_GT(own, 0u);
    EXPECT_GT(files.size(), own + 10); // the outside modules are in the tree
    installStreamOps(openResourceStream, closeStream, readStream, seekStream, tellStream);
    audioDeviceUseManual(true);
    for (const std::string& f : files) {
        SCOPED_TRACE(f);
        std::vector<uint8_t> bytes = readFile(f);
        Song* song = loadSongFromMemory(bytes.data(), bytes.size());
        if (song == nullptr) continue;
        EXPECT_TRUE(playSong(song, 1));
        audioDeviceManualAdvance(outputRate, nullptr);
        EXPECT_TRUE(freeSong(song));
    }
}
