#include "audio/xm.h"

#include <cstdlib>
#include <cstring>

#include "audio/output.h"
#include "audio/sequencer.h"
#include "audio/stream.h"

Sample emptySample = {};

static int fileRead(XmFile* f, void* destination, int length) {
    if (f == nullptr) return 0;
    return f->ops->read(destination, length, f->stream);
}

static void fileSeek(XmFile* f, int offset, int origin) {
    if (f != nullptr) f->ops->seek(f->stream, offset, origin);
}

static int fileTell(XmFile* f) {
    return f == nullptr ? 0 : f->ops->tell(f->stream);
}

// Missing bytes read as 0, but a module that ends early is rejected: every
// read has to deliver all it asks for.
static bool readBytes(XmFile* f, void* destination, int length) {
    std::memset(destination, 0, size_t(length));
    return fileRead(f, destination, length) == length;
}

static bool readU8(XmFile* f, uint8_t* v) {
    return readBytes(f, v, 1);
}

static bool readU16(XmFile* f, uint16_t* v) {
    uint8_t b[2];
    bool ok = readBytes(f, b, 2);
    *v = uint16_t(b[0] | b[1] << 8);
    return ok;
}

static bool readI16(XmFile* f, int16_t* v) {
    uint16_t u;
    bool ok = readU16(f, &u);
    *v = int16_t(u);
    return ok;
}

static bool readU32(XmFile* f, uint32_t* v) {
    uint8_t b[4];
    bool ok = readBytes(f, b, 4);
    *v = uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
    return ok;
}

static bool seekTo(XmFile* f, int64_t position) {
    if (position < 0 || position > 0x7FFFFFFF) return false;
    fileSeek(f, int(position), 0);
    return true;
}

static bool skipBytes(XmFile* f, int count) {
    fileSeek(f, count, 1);
    return true;
}

static bool readCell(XmFile* f, PatternCell* c) {
    uint8_t b;
    if (!readU8(f, &b)) return false;
    if (b & 0x80) {
        uint8_t* fields[5] = {&c->note, &c->instrument, &c->volume, &c->effect, &c->parameter};
        for (int i = 0; i < 5; i++) {
            if ((b & (1 << i)) && !readU8(f, fields[i])) return false;
        }
    } else {
        c->note = b;
        uint8_t rest[4];
        if (!readBytes(f, rest, 4)) return false;
        c->instrument = rest[0];
        c->volume = rest[1];
        c->effect = rest[2];
        c->parameter = rest[3];
    }
    // Notes above 97 would index past the 96-entry keymap: they are ignored.
    if (c->note == 97) {
        c->note = 255;
    } else if (c->note > 97) {
        c->note = 0;
    }
    if (c->instrument > 128) c->instrument = 0;
    return true;
}

static bool readPatterns(Song* song, XmFile* f, int storedPatterns) {
    int channels = song->numChannels;
    for (int p = 0; p < storedPatterns; p++) {
        uint32_t headerLength;
        uint8_t packing;
        uint16_t rows, packedSize;
        if (!readU32(f, &headerLength) || !readU8(f, &packing) || !readU16(f, &rows) ||
            !readU16(f, &packedSize))
            return false;
        // A pattern of no rows cannot be played: its row tick would read row 0.
        if (rows == 0 || rows > maxPatternRows) return false;
        Pattern* pat = &song->patterns[p];
        pat->cells = static_cast<PatternCell*>(std::calloc(size_t(rows) * channels, 5));
        if (pat->cells == nullptr) return false;
        pat->rows = rows;
        if (packedSize == 0) continue;
        // The cell count, not the packed size, decides how much is read.
        for (int c = 0; c < rows * channels; c++) {
            if (!readCell(f, &pat->cells[c])) return false;
        }
    }
    for (int p = storedPatterns; p < song->orderPatternCount; p++) {
        Pattern* pat = &song->patterns[p];
        pat->cells = static_cast<PatternCell*>(std::calloc(size_t(64) * channels, 5));
        if (pat->cells == nullptr) return false;
        pat->rows = 64;
    }
    return true;
}

