#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "audio/mixer.h"
#include "audio/output.h"
#include "audio/sequencer.h"
#include "audio/stream.h"
#include "audio/xm.h"
#include "platform/audio_device.h"
#include "tests/audio/xm_builder.h"

// Tests of the output run on the caller-driven device.
struct Output : testing::Test {
    std::vector<Song*> songs;
    void SetUp() override {
        installStreamOps(openResourceStream, closeStream, readStream, seekStream, tellStream);
        audioDeviceUseManual(true);
        outputThreadWithManualDevice = false;
    }
    void TearDown() override {
        for (Song* s : songs) freeSong(s);
        outputThreadWithManualDevice = false;
    }
    // A looping tone that changes note every row, so every block differs.
    Song* tone() {
        TestModule m;
        m.speed = 3;
        std::vector<uint8_t> cells;
        for (int r = 0; r < 16; r++) {
            std::vector<uint8_t> c = cellBytes({{uint8_t(37 + r), 1, uint8_t(0x20 + 2 * r)}});
            cells.insert(cells.end(), c.begin(), c.end());
        }
        m.patterns.push_back({16, cells});
        TestInstrument ins = simpleInstrument(64, 1, 0, 64);
        for (int i = 0; i < 64; i++) ins.samples[0].bytes[i] = uint8_t(i < 32 ? 4 : -4);
        m.instruments.push_back(ins);
        std::vector<uint8_t> bytes = buildXm(m);
        Song* s = loadSongFromMemory(bytes.data(), bytes.size());
        songs.push_back(s);
        return s;
    }
    static std::vector<int16_t> hear(uint32_t frames) {
        std::vector<int16_t> out(size_t(frames) * 2);
        audioDeviceManualAdvance(frames, out.data());
        return out;
    }
};

static bool silent(const std::vector<int16_t>& v, size_t from, size_t to) {
    for (size_t i = from; i < to; i++) {
        if (v[i] != 0) return false;
    }
    return true;
}

TEST_F(Output, OneShotIsHeardForItsFirst11050Frames) {
    Song* s = tone();
    ASSERT_TRUE(playSong(s, 0));
    std::vector<int16_t> heard = hear(20000);
    EXPECT_FALSE(silent(heard, 2 * 11000, 2 * 11050));
    EXPECT_TRUE(silent(heard, 2 * 11050, heard.size()));
    EXPECT_EQ(audioDeviceBytesPlayed(), 44200u);
    // The thread renders the blocks before the stop once more, then waits.
    EXPECT_EQ(output.fillIndex, 12);
    EXPECT_TRUE(stopSong(s));
}

TEST_F(Output, WhatIsHeardIsTheContinuousRendering) {
    Song* s = tone();
    // The block renderer alone, block after block, for 5 s.
    ASSERT_TRUE(playSong(s, 1));
    stopSong(s);
    const int blocks = 250;
    std::vector<int16_t> rendered;
    clearVoices();
    resetSongState(s);
    output.currentSong = s;
    output.timeStep = 1.0f / outputRate;
    std::vector<int16_t> ring(size_t(ringFrames) * 2);
    std::vector<float> mix(size_t(ringFrames) * 2);
    std::vector<BlockRecord> records(blockCount);
    output.ring = ring.data();
    output.mixBuffer = mix.data();
    output.blockRecords = records.data();
    for (int b = 0; b < blocks; b++) {
        int k = output.fillIndex;
        fillBlock();
        rendered.insert(rendered.end(), ring.begin() + k * blockFrames * 2,
                        ring.begin() + (k + 1) * blockFrames * 2);
    }
    output.ring = nullptr;
    output.mixBuffer = nullptr;
    output.blockRecords = nullptr;
    output.currentSong = nullptr;
    output.fillIndex = 0;

    // Heard in one piece and in uneven pieces: the same samples.
    ASSERT_TRUE(playSong(s, 1));
    std::vector<int16_t> whole = hear(blocks * blockFrames);
    EXPECT_EQ(whole, rendered);
    ASSERT_TRUE(playSong(s, 1));
    std::vector<int16_t> pieces;
    for (uint32_t n = 1; pieces.size() < rendered.size(); n = n * 7 % 9001 + 1) {
        uint32_t left = uint32_t(rendered.size() - pieces.size()) / 2;
        std::vector<int16_t> part = hear(std::min(n, left));
        pieces.insert(pieces.end(), part.begin(), part.end());
    }
    EXPECT_EQ(pieces, rendered);
    stopSong(s);
}

