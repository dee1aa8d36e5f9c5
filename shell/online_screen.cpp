#include "shell/online_screen.h"

#include <cctype>
#include <cstdio>

#include "platform/platform.h"
#include "render/device.h"
#include "render/sprites.h"
#include "shell/netplay.h"
#include "shell/screens.h"

constexpr uint32_t NoticeMs = 12000;
constexpr uint32_t Panel = 0xFF1A1650, Frame = 0xFFA397FF, Text = 0xFFFFFF, Figures = 0xA397FF;

struct OnlineScreen {
    std::vector<std::string> lines; // the box at the top: waiting, connecting, a notice
    bool inMatch = false;
    uint32_t noticeSince = 0;
    bool notice = false;
    bool ended = false; // the online part is over: only a notice still shows
    bool readout = false;
    std::string figures; // the readout's lines
};
static OnlineScreen screen;

// The font has capitals only.
static std::string capitals(std::string text) {
    for (char& c : text) c = char(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// Lines of at most 70 characters, broken at blanks.
static void addWrapped(const std::string& text) {
    std::string rest = capitals(text);
    while (rest.size() > 70) {
        size_t cut = rest.rfind(' ', 70);
        if (cut == std::string::npos || cut == 0) cut = 70;
        screen.lines.push_back(rest.substr(0, cut));
        rest = rest.substr(cut + (rest[cut] == ' ' ? 1 : 0));
    }
    screen.lines.push_back(rest);
}

void onlineScreenWaiting(uint16_t port, const std::vector<std::string>& addresses) {
    screen.lines = {"WAITING FOR A PLAYER ON PORT " + std::to_string(port)};
    std::string at = "ADDRESSES:";
    for (size_t i = 0; i < addresses.size() && i < 4; i++) at += " " + addresses[i];
    if (addresses.empty()) at += " NONE BUT THIS MACHINE'S OWN";
    screen.lines.push_back(at);
    screen.lines.push_back("SET THE OPTIONS MEANWHILE - ESC QUITS");
}

void onlineScreenJoining(const std::string& peer) {
    screen.lines = {"CONNECTING TO " + capitals(peer) + " ...", "ESC QUITS"};
}

void onlineScreenLines(const std::vector<std::string>& lines) {
    screen.inMatch = false;
    screen.ended = false;
    screen.notice = false;
    screen.lines.clear();
    for (const std::string& line : lines) addWrapped(line);
}

void onlineScreenNotice(const std::string& why, uint32_t nowMs) {
    screen.inMatch = false;
    screen.ended = true;
    screen.lines.clear();
    screen.notice = !why.empty();
    screen.noticeSince = nowMs;
    if (screen.notice) addWrapped(why);
}

void onlineScreenMatch(const NetSession& s, uint32_t nowMs) {
    screen.inMatch = true;
    screen.lines.clear();
    uint32_t waited = netSessionWaitedMs(s, nowMs);
    if (waited >= NetWaitShownMs) {
        uint32_t left = waited < NetWaitLimitMs ? (NetWaitLimitMs - waited + 999) / 1000 : 0;
        screen.lines.push_back("WAITING FOR THE OTHER PLAYER " + std::to_string(left));
    }
    const NetStats& st = s.stats;
    char text[160];
    std::snprintf(
        text, sizeof text,
        "ROUND TRIP %u MS\nINPUT DELAY %d (F10 F11)\nROLLBACK %u WORST %u\nWAITS %u SYNC %u",
        st.roundTripMs, s.inputDelay, st.lastRollback, st.worstRollback, st.windowWaits,
        st.timeSyncWaits);
    screen.figures = text;
}

void onlineScreenToggleReadout() {
    screen.readout = !screen.readout;
}

static bool boxShows() {
    if (screen.notice && platformMilliseconds() - screen.noticeSince > NoticeMs)
        screen.notice = false;
    return !screen.lines.empty() && (!screen.ended || screen.notice);
}

std::vector<std::string> onlineScreenShown() {
    return boxShows() ? screen.lines : std::vector<std::string>{};
}

void onlineScreenDraw() {
    bool box = boxShows();
    // At the top during a match (the half's box is at the bottom), at the
    // bottom on the title (its heading is at the top).
    int32_t top = screen.inMatch ? 8 : int32_t(472 - 12 - 12 * screen.lines.size());
    if (box) {
        float bottom = float(top + 12 + 12 * screen.lines.size());
        drawRect(24, float(top), 616, bottom, Frame, 0);
        drawRect(26, float(top + 2), 614, bottom - 2, Panel, 0);
    }
    if (screen.readout && screen.inMatch) drawRect(440, 404, 632, 472, Panel, 0);
    beginText();
    for (size_t i = 0; box && i < screen.lines.size(); i++)
        drawText(36, int32_t(top + 8 + 12 * i), screen.lines[i].c_str(), 8, Text);
    if (screen.readout && screen.inMatch) drawText(448, 412, screen.figures.c_str(), 8, Figures);
    endText();
}

void onlineDrawWithoutPass() {
    NetSaved before;
    netSaveGame(nullptr, before);
    drawFrame();
    netLoadGame(nullptr, before);
}
