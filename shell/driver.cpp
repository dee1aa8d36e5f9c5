#include "shell/driver.h"

#include <cmath>

#include "match/actions.h"
#include "match/events.h"
#include "match/random.h"
#include "match/state.h"
#include "platform/platform.h"
#include "shell/display.h"
#include "shell/game.h"
#include "shell/netplay.h"
#include "shell/options.h"
#include "shell/replay.h"
#include "shell/screens.h"
#include "shell/timing.h"

// The driver's own generator (frame lengths, random keys): xorshift32, so the
// game's generator sees exactly the draws the game makes.
static uint32_t driverRandomState;

static uint32_t driverRandom() {
    uint32_t x = driverRandomState;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    driverRandomState = x;
    return x;
}

// The ten keys the humans play with, in a fixed order.
static const int controlKeys[10] = {VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN, VK_CONTROL,
                                    'A',     'D',      'W',   'S',     'B'};

// Key-down messages wait here and reach the window procedure one per frame,
// as the main loop takes them.
struct KeyQueue {
    int keys[16];
    int head, count;
};

static void queueKey(KeyQueue& q, int vk) {
    if (q.count == 16) return;
    q.keys[(q.head + q.count) % 16] = vk;
    q.count++;
}

static int takeKey(KeyQueue& q) {
    int vk = q.keys[q.head];
    q.head = (q.head + 1) % 16;
    q.count--;
    return vk;
}

struct DriverKeys {
    bool held[10];
    KeyQueue queue;
    double shotPower[2]; // each scripted side's next shot, drawn anew after every kick
};

// Holds or releases a key as a keyboard would: a key going down also sends a
// key-down message.
static void pressKey(DriverKeys& k, int slot, bool down) {
    if (down && !k.held[slot]) queueKey(k.queue, controlKeys[slot]);
    k.held[slot] = down;
    headlessSetKeyHeld(controlKeys[slot], down);
}

// A simple human: runs his active player at the ball, dribbles toward the
// middle of the opponents' goal, shoots once within reach of it, clears from
// his own goalkeeper, takes restarts with a short kick and tackles an
// opponent on the ball next to him. How hard he shoots varies from shot to
// shot (the driver's generator), so matches of different seeds differ.
static void scriptedPlayer(DriverKeys& k, bool teamA) {
    int first = teamA ? 0 : 5;
    int p = teamA ? match.activePlayerA : match.activePlayerB;
    const Player& pl = match.players[p];
    double attackY = (teamA ? -match.endSign : match.endSign) * 0.98;
    bool owns = match.ballOwner == p;
    double tx = owns ? 0.0 : match.ball.x;
    double ty = owns ? attackY : match.ball.y;
    pressKey(k, first + 0, tx + 0.01 < pl.x);
    pressKey(k, first + 1, tx - 0.01 > pl.x);
    pressKey(k, first + 2, ty - 0.01 > pl.y);
    pressKey(k, first + 3, ty + 0.01 < pl.y);

    double& power = k.shotPower[teamA ? 0 : 1];
    if (match.shotCharge == 0) power = 0.014 + 0.001 * (driverRandom() % 7);
    bool shoot = false;
    if (owns) {
        double charge = 0;
        if (isGoalkeeper(p)) {
            charge = 0.02;
        } else if (match.playState == Restart) {
            charge = 0.006;
        } else if (std::fabs(attackY - pl.y) < 0.7) {
            charge = power;
        }
        // Holds the key until the charge is reached (the full charge is the
        // float 0.02, where it stops growing); the release shoots.
        shoot = charge > 0 && match.shotCharge < float(charge);
    } else if (match.ballOwner >= 0 && match.players[match.ballOwner].isTeamA != pl.isTeamA) {
        shoot = playerDistance(p, match.ballOwner) < 0.045f;
    }
    pressKey(k, first + 4, shoot);
}

static void randomPlayer(DriverKeys& k) {
    for (int slot = 0; slot < 10; slot++)
        if (driverRandom() % 8 == 0) pressKey(k, slot, !k.held[slot]);
    // Now and then an option key during play: strength and kit colours.
    if (driverRandom() % 64 == 0) queueKey(k.queue, VK_F3 + int(driverRandom() % 6));
}

static void releaseAllKeys(DriverKeys& k) {
    for (int slot = 0; slot < 10; slot++) pressKey(k, slot, false);
    k.queue = KeyQueue{};
}

// The figures come from what the match reported this pass: a goalkeeper
// taking the ball off a dribbler is no kick, and one ball-out is one restart.
void tallyPass(MatchStats& s) {
    for (const MatchEvent& e : matchEvents) {
        switch (e.kind) {
        case MatchEventKind::Kick:
            s.kicks++;
            break;
        case MatchEventKind::Tackle:
            s.tackles++;
            break;
        case MatchEventKind::ThrowIn:
            s.throwIns++;
            break;
        case MatchEventKind::Corner:
            s.corners++;
            break;
        case MatchEventKind::GoalKick:
            s.goalKicks++;
            break;
        case MatchEventKind::Goal:
            break;
        }
    }
    if (match.ballOwner >= 0) {
        if (match.ballOwner < 6) {
            s.framesA++;
        } else {
            s.framesB++;
        }
    }
    s.frames++;
}

