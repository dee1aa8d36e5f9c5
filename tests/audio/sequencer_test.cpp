#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "audio/mixer.h"
#include "audio/sequencer.h"
#include "audio/xm.h"
#include "tests/audio/xm_builder.h"

// A one-channel song over one looping instrument, started as playSong does.
static Song* startSong(TestModule m) {
    if (m.instruments.empty()) m.instruments.push_back(simpleInstrument(64, 1, 0, 64));
    std::vector<uint8_t> bytes = buildXm(m);
    Song* song = loadSongFromMemory(bytes.data(), bytes.size());
    if (song == nullptr) return nullptr;
    clearVoices();
    resetSongState(song);
    return song;
}

static TestModule rows(std::initializer_list<std::vector<uint8_t>> cells, int speed = 6) {
    TestModule m;
    m.speed = int16_t(speed);
    m.patterns.push_back({uint16_t(cells.size()), cellBytes(cells)});
    return m;
}

static int32_t linearHz(int period, int delta) {
    return int32_t(8363.0 * std::pow(2.0, double(4608 - period + delta) / 768.0));
}

TEST(Sequencer, TempoGivesFramesPerTick) {
    Song* song = startSong(rows({{}}));
    ASSERT_NE(song, nullptr);
    EXPECT_EQ(song->samplesPerTick, 882);
    setBpm(song, 32);
    EXPECT_EQ(song->samplesPerTick, 3445);
    setBpm(song, 255);
    EXPECT_EQ(song->samplesPerTick, 432);
    freeSong(song);

    song = startSong(rows({{0, 0, 0, 15, 5}, {0, 0, 0, 15, 0x20}, {0, 0, 0, 15, 0x7D}}));
    songTick(song);
    EXPECT_EQ(song->speed, 5);
    for (int t = 0; t < 5; t++) songTick(song);
    EXPECT_EQ(song->row, 1);
    EXPECT_EQ(song->bpm, 32);
    EXPECT_EQ(song->samplesPerTick, 3445);
    for (int t = 0; t < 5; t++) songTick(song);
    EXPECT_EQ(song->bpm, 125);
    EXPECT_EQ(song->samplesPerTick, 882);
    freeSong(song);
}

TEST(Sequencer, SpeedZeroReadsARowEveryTick) {
    Song* song = startSong(rows({{0, 0, 0, 15, 0}, {}, {}, {}}));
    for (int t = 0; t < 4; t++) {
        songTick(song);
        EXPECT_EQ(song->row, t);
        EXPECT_EQ(song->tick, 0);
    }
    freeSong(song);
}

TEST(Sequencer, OrderListRestartsAtTheRestartPosition) {
    TestModule m;
    m.speed = 1;
    m.songLength = 3;
    m.restart = 1;
    m.orders = {0, 1, 2};
    for (int p = 0; p < 3; p++) m.patterns.push_back({2, {}});
    Song* song = startSong(m);
    std::vector<int> orders;
    for (int t = 0; t < 12; t++) {
        songTick(song);
        orders.push_back(song->order * 10 + song->row);
    }
    EXPECT_EQ(orders, (std::vector<int>{0, 1, 10, 11, 20, 21, 10, 11, 20, 21, 10, 11}));
    freeSong(song);
}

TEST(Sequencer, NoteSetsPeriodAndThe8363HzStep) {
    Song* song = startSong(rows({{49, 1}}));
    songTick(song);
    const Channel& ch = channels[0];
    EXPECT_EQ(ch.period, 4608);
    EXPECT_EQ(ch.volume, 64);
    const Voice& v = *ch.voice;
    EXPECT_EQ(v.frequency, 8363);
    EXPECT_EQ(v.increment, 0);
    EXPECT_EQ(v.incrementFrac, 814485521u);
    EXPECT_EQ(v.volume, 127);
    EXPECT_EQ(v.pan, 128);
    EXPECT_EQ(v.volumeA, 63);
    EXPECT_EQ(v.volumeB, 63);
    EXPECT_EQ(v.sample, song->instruments[0].samples[0]);
    freeSong(song);
}

