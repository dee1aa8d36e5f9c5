#include "shell/statistics.h"

#include <cmath>

#include "match/events.h"
#include "match/state.h"
#include "render/device.h"
#include "render/sprites.h"
#include "shell/display.h"
#include "shell/options.h"

MatchStatistics matchStatistics;

void statisticsReset() {
    matchStatistics = MatchStatistics{};
}

static int teamOf(int player) {
    return player < 6 ? 0 : 1;
}

// Team A defends the goal line at y = endSign and attacks the other one.
static bool isShot(int kicker) {
    const int team = teamOf(kicker);
    const int attack = team == 0 ? -match.endSign : match.endSign;
    return match.ball.dirY == attack && match.ball.y * attack > 0;
}

static void tallyEvent(const MatchEvent& e) {
    TeamStatistics* t = matchStatistics.team;
    // A restart goes to the side that did not touch the ball last.
    const int awarded = match.lastToucher < 0 ? -1 : 1 - teamOf(match.lastToucher);
    switch (e.kind) {
    case MatchEventKind::Kick:
        // Restarts and kick-offs are silent: open play kicks sound once.
        if (e.player >= 0 && e.sounds > 0 && isShot(e.player)) t[teamOf(e.player)].shots++;
        break;
    case MatchEventKind::Tackle:
        if (e.player >= 0) t[teamOf(e.player)].tackles++;
        break;
    case MatchEventKind::Corner:
        if (awarded >= 0) t[awarded].corners++;
        break;
    case MatchEventKind::ThrowIn:
        if (awarded >= 0) t[awarded].throwIns++;
        break;
    case MatchEventKind::Goal:
    case MatchEventKind::GoalKick:
        break;
    }
}

void statisticsTally() {
    for (const MatchEvent& e : matchEvents) tallyEvent(e);
    TeamStatistics* t = matchStatistics.team;
    t[0].goals = match.score[1];
    t[1].goals = match.score[0];
    // Possession is of the playing time: while the match clock runs, which it
    // does not while a goalkeeper holds the ball, a restart waits or a box shows.
    const int owner = match.ballOwner;
    if (owner >= 0 && !isGoalkeeper(owner) && match.playState == InPlay &&
        !matchScreen.messageShowing && !match.goalScored) {
        t[teamOf(owner)].ticksWithBall += frameScale;
    }
}

int32_t possessionPercent(const MatchStatistics& s, int team) {
    const double a = s.team[0].ticksWithBall, b = s.team[1].ticksWithBall;
    if (a + b <= 0) return 0;
    const int32_t percentA = static_cast<int32_t>(std::lround(100 * a / (a + b)));
    return team == 0 ? percentA : 100 - percentA;
}

// One line of the box: the label, then team A's and team B's figure.
static void drawRow(int row, const char* label, int32_t a, int32_t b) {
    const int32_t y = 86 + 14 * row;
    drawText(196, y, label, 8, 0xFFFFFF);
    drawNumber(372, y, a, 8, teamColourTable[options.teamColour[0]]);
    drawNumber(428, y, b, 8, teamColourTable[options.teamColour[2]]);
}

void drawStatistics() {
    // The next frame draws with the states as the match screen left them.
    const RenderStates saved = graphics.states;
    drawPanel(180, 60, 460, 186);
    beginText();
    if (fontTexture) {
        drawText(196, 68, "FULL TIME", 8, 0xFFFFFF);
        drawText(372, 68, "A", 8, teamColourTable[options.teamColour[0]]);
        drawText(428, 68, "B", 8, teamColourTable[options.teamColour[2]]);
        const TeamStatistics* t = matchStatistics.team;
        drawRow(0, "GOALS", t[0].goals, t[1].goals);
        drawRow(1, "SHOTS", t[0].shots, t[1].shots);
        drawRow(2, "POSSESSION %", possessionPercent(matchStatistics, 0),
                possessionPercent(matchStatistics, 1));
        drawRow(3, "TACKLES", t[0].tackles, t[1].tackles);
        drawRow(4, "CORNERS", t[0].corners, t[1].corners);
        drawRow(5, "THROW-INS", t[0].throwIns, t[1].throwIns);
    }
    endText();
    graphics.states = saved;
}
