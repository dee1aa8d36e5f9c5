// soccer-xmrender FILE.xm|--resource ID --out FILE.wav [--seconds S] [--once]
//
// Plays the module on the caller-driven audio device and writes what is
// heard: the same blocks, ring and one-shot cut the game's output produces.
#include <cmath>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "audio/output.h"
#include "audio/stream.h"
#include "audio/xm.h"
#include "platform/audio_device.h"
#include "resources/resources.h"
#include "shell/command_line.h"

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

static int renderModule(int argc, char** argv) {
    std::string file, outPath;
    int resource = -1;
    double seconds = -1;
    bool once = false;
    CLI::App app("Renders an XM module through the game's own player into a 44,100 Hz 16-bit "
                 "stereo WAV file.",
                 "soccer-xmrender");
    CLI::Option* fileOption =
        app.add_option("file", file, "the module to play")->option_text("FILE.xm");
    app.add_option("--resource", resource, "a module of the game's own resources instead")
        ->option_text("ID")
        ->check(CLI::NonNegativeNumber)
        ->excludes(fileOption);
    app.add_option("--out", outPath, "the WAV file to write")->option_text("FILE.wav")->required();
    app.add_option("--seconds", seconds, "how long to play (default: 10, or the one-shot's length)")
        ->option_text("S")
        ->check(CLI::Range(0.0, 3600.0));
    app.add_flag("--once", once, "play the module once, cut as the game cuts a one-shot");
    int status = parseCommandLine(app, argc, argv, std::cout, std::cerr);
    if (status >= 0) return status;
    if (file.empty() == (resource < 0)) {
        std::fprintf(stderr, "soccer-xmrender: give a module FILE.xm or --resource ID "
                             "(soccer-xmrender --help lists the options)\n");
        return 2;
    }

    installStreamOps(openResourceStream, closeStream, readStream, seekStream, tellStream);
    Song* song = nullptr;
    std::vector<uint8_t> bytes;
    if (!file.empty()) {
        if (!readFile(file.c_str(), &bytes)) {
            std::fprintf(stderr, "soccer-xmrender: cannot read %s\n", file.c_str());
            return 1;
        }
        song = loadSongFromMemory(bytes.data(), bytes.size());
    } else {
        song = loadSong(resource);
    }
    if (song == nullptr) {
        std::fprintf(stderr, "soccer-xmrender: %s%s does not load as an XM module\n",
                     file.empty() ? "resource " : file.c_str(),
                     file.empty() ? std::to_string(resource).c_str() : "");
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
    if (!writeWav(outPath.c_str(), samples)) {
        std::fprintf(stderr, "soccer-xmrender: cannot write %s\n", outPath.c_str());
        return 1;
    }
    return 0;
}

int main(int argc, char** argv) {
    return runProgram("soccer-xmrender", [&] { return renderModule(argc, argv); });
}