TEST(Sequencer, ArpeggioCyclesThreeNotes) {
    Song* song = startSong(rows({{49, 1, 0, 0, 0x47}}));
    const int expected[6] = {0, 256, 448, 0, 256, 448};
    for (int t = 0; t < 6; t++) {
        songTick(song);
        EXPECT_EQ(channels[0].periodDelta, expected[t]) << "tick " << t;
        EXPECT_EQ(channels[0].voice->frequency, linearHz(4608, expected[t])) << "tick " << t;
    }
    freeSong(song);
}

TEST(Sequencer, VibratoOffsets) {
    Song* song = startSong(rows({{49, 1, 0, 4, 0x84}}));
    const int expected[6] = {0, 0, -20, -32, -20, 0};
    for (int t = 0; t < 6; t++) {
        songTick(song);
        EXPECT_EQ(channels[0].periodDelta, expected[t]) << "tick " << t;
    }
    EXPECT_EQ(channels[0].vibratoPosition, -24);
    EXPECT_EQ(channels[0].voice->frequency, linearHz(4608, 0));

    Channel c = {};
    c.vibratoDepth = 4;
    c.vibratoPosition = -16;
    applyVibrato(&c);
    EXPECT_EQ(c.periodDelta, 32);
    freeSong(song);
}

TEST(Sequencer, TonePortamentoSlidesToTheNoteExactly) {
    Song* song = startSong(rows({{49, 1}, {51, 0, 0, 3, 5}, {0, 0, 0, 3, 0}, {}}));
    for (int t = 0; t < 6; t++) songTick(song);
    Voice* voice = channels[0].voice;
    songTick(song); // the row with the new note keeps the running voice
    EXPECT_EQ(channels[0].voice, voice);
    EXPECT_EQ(channels[0].period, 4608);
    EXPECT_EQ(channels[0].portaTarget, 4480);
    const int periods[5] = {4588, 4568, 4548, 4528, 4508};
    for (int t = 0; t < 5; t++) {
        songTick(song);
        EXPECT_EQ(channels[0].period, periods[t]);
    }
    songTick(song);
    EXPECT_EQ(channels[0].period, 4508);
    songTick(song);
    EXPECT_EQ(channels[0].period, 4488);
    songTick(song);
    EXPECT_EQ(channels[0].period, 4480);
    songTick(song);
    EXPECT_EQ(channels[0].period, 4480);
    EXPECT_EQ(channels[0].voice, voice);
    EXPECT_EQ(voice->frequency, linearHz(4480, 0));
    freeSong(song);
}

TEST(Sequencer, PortamentoDownLowersThePitch) {
    Song* song = startSong(rows({{49, 1, 0, 2, 3}, {0, 0, 0, 2, 0}}));
    for (int t = 0; t < 6; t++) songTick(song);
    EXPECT_EQ(channels[0].period, 4608 + 5 * 12);
    songTick(song);
    songTick(song);
    EXPECT_EQ(channels[0].period, 4608 + 6 * 12);
    EXPECT_EQ(channels[0].voice->frequency, linearHz(4608 + 72, 0));
    // No limit of its own: far below the 100 Hz floor it keeps sliding, and a
    // later tone portamento starts back from there. Only overflow stops it.
    channels[0].period = 1 << 20;
    songTick(song);
    EXPECT_EQ(channels[0].period, (1 << 20) + 12);
    EXPECT_EQ(channels[0].voice->increment, 0);
    EXPECT_EQ(channels[0].voice->incrementFrac, uint32_t((100ull << 32) / 44100));
    channels[0].period = INT32_MAX - 5;
    songTick(song);
    EXPECT_EQ(channels[0].period, INT32_MAX);
    freeSong(song);
}

TEST(Sequencer, KeyOffSilencesUntilTheNextInstrument) {
    TestModule m = rows({{49, 1}, {97}, {0, 1}}, 1);
    m.instruments.push_back(simpleInstrument(64, 1, 0, 64));
    m.instruments[0].fadeout = 0x1000;
    Song* song = startSong(m);
    songTick(song);
    Voice* voice = channels[0].voice;
    EXPECT_EQ(voice->volume, 127);
    songTick(song);
    EXPECT_EQ(channels[0].keyOff, 1);
    EXPECT_EQ(channels[0].envelopeVolume, 0);
    EXPECT_EQ(channels[0].fadeVolume, 65536 - 0x2000);
    EXPECT_EQ(voice->volume, 0);
    EXPECT_EQ(voice->volumeA, 0);
    EXPECT_NE(voice->sample, nullptr);
    songTick(song);
    EXPECT_EQ(channels[0].keyOff, 0);
    EXPECT_EQ(channels[0].voice, voice);
    EXPECT_EQ(voice->volume, 127);
    freeSong(song);
}

