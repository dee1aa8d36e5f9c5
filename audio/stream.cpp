#include "audio/stream.h"

#include <cstdlib>
#include <cstring>

#include "audio/output.h"
#include "audio/xm.h"
#include "resources/resources.h"

StreamOps streamOps = {};

Song* musicSong = nullptr;
Song* kickSong = nullptr;
Song* challengeSong = nullptr;

void installStreamOps(StreamOpen open, StreamClose close, StreamRead read, StreamSeek seek,
                      StreamTell tell) {
    if (open && close && read && seek && tell) {
        streamOps = {open, close, read, seek, tell};
    } else {
        streamOps = {};
    }
}

bool streamOpsComplete() {
    return streamOps.open && streamOps.close && streamOps.read && streamOps.seek && streamOps.tell;
}

MemoryStream memoryStreamOver(const uint8_t* data, size_t size) {
    if (data == nullptr || size > 0x7FFFFFFF) return {0, 0, nullptr};
    return {static_cast<int32_t>(size), 0, data};
}

void* openResourceStream(int resourceId) {
    auto* s = static_cast<MemoryStream*>(std::calloc(1, sizeof(MemoryStream)));
    if (s == nullptr) return nullptr;
    ResourceBytes r = findResource(resourceId, "XM");
    *s = memoryStreamOver(r.data, r.size);
    return s;
}

void closeStream(void* stream) {
    std::free(stream);
}

int readStream(void* destination, int length, void* stream) {
    auto* s = static_cast<MemoryStream*>(stream);
    if (length <= 0) return 0;
    if (int64_t(length) + s->position >= s->size) length = s->size - s->position;
    if (length > 0) std::memcpy(destination, s->data + s->position, size_t(length));
    s->position += length;
    return length;
}

void seekStream(void* stream, int offset, int origin) {
    auto* s = static_cast<MemoryStream*>(stream);
    int64_t p = s->position;
    switch (static_cast<uint8_t>(origin)) {
    case 0:
        p = offset;
        break;
    case 1:
        p += offset;
        break;
    case 2:
        p = int64_t(s->size) + offset;
        break;
    default:
        break;
    }
    if (p > s->size) p = s->size;
    // The reader never seeks before the start; a caller that does lands on it.
    if (p < 0) p = 0;
    s->position = static_cast<int32_t>(p);
}

int tellStream(void* stream) {
    return static_cast<MemoryStream*>(stream)->position;
}

void loadSongs() {
    installStreamOps(openResourceStream, closeStream, readStream, seekStream, tellStream);
    musicSong = loadSong(ResourceMusicSong);
    kickSong = loadSong(ResourceKickSong);
    challengeSong = loadSong(ResourceChallengeSong);
}

void freeSongs() {
    freeSong(musicSong);
    freeSong(kickSong);
    freeSong(challengeSong);
    musicSong = kickSong = challengeSong = nullptr;
    // The device has stayed open since the first song played.
    closeOutput();
}