static bool readInstrumentHeader(Instrument* ins, XmFile* f) {
    uint32_t sampleHeaderSize;
    uint8_t envelopes[96];
    uint8_t fields[14];
    uint16_t fadeout;
    if (!readU32(f, &sampleHeaderSize) || !readBytes(f, ins->keymap, 96) ||
        !readBytes(f, envelopes, 96) || !readBytes(f, fields, 14) || !readU16(f, &fadeout))
        return false;
    for (int i = 0; i < 12; i++) {
        const uint8_t* v = envelopes + i * 4;
        const uint8_t* p = envelopes + 48 + i * 4;
        ins->volumeEnvelope[i] = {uint16_t(v[0] | v[1] << 8), uint16_t(v[2] | v[3] << 8)};
        ins->panningEnvelope[i] = {uint16_t(p[0] | p[1] << 8), uint16_t(p[2] | p[3] << 8)};
    }
    uint8_t* targets[14] = {&ins->numVolumePoints,  &ins->numPanningPoints, &ins->volumeSustain,
                            &ins->volumeLoopStart,  &ins->volumeLoopEnd,    &ins->panningSustain,
                            &ins->panningLoopStart, &ins->panningLoopEnd,   &ins->volumeType,
                            &ins->panningType,      &ins->vibratoType,      &ins->vibratoSweep,
                            &ins->vibratoDepth,     &ins->vibratoRate};
    for (int i = 0; i < 14; i++) *targets[i] = fields[i];
    ins->fadeout = uint16_t(fadeout * 2);
    if (ins->numVolumePoints < 2) ins->volumeType = 0;
    if (ins->numPanningPoints < 2) ins->panningType = 0;
    return true;
}

// Reads one 40-byte sample header; `byteLength` receives the stored data size.
static bool readSampleHeader(Sample* s, XmFile* f, uint32_t* byteLength) {
    uint32_t length, loopStart, loopLength;
    uint8_t volume, type, pan;
    uint8_t finetune, relativeNote;
    if (!readU32(f, &length) || !readU32(f, &loopStart) || !readU32(f, &loopLength) ||
        !readU8(f, &volume) || !readU8(f, &finetune) || !readU8(f, &type) || !readU8(f, &pan) ||
        !readU8(f, &relativeNote))
        return false;
    skipBytes(f, 23);
    *byteLength = length;
    uint8_t loopMode = LoopNone, bits = 8;
    if (type & 1) loopMode = LoopForward;
    if (type & 2) loopMode = LoopPingPong;
    if (type & 16) bits = 16;
    if (loopMode == LoopNone) {
        loopStart = 0;
        loopLength = length;
    }
    if (bits == 16) {
        length /= 2;
        loopStart /= 2;
        loopLength /= 2;
    }
    if (loopLength == 0) {
        loopStart = 0;
        loopLength = length;
        loopMode = LoopNone;
    }
    // The mixer reads up to the loop end and plans the end only for samples
    // it can count in 32 bits: anything else is a broken module.
    if (length > maxSampleLength || uint64_t(loopStart) + loopLength > length) return false;
    s->length = length;
    s->loopStart = int32_t(loopStart);
    s->loopLength = int32_t(loopLength);
    s->volume = volume > 64 ? 64 : volume;
    s->finetune = int8_t(finetune);
    s->pan = pan;
    s->bits = bits;
    s->loopMode = loopMode;
    s->relativeNote = int8_t(relativeNote);
    return true;
}

// Reads the stored bytes of a sample (all of them, also the odd last byte of
// a 16-bit sample, so the next sample starts where it should) and turns them
// into delta-decoded 16-bit data with the loop guard entry after the loop.
static bool readSampleData(Sample* s, XmFile* f, uint32_t byteLength) {
    uint32_t length = s->length;
    uint32_t readLength = s->bits == 16 ? byteLength : length;
    s->data = static_cast<int16_t*>(std::calloc(size_t(length) + 8, 2));
    if (s->data == nullptr) return false;
    auto* bytes = reinterpret_cast<uint8_t*>(s->data);
    if (!readBytes(f, bytes, int(readLength))) return false;
    if (s->bits == 8) {
        // Widened in place from the end: entry k covers bytes 2k and 2k + 1,
        // never a byte still to be read.
        for (uint32_t k = length; k-- > 0;) s->data[k] = int16_t(int8_t(bytes[k]) * 256);
    } else {
        for (uint32_t k = 0; k < length; k++)
            s->data[k] = int16_t(bytes[2 * k] | bytes[2 * k + 1] << 8);
    }
    s->bits = 16;
    std::memset(s->data + length, 0, 16);
    int16_t a = 0;
    for (uint32_t k = 0; k < length; k++) {
        a = int16_t(uint16_t(s->data[k] + a));
        s->data[k] = a;
    }
    uint32_t end = uint32_t(s->loopStart) + uint32_t(s->loopLength);
    if (s->loopMode == LoopPingPong) {
        s->data[end] = s->data[end - 1];
    } else if (s->loopMode == LoopForward) {
        s->data[end] = s->data[s->loopStart];
    }
    return true;
}

static bool readInstrument(Instrument* ins, XmFile* f) {
    int64_t start = fileTell(f);
    uint32_t headerSize;
    uint16_t count;
    if (!readU32(f, &headerSize) || !skipBytes(f, 23) || !readU16(f, &count)) return false;
    if (count > 16) return false;
    for (Sample*& s : ins->samples) s = &emptySample;
    if (count == 0) return seekTo(f, start + headerSize);
    if (!readInstrumentHeader(ins, f) || !seekTo(f, start + headerSize)) return false;
    uint32_t byteLengths[16];
    for (int j = 0; j < count; j++) {
        auto* s = static_cast<Sample*>(std::calloc(1, sizeof(Sample)));
        if (s == nullptr) return false;
        ins->samples[j] = s;
        ins->numSamples = j + 1;
        if (!readSampleHeader(s, f, &byteLengths[j])) return false;
    }
    for (int j = 0; j < count; j++) {
        Sample* s = ins->samples[j];
        if (s->length > 0 && !readSampleData(s, f, byteLengths[j])) return false;
    }
    return true;
}

