// soccer-xmrender FILE.xm|--resource ID --out FILE.wav [--seconds S] [--once]
//
// Plays the module on the caller-driven audio device and writes what is
// heard: the same blocks, ring and one-shot cut the game's output produces.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "audio/output.h"
#include "audio/stream.h"
#include "audio/xm.h"
#include "platform/audio_device.h"
#include "resources/resources.h"

static void usage() {
    std::fprintf(stderr, "usage: soccer-xmrender FILE.xm|--resource ID --out FILE.wav "
                         "[--seconds S] [--once]\n");
}

static bool readFile(const char* path, std::vector<uint8_t>* bytes) {
    FILE* f = std::fopen(path, "rb");
    if (f == nullptr) return false;
    uint8_t chunk[65536];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0)
        bytes->insert(bytes->end(), chunk, chunk + n);
    bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

static void put16(std::vector<uint8_t>* out, uint32_t v) {
    out->push_back(uint8_t(v));
    out->push_back(uint8_t(v >> 8));
}

static void put32(std::vector<uint8_t>* out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

static bool writeWav(const char* path, const std::vector<int16_t>& samples) {
    std::vector<uint8_t> out;
    uint32_t dataBytes = uint32_t(samples.size() * 2);
    out.insert(out.end(), {'R', 'I', 'F', 'F'});
    put32(&out, 36 + dataBytes);
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put32(&out, 16);
    put16(&out, 1); // PCM
    put16(&out, 2);
    put32(&out, outputRate);
    put32(&out, outputRate * 4);
    put16(&out, 4);
    put16(&out, 16);
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    put32(&out, dataBytes);
    for (int16_t s : samples) put16(&out, uint16_t(s));
    FILE* f = std::fopen(path, "wb");
    if (f == nullptr) return false;
    bool ok = std::fwrite(out.data(), 1, out.size(), f) == out.size();
    return std::fclose(f) == 0 && ok;
}

int main(int argc, char** argv) {
    const char* file = nullptr;
    const char* outPath = nullptr;
    int resource = -1;
    double seconds = -1;
    bool once = false;
    for (int i = 1; i < argc; i++) {
        if (std::strcmp(argv[i], "--resource") == 0 && i + 1 < argc) {
            resource = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--out") == 0 && i + 1 < argc) {
            outPath = argv[++i];
        } else if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
            seconds = std::atof(argv[++i]);
        } else if (std::strcmp(argv[i], "--once") == 0) {
            once = true;
        } else if (argv[i][0] != '-' && file == nullptr) {
            file = argv[i];
        } else {
            usage();
            return 2;
        }
    }
    if ((file == nullptr) == (resource < 0) || outPath == nullptr) {
        usage();
        return 2;
    }

    installStreamOps(openResourceStream, closeStream, readStream, seekStream, tellStream);
    Song* song = nullptr;
    std::vector<uint8_t> bytes;
    if (file != nullptr) {
        if (!readFile(file, &bytes)) {
            std::fprintf(stderr, "soccer-xmrender: cannot read %s\n", file);
            return 1;
        }
        song = loadSongFromMemory(bytes.data(), bytes.size());
    } else {
        song = loadSong(resource);
    }
    if (song == nullptr) {
        std::fprintf(stderr, "soccer-xmrender: %s%s does not load as an XM module\n",
                     file ? file : "resource ", file ? "" : std::to_string(resource).c_str());
        return 1;
    }

    // A one-shot is heard for its first quarter second; a looping song for
    // ten seconds unless asked otherwise.
    if (seconds < 0) seconds = once ? double(oneShotFrames) / outputRate : 10.0;
    uint32_t frames = uint32_t(std::lround(seconds * outputRate));
    std::vector<int16_t> samples(size_t(frames) * 2);
    audioDeviceUseManual(true);
    if (!playSong(song, once ? 0 : 1)) {
        std::fprintf(stderr, "soccer-xmrender: the player did not start\n");
        freeSong(song);
        return 1;
    }
    audioDeviceManualAdvance(frames, samples.data());
    freeSong(song);
    if (!writeWav(outPath, samples)) {
        std::fprintf(stderr, "soccer-xmrender: cannot write %s\n", outPath);
        return 1;
    }
    return 0;
}