TEST_F(Output, PollingFollowsTheDevice) {
    EXPECT_EQ(playingBlockAt(400000), 13);
    EXPECT_EQ(playingBlockAt(uint64_t(ringFrames) * 4 * 1000000 + 4 * 884), 1);
    Song* s = tone();
    ASSERT_TRUE(playSong(s, 1));
    EXPECT_EQ(output.fillIndex, 0);
    EXPECT_EQ(audibleTimeMs(s), 19);
    int last = 0;
    for (int i = 0; i < 10 * 100; i++) {
        hear(441); // 10 s in all
        EXPECT_EQ(output.fillIndex, playingBlockAt(audioDeviceBytesPlayed()));
        EXPECT_GE(audibleTimeMs(s), last);
        last = audibleTimeMs(s);
    }
    // 441000 frames: 498 blocks rendered after the prefill.
    EXPECT_EQ(output.audibleIndex, 498 % blockCount);
    EXPECT_GT(audibleTimeMs(s), 9400);
    EXPECT_LE(audibleTimeMs(s), 10000);
    EXPECT_EQ(audibleOrder(nullptr), 0);
    stopSong(s);
    EXPECT_EQ(audibleTimeMs(s), 0);
    EXPECT_EQ(audibleRow(s), 0);
}

TEST_F(Output, PlayStopAndFreeInAnyOrder) {
    EXPECT_FALSE(playSong(nullptr, 1));
    EXPECT_FALSE(stopSong(nullptr));
    EXPECT_FALSE(freeSong(nullptr));
    Song* a = tone();
    Song* b = tone();
    EXPECT_TRUE(stopSong(a)); // nothing plays
    EXPECT_TRUE(playSong(a, 1));
    EXPECT_EQ(output.currentSong, a);
    EXPECT_TRUE(playSong(b, 0)); // a sound effect stops the music
    EXPECT_EQ(output.currentSong, b);
    EXPECT_TRUE(stopSong(a)); // any song stops whatever plays
    EXPECT_EQ(output.currentSong, nullptr);
    EXPECT_EQ(output.ring, nullptr);
    EXPECT_TRUE(stopSong(a));
    EXPECT_TRUE(playSong(a, 1));
    songs.erase(songs.begin() + 1);
    EXPECT_TRUE(freeSong(b)); // freeing another song stops the music too
    EXPECT_EQ(output.currentSong, nullptr);
    EXPECT_TRUE(playSong(a, 1));
    songs.clear();
    EXPECT_TRUE(freeSong(a));
    EXPECT_EQ(output.currentSong, nullptr);
    EXPECT_EQ(audioDeviceBytesPlayed(), 0u);
}

TEST_F(Output, ASecondOneShotRestartsTheSound) {
    Song* s = tone();
    ASSERT_TRUE(playSong(s, 0));
    std::vector<int16_t> first = hear(6000);
    ASSERT_TRUE(playSong(s, 0));
    std::vector<int16_t> again = hear(6000);
    EXPECT_EQ(first, again);
    EXPECT_FALSE(silent(first, 0, first.size()));
}

TEST_F(Output, ResourceSongsPlay) {
    loadSongs();
    ASSERT_TRUE(playSong(musicSong, 1));
    std::vector<int16_t> music = hear(3 * outputRate);
    EXPECT_FALSE(silent(music, 0, music.size()));
    ASSERT_TRUE(playSong(kickSong, 0));
    std::vector<int16_t> kick = hear(oneShotFrames + 100);
    EXPECT_FALSE(silent(kick, 0, 2 * 2000));
    EXPECT_TRUE(silent(kick, 2 * oneShotFrames, kick.size()));
    ASSERT_TRUE(playSong(challengeSong, 0));
    std::vector<int16_t> tackle = hear(oneShotFrames);
    EXPECT_FALSE(silent(tackle, 0, 2 * 2000));
    freeSongs();
    EXPECT_EQ(output.currentSong, nullptr);
}