bool readXm(Song* song, XmFile* file) {
    static const char signature[17] = {'E', 'x', 't', 'e', 'n', 'd', 'e', 'd', ' ',
                                       'M', 'o', 'd', 'u', 'l', 'e', ':', ' '};
    char head[17];
    fileSeek(file, 0, 0);
    if (!readBytes(file, head, 17) || std::memcmp(head, signature, 17) != 0) return false;
    song->tickRoutine = songTick;
    song->defaultGlobalVolume = 64;

    uint32_t headerSize;
    uint16_t storedPatterns;
    fileSeek(file, 60, 0);
    if (!readU32(file, &headerSize) || !readI16(file, &song->songLength) ||
        !readI16(file, &song->restartPosition) || !readI16(file, &song->numChannels) ||
        !readU16(file, &storedPatterns) || !readI16(file, &song->numInstruments) ||
        !readU16(file, &song->flags) || !readI16(file, &song->defaultSpeed) ||
        !readI16(file, &song->defaultBpm) || !readBytes(file, song->orderTable, 256))
        return false;
    // What the tables have room for, and what the sequencer can play: a song
    // that restarts outside its order list or a tempo of 0 has no sound.
    if (song->numChannels < 1 || song->numChannels > maxChannels || song->songLength < 1 ||
        song->songLength > 256 || storedPatterns > maxPatterns || song->restartPosition < 0 ||
        song->restartPosition >= song->songLength || song->numInstruments < 0 ||
        song->defaultBpm < 1)
        return false;
    if (!seekTo(file, 60 + int64_t(headerSize))) return false;

    int highest = 0;
    for (int i = 0; i < song->songLength; i++) {
        if (song->orderTable[i] > highest) highest = song->orderTable[i];
    }
    song->orderPatternCount = highest + 1;
    int count = storedPatterns > song->orderPatternCount ? storedPatterns : song->orderPatternCount;
    song->patterns = static_cast<Pattern*>(std::calloc(size_t(count), sizeof(Pattern)));
    if (song->patterns == nullptr) return false;
    song->patternCount = count;
    if (!readPatterns(song, file, storedPatterns)) return false;

    int instruments = song->numInstruments;
    song->numInstruments = 0;
    if (instruments > 0) {
        song->instruments =
            static_cast<Instrument*>(std::calloc(size_t(instruments), sizeof(Instrument)));
        if (song->instruments == nullptr) return false;
    }
    song->numInstruments = int16_t(instruments);
    for (int i = 0; i < instruments; i++) {
        if (!readInstrument(&song->instruments[i], file)) return false;
    }
    return true;
}

// Frees everything a song holds; it must not be playing.
static void releaseSong(Song* song) {
    if (song->instruments != nullptr) {
        for (int i = 0; i < song->numInstruments; i++) {
            Instrument* ins = &song->instruments[i];
            for (int j = 0; j < ins->numSamples; j++) {
                if (ins->samples[j] == nullptr || ins->samples[j] == &emptySample) continue;
                std::free(ins->samples[j]->data);
                std::free(ins->samples[j]);
            }
        }
        std::free(song->instruments);
    }
    if (song->patterns != nullptr) {
        for (int p = 0; p < song->patternCount; p++) std::free(song->patterns[p].cells);
        std::free(song->patterns);
    }
    std::free(song);
}

static Song* loadFromFile(XmFile* file) {
    auto* song = static_cast<Song*>(std::calloc(1, sizeof(Song)));
    if (song == nullptr) return nullptr;
    if (readXm(song, file)) return song;
    // A partly read song never played: it is released without touching the output.
    releaseSong(song);
    return nullptr;
}

Song* loadSong(int resourceId) {
    if (!streamOpsComplete()) return nullptr;
    void* stream = streamOps.open(resourceId);
    if (stream == nullptr) return nullptr;
    XmFile file = {&streamOps, stream};
    Song* song = loadFromFile(&file);
    streamOps.close(stream);
    return song;
}

Song* loadSongFromMemory(const uint8_t* data, size_t size) {
    static const StreamOps memoryOps = {nullptr, nullptr, readStream, seekStream, tellStream};
    MemoryStream stream = memoryStreamOver(data, size);
    XmFile file = {&memoryOps, &stream};
    return loadFromFile(&file);
}

bool freeSong(Song* song) {
    if (song == nullptr) return false;
    while (output.mixingBlock.load()) {}
    stopSong(song);
    releaseSong(song);
    return true;
}
