// Two seconds of the title music (one ring, what playSong renders before it
// returns) by the game's block renderer, by libxmp and by libopenmpt; and how
// long the main thread is held when a kick interrupts the music.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

#include "audio/mixer.h"
#include "audio/output.h"
#include "audio/stream.h"
#include "audio/xm.h"
#include "platform/audio_device.h"
#include "resources/resources.h"

#ifdef SOCCER_HAVE_LIBXMP
#include <xmp.h>
#endif
#ifdef SOCCER_HAVE_LIBOPENMPT
#include <libopenmpt/libopenmpt.h>
#endif

static const int framesPerRun = ringFrames; // 2.0 s

static void reportRate(benchmark::State& state) {
    state.SetItemsProcessed(int64_t(state.iterations()) * framesPerRun);
    state.counters["x_realtime"] = benchmark::Counter(
        double(state.iterations()) * framesPerRun / outputRate, benchmark::Counter::kIsRate);
}

// The ring blocks rendered one after the other, as the output thread does.
static void BM_BlockRenderer(benchmark::State& state) {
    loadSongs();
    audioDeviceUseManual(true);
    if (!playSong(musicSong, 1)) {
        state.SkipWithError("the title music does not play");
        return;
    }
    while (state.KeepRunning()) {
        for (int b = 0; b < blockCount; b++) fillBlock();
        benchmark::DoNotOptimize(output.ring[0]);
    }
    reportRate(state);
    freeSongs();
}
BENCHMARK(BM_BlockRenderer)->Unit(benchmark::kMillisecond);

// playSong as the game calls it: reset, allocate, prefill the ring.
static void BM_PlaySong(benchmark::State& state) {
    loadSongs();
    audioDeviceUseManual(true);
    while (state.KeepRunning()) {
        playSong(musicSong, 1);
        stopSong(musicSong);
    }
    reportRate(state);
    freeSongs();
}
BENCHMARK(BM_PlaySong)->Unit(benchmark::kMillisecond);

// The song controls on the sound-card device, with SDL's dummy driver standing
// in for a card, timed on the main thread as the match calls them. Each run
// first starts the title music (untimed) and lets the output thread run a
// few milliseconds, at a different phase of its polling each time.
using Clock = std::chrono::steady_clock;

static double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

static bool startMusicOnDummyCard(benchmark::State& state, int run) {
    if (!playSong(musicSong, 1)) {
        state.SkipWithError("no SDL audio");
        return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1 + run % 7));
    return true;
}

static void useDummyCard() {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    audioDeviceUseManual(false);
    loadSongs();
}

// How long the caller was held, run by run: besides the mean, the median and
// the worst run (a busy machine adds outliers that the mean alone hides);
// and how soon the device took the first bytes of the new sound.
struct HeldTimes {
    std::vector<double> held;
    double startSum = 0;
    int starts = 0;

    void hold(benchmark::State& state, Clock::time_point begin) {
        held.push_back(millisecondsSince(begin));
        state.SetIterationTime(held.back() / 1000.0);
    }
    void report(benchmark::State& state) {
        if (held.empty()) return;
        std::sort(held.begin(), held.end());
        state.counters["median_ms"] = held[held.size() / 2];
        state.counters["worst_ms"] = held.back();
        if (starts > 0) state.counters["start_ms"] = startSum / starts;
    }
};

// Times one song call made while the title music plays on the dummy card; with
// `awaitSound`, also how long until the card has taken its first bytes.
template <class Call>
static void timeCallOverMusic(benchmark::State& state, Call call, bool awaitSound) {
    useDummyCard();
    HeldTimes times;
    int run = 0;
    for (auto _ : state) {
        if (!startMusicOnDummyCard(state, run++)) break;
        Clock::time_point begin = Clock::now();
        call();
        times.hold(state, begin);
        if (!awaitSound) continue;
        while (audioDeviceBytesPlayed() == 0 && millisecondsSince(begin) < 500) {}
        if (audioDeviceBytesPlayed() > 0) {
            times.startSum += millisecondsSince(begin);
            times.starts++;
        }
    }
    times.report(state);
    freeSongs();
}

// A kick while the title music plays.
static void BM_PlayEffectOverMusic(benchmark::State& state) {
    timeCallOverMusic(
        state, [] { playSong(kickSong, 0); }, true);
}
BENCHMARK(BM_PlayEffectOverMusic)->UseManualTime()->Iterations(60)->Unit(benchmark::kMillisecond);

// The music switched off.
static void BM_StopSong(benchmark::State& state) {
    timeCallOverMusic(
        state, [] { stopSong(musicSong); }, false);
}
BENCHMARK(BM_StopSong)->UseManualTime()->Iterations(60)->Unit(benchmark::kMillisecond);

#ifdef SOCCER_HAVE_LIBXMP
static void BM_Libxmp(benchmark::State& state) {
    ResourceBytes r = findResource(ResourceMusicSong, "XM");
    xmp_context ctx = xmp_create_context();
    if (xmp_load_module_from_memory(ctx, const_cast<uint8_t*>(r.data), long(r.size)) != 0) {
        state.SkipWithError("libxmp cannot load the title music");
        xmp_free_context(ctx);
        return;
    }
    xmp_start_player(ctx, outputRate, 0);
    xmp_set_player(ctx, XMP_PLAYER_INTERP, XMP_INTERP_LINEAR);
    std::vector<int16_t> buf(size_t(framesPerRun) * 2);
    while (state.KeepRunning()) {
        xmp_play_buffer(ctx, buf.data(), int(buf.size() * 2), 0);
        benchmark::DoNotOptimize(buf[0]);
    }
    reportRate(state);
    xmp_end_player(ctx);
    xmp_release_module(ctx);
    xmp_free_context(ctx);
}
BENCHMARK(BM_Libxmp)->Unit(benchmark::kMillisecond);
#endif

#ifdef SOCCER_HAVE_LIBOPENMPT
static void BM_Libopenmpt(benchmark::State& state) {
    ResourceBytes r = findResource(ResourceMusicSong, "XM");
    openmpt_module* mod = openmpt_module_create_from_memory2(
        r.data, r.size, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    if (mod == nullptr) {
        state.SkipWithError("libopenmpt cannot load the title music");
        return;
    }
    openmpt_module_set_repeat_count(mod, -1);
    openmpt_module_set_render_param(mod, OPENMPT_MODULE_RENDER_INTERPOLATIONFILTER_LENGTH, 2);
    std::vector<int16_t> buf(size_t(framesPerRun) * 2);
    while (state.KeepRunning()) {
        size_t done = 0;
        while (done < size_t(framesPerRun)) {
            size_t n = openmpt_module_read_interleaved_stereo(mod, outputRate, framesPerRun - done,
                                                              buf.data() + 2 * done);
            if (n == 0) break;
            done += n;
        }
        benchmark::DoNotOptimize(buf[0]);
    }
    reportRate(state);
    openmpt_module_destroy(mod);
}
BENCHMARK(BM_Libopenmpt)->Unit(benchmark::kMillisecond);
#endif