TEST(Sequencer, VolumeColumnOnRowAndLaterTicks) {
    Song* song = startSong(rows(
        {{49, 1, 0x20}, {0, 0, 0x50}, {0, 0, 0x55}, {0, 0, 0x6F}, {0, 0, 0xC0}, {0, 0, 0xE3}}, 3));
    songTick(song);
    EXPECT_EQ(channels[0].volume, 16);
    EXPECT_EQ(channels[0].voice->volume, 31);
    songTick(song);
    songTick(song);
    songTick(song);
    EXPECT_EQ(channels[0].volume, 64);
    for (int t = 0; t < 5; t++) songTick(song);
    EXPECT_EQ(channels[0].volume, 64);
    const int expected[3] = {49, 34, 19};
    for (int t = 0; t < 3; t++) {
        songTick(song);
        EXPECT_EQ(channels[0].volume, expected[t]);
    }
    songTick(song);
    EXPECT_EQ(channels[0].pan, 0);
    EXPECT_EQ(channels[0].voice->pan, 0);
    EXPECT_EQ(channels[0].voice->volumeA, 0);
    songTick(song);
    songTick(song);
    songTick(song);
    EXPECT_EQ(channels[0].pan, 3); // E3 slides on the row tick
    songTick(song);
    songTick(song);
    EXPECT_EQ(channels[0].pan, 9); // and on each later one
    EXPECT_EQ(channels[0].voice->pan, 9);
    freeSong(song);
}

TEST(Sequencer, ANewNoteMovesToTheTwinVoice) {
    Song* song = startSong(rows({{49, 1}, {53}, {49}}, 1));
    songTick(song);
    EXPECT_EQ(channels[0].voice, &voices[0]);
    std::vector<float> buf(2 * 200);
    mixVoices(buf.data(), 200);
    EXPECT_EQ(voices[0].rampA, 63u << 8);
    songTick(song);
    EXPECT_EQ(channels[0].voice, &voices[32]);
    // The old note ramps out while the new one ramps in, 128 frames each.
    mixVoices(buf.data(), 64);
    EXPECT_NEAR(int(voices[0].rampA >> 8), 31, 1);
    EXPECT_NEAR(int(voices[32].rampA >> 8), 31, 1);
    mixVoices(buf.data(), 64);
    EXPECT_EQ(voices[0].rampA, 0u);
    EXPECT_EQ(voices[0].rampRemaining, 0);
    EXPECT_EQ(voices[32].rampA, 63u << 8);
    EXPECT_EQ(voices[32].index, 32);
    EXPECT_EQ(voices[0].volume, 0);
    EXPECT_EQ(voices[0].volumeA, 0);
    EXPECT_EQ(voices[0].volumeB, 0);
    EXPECT_NE(voices[0].sample, nullptr); // ramps out while still playing
    EXPECT_EQ(voices[32].volume, 127);
    EXPECT_EQ(voices[32].frequency, linearHz(4608 - 4 * 64, 0));
    songTick(song);
    EXPECT_EQ(channels[0].voice, &voices[0]);
    EXPECT_EQ(voices[32].volume, 0);
    EXPECT_EQ(voices[0].index, 0);
    freeSong(song);
}

TEST(Sequencer, AbsentInstrumentsAndSamplesAreSilent) {
    TestModule m = rows({{49, 5}, {49, 1}}, 1);
    m.instruments.push_back(simpleInstrument(64, 1, 0, 64));
    m.instruments[0].keymap[48] = 3; // no sample 3
    Song* song = startSong(m);
    songTick(song);
    EXPECT_EQ(channels[0].voice->sample, &emptySample);
    float buf[64] = {};
    mixVoices(buf, 32);
    EXPECT_EQ(channels[0].voice->sample, nullptr);
    songTick(song);
    EXPECT_EQ(channels[0].voice->sample, &emptySample);
    freeSong(song);
}