// SDL's dummy driver in place of a card where SDL is the backend; Windows
// plays on whatever wave-out device there is (the tests skip without one).
static void useDummySoundCard() {
#ifndef _WIN32
    setenv("SDL_AUDIODRIVER", "dummy", 1);
#endif
}

// The sound-card device over SDL, with SDL's dummy driver standing in for a
// card: the real output thread follows the callback's byte count.
TEST_F(Output, SoundCardDeviceFeedsTheOutputThread) {
    useDummySoundCard();
    audioDeviceUseManual(false);
    Song* s = tone();
    if (!playSong(s, 1)) {
        audioDeviceUseManual(true);
        GTEST_SKIP() << "no sound card";
    }
    for (int i = 0; i < 200 && audioDeviceBytesPlayed() < 4 * 3 * blockFrames; i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_GE(audioDeviceBytesPlayed(), 4u * 3 * blockFrames);
    EXPECT_TRUE(stopSong(s));
    EXPECT_EQ(audioDeviceBytesPlayed(), 0u);
    audioDeviceUseManual(true);
    EXPECT_TRUE(audioDeviceIsManual());
}

// The main thread starts and stops songs while the real output thread polls
// the device and renders (run under ThreadSanitizer in CI).
TEST_F(Output, PlayAndStopAgainstTheOutputThread) {
    outputThreadWithManualDevice = true;
    Song* a = tone();
    Song* b = tone();
    for (int i = 0; i < 40; i++) {
        ASSERT_TRUE(playSong(i % 3 ? a : b, i % 2));
        for (int k = 0; k < i % 5; k++) {
            audioDeviceManualAdvance(blockFrames * 3, nullptr);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        if (i % 4 == 0) {
            EXPECT_TRUE(stopSong(a));
        }
    }
    audioDeviceManualAdvance(blockFrames * 10, nullptr);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_TRUE(stopSong(a));
    EXPECT_FALSE(output.thread.joinable());
}

// The game's own path: SDL's dummy driver in place of a card, the music for
// more than one lap of the ring (so the device hears blocks the output thread
// rendered), kicks and tackles over it, then silence. Run under
// ThreadSanitizer in CI, where any unordered hand-over of the ring shows.
TEST_F(Output, MusicAndEffectsOnTheSoundCardDevice) {
    useDummySoundCard();
    audioDeviceUseManual(false);
    loadSongs();
    auto waitForBytes = [](uint64_t bytes) {
        for (int i = 0; i < 1000 && audioDeviceBytesPlayed() < bytes; i++)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return audioDeviceBytesPlayed();
    };
    if (!playSong(musicSong, 1)) {
        freeSongs();
        audioDeviceUseManual(true);
        GTEST_SKIP() << "no sound card";
    }
    const uint64_t lap = uint64_t(ringFrames) * 4;
    EXPECT_GE(waitForBytes(lap + 20 * blockFrames * 4), lap + 20 * blockFrames * 4);
    for (int i = 0; i < 6; i++) {
        Song* effect = i % 2 ? challengeSong : kickSong;
        ASSERT_TRUE(playSong(effect, 0));
        EXPECT_EQ(output.currentSong, effect);
        std::this_thread::sleep_for(std::chrono::milliseconds(5 + 13 * i));
    }
    // The last one-shot is heard to its end and no further.
    EXPECT_EQ(waitForBytes(oneShotFrames * 4), oneShotFrames * 4u);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(audioDeviceBytesPlayed(), oneShotFrames * 4u);
    EXPECT_TRUE(stopSong(musicSong));
    EXPECT_FALSE(output.thread.joinable());
    EXPECT_EQ(audioDeviceBytesPlayed(), 0u);
    freeSongs();
    audioDeviceUseManual(true);
}
