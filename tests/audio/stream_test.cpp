#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "audio/output.h"
#include "audio/stream.h"
#include "audio/xm.h"
#include "resources/resources.h"
#include "tests/audio/xm_builder.h"

TEST(MemoryStream, ReadsStopAtTheEnd) {
    std::vector<uint8_t> bytes(44);
    for (size_t i = 0; i < bytes.size(); i++) bytes[i] = uint8_t(i);
    MemoryStream s = memoryStreamOver(bytes.data(), bytes.size());
    uint8_t buf[10] = {};
    seekStream(&s, 40, 0);
    EXPECT_EQ(readStream(buf, 10, &s), 4);
    EXPECT_EQ(buf[0], 40);
    EXPECT_EQ(buf[3], 43);
    EXPECT_EQ(readStream(buf, 10, &s), 0);
    EXPECT_EQ(tellStream(&s), 44);
    seekStream(&s, 0, 0);
    EXPECT_EQ(readStream(buf, 0, &s), 0);
    EXPECT_EQ(readStream(buf, -3, &s), 0);
    EXPECT_EQ(tellStream(&s), 0);
}

TEST(MemoryStream, SeeksClampToTheBytes) {
    std::vector<uint8_t> bytes(100);
    MemoryStream s = memoryStreamOver(bytes.data(), bytes.size());
    seekStream(&s, 0, 2);
    EXPECT_EQ(tellStream(&s), 100);
    seekStream(&s, 5, 2);
    EXPECT_EQ(tellStream(&s), 100);
    seekStream(&s, 40, 0);
    seekStream(&s, 23, 1);
    EXPECT_EQ(tellStream(&s), 63);
    seekStream(&s, 7, 3);
    EXPECT_EQ(tellStream(&s), 63);
    // The origin is a byte: 256 is origin 0.
    seekStream(&s, 12, 256);
    EXPECT_EQ(tellStream(&s), 12);
    seekStream(&s, -5, 0);
    EXPECT_EQ(tellStream(&s), 0);
    seekStream(&s, 30, 0);
    seekStream(&s, -1000, 1);
    EXPECT_EQ(tellStream(&s), 0);
    seekStream(&s, -200, 2);
    EXPECT_EQ(tellStream(&s), 0);
    seekStream(&s, 0x7FFFFFFF, 1);
    EXPECT_EQ(tellStream(&s), 100);
}

TEST(MemoryStream, ResourcesOpenByNumber) {
    void* missing = openResourceStream(999);
    ASSERT_NE(missing, nullptr);
    uint8_t buf[4];
    EXPECT_EQ(static_cast<MemoryStream*>(missing)->size, 0);
    EXPECT_EQ(readStream(buf, 4, missing), 0);
    closeStream(missing);

    void* music = openResourceStream(ResourceMusicSong);
    char head[17];
    ASSERT_EQ(readStream(head, 17, music), 17);
    EXPECT_EQ(std::memcmp(head, "Extended Module: ", 17), 0);
    closeStream(music);
}

TEST(StreamOps, AnIncompleteTableIsCleared) {
    installStreamOps(openResourceStream, closeStream, readStream, seekStream, nullptr);
    EXPECT_FALSE(streamOpsComplete());
    EXPECT_EQ(streamOps.open, nullptr);
    EXPECT_EQ(streamOps.read, nullptr);
    EXPECT_EQ(loadSong(ResourceMusicSong), nullptr);

    TestModule m;
    m.patterns.push_back({1, {}});
    std::vector<uint8_t> bytes = buildXm(m);
    Song* song = loadSongFromMemory(bytes.data(), bytes.size());
    ASSERT_NE(song, nullptr);
    EXPECT_FALSE(playSong(song, 1));
    EXPECT_EQ(output.currentSong, nullptr);

    installStreamOps(openResourceStream, closeStream, readStream, seekStream, tellStream);
    EXPECT_TRUE(streamOpsComplete());
    freeSong(song);
}

TEST(SongTable, LoadsAndFreesTheThreeModules) {
    loadSongs();
    ASSERT_NE(musicSong, nullptr);
    ASSERT_NE(kickSong, nullptr);
    ASSERT_NE(challengeSong, nullptr);
    EXPECT_EQ(musicSong->numChannels, 4);
    EXPECT_EQ(kickSong->numChannels, 4);
    EXPECT_EQ(challengeSong->numChannels, 16);
    EXPECT_EQ(musicSong->songLength, 8);
    EXPECT_EQ(kickSong->instruments[0].samples[0]->length, 362u);
    EXPECT_EQ(challengeSong->instruments[0].samples[0]->length, 676u);
    freeSongs();
    EXPECT_EQ(musicSong, nullptr);
    EXPECT_EQ(kickSong, nullptr);
    EXPECT_EQ(challengeSong, nullptr);
}
