#include "shell/spectate.h"

#include <algorithm>

#include "shell/state_codec.h"

bool netWatchTake(NetWatch& w, const std::vector<uint8_t>& record, std::string& why) {
    uint8_t side = 0;
    NetMessage m;
    if (!netReadFeed(record, side, m, why)) return false;
    if (m.kind == NetStart) {
        if (w.started || side != 0) {
            why = "a second start in the match's record";
            return false;
        }
        if (m.state.size() != stateBytes() || !checkState(m.state.data(), why)) {
            why = "the match's record holds a state that cannot be played" +
                  (why.empty() ? "" : ": " + why);
            return false;
        }
        netGameWatchStart(w.game, m.state, m.seed);
        w.started = true;
        return true;
    }
    std::vector<NetInput>& known = w.inputs[side];
    if (!w.started || m.pass != known.size()) {
        why = "the match's record skips passes";
        return false;
    }
    known.insert(known.end(), m.inputs, m.inputs + m.count);
    return true;
}

uint32_t netWatchKnown(const NetWatch& w) {
    return uint32_t(std::min(w.inputs[0].size(), w.inputs[1].size()));
}

bool netWatchPass(NetWatch& w) {
    if (!w.started || w.game.over || w.pass >= netWatchKnown(w)) return false;
    NetInput in[2] = {w.inputs[0][w.pass], w.inputs[1][w.pass]};
    w.game.quiet = w.target > w.pass + WatchQuietBehind;
    netGameWatchPass(w.game, w.pass, in);
    w.pass++;
    return true;
}

uint32_t netWatchTarget(const NetWatch& w, bool complete) {
    uint32_t known = netWatchKnown(w);
    if (complete) return known;
    return known > WatchBehind ? known - WatchBehind : 0;
}

uint32_t netWatchBudget(const NetWatch& w, uint32_t due, bool complete) {
    uint32_t target = netWatchTarget(w, complete);
    if (complete) return target - w.pass;
    uint32_t room = target > w.pass ? target - w.pass : 0;
    // A late spectator catches up a tenth of the way each frame.
    return std::min(room, std::max(due, room / 10));
}