static void startMatch(const DriverOptions& o) {
    // Every match starts from the program's initial match record, message box
    // and options, so that it depends on its seed alone: kit colours that random
    // keys changed in one match no longer carry into the next (they did, which
    // made a later match's state hash depend on the earlier ones). The camera
    // and the screen flow but for its two flags carry over; no headless pass
    // moves them.
    match = MatchState{};
    match.singlePlayer = o.versusComputer;
    match.computerStrength = o.strength;
    matchScreen = MatchScreen{};
    frameScale = 1.0f;
    seedRandom(o.seed);
    screenFlow.bootActive = 0;
    screenFlow.titleActive = 0;
    options = GameOptions{};
    options.soundOn = 0;
    options.matchDuration = o.duration;
    gameLoop.previousTimestamp = o.clockStart;
    headlessClearInput();
    newMatchReset();
}

// One pass without drawing, through the sync test when it is on; false when
// the sync test found a difference.
static bool driverPass() {
    if (!syncTestOn()) {
        gamePassWithoutDrawing();
        return true;
    }
    return syncTestPass();
}

MatchStats playMatch(const DriverOptions& o) {
    platformSetHeadless(true);
    platformSetWindowProcedure(windowProcedure);
    startMatch(o);
    driverRandomState = o.seed * 2654435761u + 0x9E3779B9u;
    if (driverRandomState == 0) driverRandomState = 1;
    static DriverKeys keys;
    releaseAllKeys(keys);

    MatchStats s{};
    s.seed = o.seed;
    s.strength = o.strength;
    int64_t maxFrames = o.maxFrames > 0 ? o.maxFrames : 4000000;
    uint64_t micros = uint64_t(o.clockStart) * 1000;
    if (o.record) replayRecordFromHere();
    if (o.syncTest) syncTestStart(o.syncTest);

    while (s.frames < maxFrames) {
        if (o.stallEvery && (s.frames + 1) % o.stallEvery == 0) {
            micros += uint64_t(o.stallMs) * 1000;
        } else if (o.frameMicros) {
            micros += o.frameMicros;
        } else if (o.msMax > o.msMin) {
            micros += uint64_t(o.msMin + driverRandom() % (o.msMax - o.msMin + 1)) * 1000;
        } else {
            micros += uint64_t(o.msMin) * 1000;
        }
        headlessSetClock(uint32_t(micros / 1000));

        if (o.randomKeys) {
            randomPlayer(keys);
        } else {
            scriptedPlayer(keys, true);
            if (!o.versusComputer) scriptedPlayer(keys, false);
            // A human closes a half's box once it shows READY, and starts a
            // kick-off the computer is to take, with a key press.
            bool boxReady = matchScreen.messageShowing &&
                            matchScreen.messageKind != MessageGameOver &&
                            matchScreen.messageTimer <= 0;
            bool kickOffWaits = match.playState == KickOff && !match.goalScored;
            if (keys.queue.count == 0 && (boxReady || (kickOffWaits && o.versusComputer)))
                queueKey(keys.queue, VK_UP);
        }
        // The game takes one message a pass, as the keys went down.
        if (keys.queue.count > 0) headlessPostMessage(WM_KEYDOWN, uintptr_t(takeKey(keys.queue)));

        if (!driverPass()) {
            s.parted = 1;
            break;
        }
        tallyPass(s);
        if (o.afterFrame) o.afterFrame(o.context);
        if (matchScreen.messageShowing && matchScreen.messageKind == MessageGameOver) {
            s.finished = 1;
            break;
        }
    }
    if (o.record) replayRecordingEnd();
    syncTestStop();
    releaseAllKeys(keys);
    s.scoreA = match.score[1];
    s.scoreB = match.score[0];
    return s;
}

MatchStats playReplay(const Replay& replay, bool* faithful, uint32_t syncTest) {
    platformSetHeadless(true);
    platformSetWindowProcedure(windowProcedure);
    replayPlaybackStart(replay, false);
    if (syncTest) syncTestStart(syncTest);
    MatchStats s{};
    while (screenFlow.gameRunning && !replayPlaybackDone()) {
        if (!driverPass()) {
            s.parted = 1;
            break;
        }
        tallyPass(s);
    }
    syncTestStop();
    if (faithful) *faithful = replayPlaybackFaithful() && replayPlaybackDone();
    replayPlaybackStop();
    s.strength = match.computerStrength;
    s.scoreA = match.score[1];
    s.scoreB = match.score[0];
    s.finished = matchScreen.messageShowing && matchScreen.messageKind == 1;
    return s;
}
