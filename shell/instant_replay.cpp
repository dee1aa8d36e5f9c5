#include "shell/instant_replay.h"

#include <deque>
#include <vector>

#include "match/state.h"
#include "render/device.h"
#include "shell/display.h"
#include "shell/screens.h"
#include "shell/state_codec.h"

bool instantReplayOffered = true;

constexpr uint32_t KeptMs = 5000;

struct SavedPass {
    std::vector<uint8_t> state;
    uint32_t frameMs;
};

struct InstantReplay {
    std::deque<SavedPass> passes; // oldest first, at most KeptMs of them
    uint32_t keptMs = 0;
    bool showing = false;
    size_t next = 0;             // the saved pass the next turn shows
    std::vector<uint8_t> resume; // the state when R was pressed
    RenderStates resumeStates;
};
static InstantReplay instant;

void instantReplayClear() {
    instant.passes.clear();
    instant.keptMs = 0;
    instant.showing = false;
}

void instantReplayKeep(uint32_t frameMs) {
    InstantReplay& r = instant;
    if (r.showing || match.goalScored || screenFlow.titleActive || screenFlow.bootActive) return;
    SavedPass pass{std::vector<uint8_t>(stateBytes()), frameMs};
    encodeState(pass.state.data());
    r.passes.push_back(std::move(pass));
    r.keptMs += frameMs;
    while (r.passes.size() > 1 && r.keptMs - r.passes.front().frameMs >= KeptMs) {
        r.keptMs -= r.passes.front().frameMs;
        r.passes.pop_front();
    }
}

bool instantReplayRequest() {
    InstantReplay& r = instant;
    if (!instantReplayOffered || r.showing || !match.goalScored || r.passes.empty() ||
        !graphics.created)
        return false;
    r.resume.resize(stateBytes());
    encodeState(r.resume.data());
    r.resumeStates = graphics.states;
    r.next = 0;
    r.showing = true;
    return true;
}

bool instantReplayShowing() {
    return instant.showing;
}

void instantReplayTurn() {
    InstantReplay& r = instant;
    if (r.next < r.passes.size()) {
        // The saved pass is drawn as the match screen drew it; what the drawing
        // does to the game is undone at the end.
        applyState(r.passes[r.next++].state.data());
        matchScreenCaption = "REPLAY";
        drawMatchScreen();
        matchScreenCaption = nullptr;
        return;
    }
    applyState(r.resume.data());
    graphics.states = r.resumeStates;
    r.showing = false;
}
