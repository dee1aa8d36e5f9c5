// A game of one number for the session's tests and fuzzing: each pass folds
// both inputs into it, so any input run differently shows in the state.
#pragma once

#include <cstring>

#include "net/session.h"

struct ToyGame {
    uint64_t value = 1;
    uint32_t reruns = 0;
};

inline void toySave(void* context, NetSaved& out) {
    const ToyGame& g = *static_cast<ToyGame*>(context);
    out.bytes.resize(8);
    std::memcpy(out.bytes.data(), &g.value, 8);
    out.hash = g.value;
}

inline void toyLoad(void* context, const NetSaved& saved) {
    std::memcpy(&static_cast<ToyGame*>(context)->value, saved.bytes.data(), 8);
}

inline void toyAdvance(void* context, uint32_t, const NetInput in[2], bool rerun) {
    ToyGame& g = *static_cast<ToyGame*>(context);
    g.value = g.value * 1099511628211ull + (in[0].keys | in[0].flow << 5) * 131 +
              (in[1].keys | in[1].flow << 5);
    g.reruns += rerun;
}

// A session over `link` playing the toy game, with an input delay of 2.
inline void toySessionStart(NetSession& s, ToyGame& g, NetTransport* link) {
    NetSetup setup;
    setup.callbacks = {&g, toySave, toyLoad, toyAdvance};
    setup.link = link;
    setup.inputDelay = 2;
    netSessionStart(s, setup, 0);
}
