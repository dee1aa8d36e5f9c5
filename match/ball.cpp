#include "match/ball.h"

#include "match/events.h"
#include "match/pitch.h"
#include "match/restarts.h"
#include "match/state.h"

// Constants are single-precision values; the arithmetic runs in double.
constexpr double BoxHalf = 0.06f;
constexpr double BallHalf = 0.015f;

static bool mayGainBall(int i) {
    const Player& p = match.players[i];
    const Ball& b = match.ball;
    int owner = match.ballOwner;
    // A goalkeeper may take the ball off a dribbling opponent.
    bool candidate = owner == -1 || (isGoalkeeper(i) && owner != i && inTeamA(owner) != inTeamA(i));
    if (!candidate || p.fallen) return false;
    if (match.playState != Restart && b.speed >= 0.0001f) {
        if (i == match.lastToucher) return false;
        if (!(b.speed < (isGoalkeeper(i) ? 0.015f : 0.005f))) return false;
    }
    if (!(p.x - BoxHalf <= b.x - BallHalf && p.x + BoxHalf >= b.x + BallHalf)) return false;
    if (!(p.y - BoxHalf <= b.y - BallHalf && p.y + BoxHalf >= b.y + BallHalf)) return false;
    if (match.playState == Restart) return i == match.restartTaker;
    return match.playState == InPlay;
}

static void gainBall(int i) {
    Player& p = match.players[i];
    if (match.playState == Restart && i == match.restartTaker && !isGoalkeeper(i)) {
        // The taker turns back into the pitch; a corner keeps its curl.
        p.dirX = -match.ball.dirX;
        p.dirY = -match.ball.dirY;
    } else {
        match.ball.curl = 0;
    }
    match.ballOwner = i;
    match.shotCharge = 0;
    match.computerDelay = 1.5f;
    p.actionTimer = 1.0f;
}

// The active player of team B (or A) takes the restart. A goalkeeper never
// does: his leash would keep him from ever reaching a throw-in or corner spot
// and the match would wait for him for good. His defender stands in.
static void activeFieldPlayerTakes(bool teamB) {
    int32_t& active = teamB ? match.activePlayerB : match.activePlayerA;
    if (active == (teamB ? GoalkeeperB : GoalkeeperA)) active = teamB ? 10 : 4;
    match.restartTaker = active;
}

static MatchEventKind restartKind() {
    if (isCornerRestart()) return MatchEventKind::Corner;
    if (isGoalkeeper(match.restartTaker)) return MatchEventKind::GoalKick;
    return MatchEventKind::ThrowIn;
}

static void throwIn(float side) {
    match.playState = Restart;
    match.restartX = side;
    match.restartY = match.ball.y;
    activeFieldPlayerTakes(inTeamA(match.lastToucher));
}

// A goal kick: the ball and the restart spot move in front of the goal.
static void goalKick(int keeper, float y) {
    match.restartTaker = keeper;
    match.ball.x = match.restartX = 0;
    match.ball.y = match.restartY = y;
}

// The ball crossed the goal line at line (+1 or -1) outside the goal mouth.
// teamADefends: team A defends this line, so a touch by A gives a corner.
static void wideOfGoal(int line, bool teamADefends) {
    Ball& b = match.ball;
    float spotY = line > 0 ? CornerSpotY : -CornerSpotY;
    b.y = spotY;
    match.playState = Restart;
    b.curl = line;
    b.x = match.restartX = b.x > 0 ? TouchLine : -TouchLine;
    match.restartY = spotY;
    float kickY = line > 0 ? 0.7f : -0.7f;
    // Nobody as last toucher counts as team B, like at the side lines.
    if (inTeamA(match.lastToucher)) {
        if (teamADefends) {
            activeFieldPlayerTakes(true);
        } else {
            goalKick(GoalkeeperB, kickY);
        }
    } else {
        if (!teamADefends) {
            activeFieldPlayerTakes(false);
        } else {
            goalKick(GoalkeeperA, kickY);
        }
    }
}

static void goalLine(int line) {
    Ball& b = match.ball;
    bool teamADefends = match.endSign == line;
    // The goal mouth is not centred: its -x edge is tested on x + 0.015.
    double left = b.x + BallHalf;
    if (b.x >= 0.19f || left <= -0.19f) {
        wideOfGoal(line, teamADefends);
    } else if (b.x > 0.18f || left < -0.16f) {
        b.dirY = -line; // off the post
        b.y = line > 0 ? GoalLine : -GoalLine;
    } else if (match.playState != Restart) {
        // A dead ball never scores: after a long stall the curl could carry it
        // from the goal-kick spot over the line. (A ball that went out over a
        // side line this frame is always wide here.)
        match.goalScored = 1;
        match.goalTimer = 2.0f;
        reportMatchEvent(MatchEventKind::Goal); // the music rule starts the celebration's song
        if (teamADefends) {
            match.score[0] += 1;
            match.kickOffTeamB = 0;
        } else {
            match.score[1] += 1;
            match.kickOffTeamB = 1;
        }
    }
}

void stepBall() {
    Ball& b = match.ball;
    const double fs = frameScale;

    // A later goalkeeper in index order may take the ball off the new owner.
    for (int i = 0; i < 12; i++) {
        if (mayGainBall(i)) gainBall(i);
    }

    if (match.ballOwner != -1) {
        b.x = match.players[match.ballOwner].x;
        b.y = match.players[match.ballOwner].y;
    } else {
        match.shotCharge = 0;
    }

    double step = b.speed * fs;
    if (b.dirX != 0 && b.dirY != 0) step *= DiagonalScale;
    b.x = float(b.x + b.dirX * step);
    b.y = float(b.y + b.dirY * step);

    if (b.speed > 0.000001f) {
        // A frame longer than 20 ticks would take away more speed than the
        // ball has and send it backwards, past every "slow enough" test.
        b.speed = float(b.speed - b.speed / 20.0 * fs);
        if (b.speed < 0) b.speed = 0;
    } else {
        b.speed = 0;
    }

    if (match.playState == InPlay) {
        if (b.speed < 0.00001f) b.curl = 0;
        if (b.liftSpeed != 0) {
            if (b.speed > b.liftSpeed) {
                b.height = float(b.height + double(0.001f) * fs);
                b.y = float(b.y - b.curl * double(0.015f) * fs);
            } else {
                b.height = float(b.height - double(0.002f) * fs);
            }
        }
    } else {
        b.height = 0;
    }

    if (b.curl != 0) b.y = float(b.y + b.curl * double(0.002f) * fs);

    if (b.height < 0) {
        b.height = 0;
        b.liftSpeed = 0;
    }

    // Each check sees what the earlier ones set: a ball over a side line and a
    // goal line in the same frame ends as a goal-line restart.
    const bool wasDead = match.playState == Restart;
    if (match.ballOwner == -1) {
        if (b.x > SideLine) throwIn(TouchLine);
        if (b.x < -SideLine) throwIn(-TouchLine);
        if (b.y > GoalLine) goalLine(+1);
        if (b.y < -GoalLine) goalLine(-1);
    }
    // One event for the restart the ball's way out ended in; a dead ball moved
    // again by its curl stays the same restart.
    if (match.playState == Restart && !wasDead) reportMatchEvent(restartKind());

    if (match.playState == Restart) b.speed = 0;

    // The roll animation advances per call, not per tick.
    if (match.ballOwner != -1 && match.players[match.ballOwner].speed > 0.0001f)
        b.roll = float(b.roll + double(0.1f));
    b.roll = float(b.roll + double(b.speed));
    if (b.roll >= 3.0f) b.roll = 0;
}
