// The desktop's side of the cross-play test (crossplay_test.py): the game
// without a window joins a room of soccer-relay on 127.0.0.1 through the
// desktop's own online part (shell/online.cpp over netws' WebSocket and the
// relay link), runs about with its action key held now and then (so its
// throw-ins are taken), and plays until the match has ended or the time is up. Its replay goes to
// REPLAY; the exit status is 0 once a match was played out, 1 otherwise, with the reason on stderr.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "net/relay_link.h"
#include "netws/websocket.h"
#include "platform/platform.h"
#include "shell/game.h"
#include "shell/netplay.h"
#include "shell/online.h"
#include "shell/replay_file.h"
#include "shell/screens.h"

namespace {

std::string replayPath;
bool played;

void keepReplay(const std::vector<uint8_t>& file, void*) {
    std::string why;
    played = writeFileAtomically(replayPath, file, why);
    if (!played) std::fprintf(stderr, "crossplay_guest: %s\n", why.c_str());
}

// Every 700 ms the next of four directions with the action key, or no key.
void pressKeys(uint32_t ms) {
    static const int directions[] = {VK_UP, VK_RIGHT, VK_DOWN, VK_LEFT};
    static uint32_t step = UINT32_MAX;
    if (ms / 700 == step) return;
    if (step != UINT32_MAX) {
        headlessKeyUp(directions[step % 4]);
        headlessKeyUp(VK_CONTROL);
    }
    step = ms / 700;
    headlessKeyDown(directions[step % 4]);
    if (step % 2 == 0) headlessKeyDown(VK_CONTROL);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: crossplay_guest PORT CODE REPLAY SECONDS\n");
        return 2;
    }
    replayPath = argv[3];
    const auto limit = std::chrono::seconds(std::atoi(argv[4]));
    platformSetHeadless(true);
    headlessSetClock(0);
    if (!gameStartup(false, 0)) return 1;
    NetHelloBody hello{NetProtocolVersion, netBuildIdentity(), NetRoleGuest};
    auto relay = std::make_unique<NetRelayLink>(
        NetWebSocket::join("127.0.0.1", uint16_t(std::atoi(argv[1])), "/play"), hello,
        NetRelayAsk::Join, argv[2]);
    onlineBegin({false, 0, "the relay", ""}, std::move(relay), {"", keepReplay, nullptr});
    // The virtual clock follows the real one: the match keeps the page's pace.
    const auto start = std::chrono::steady_clock::now();
    while (onlineRunning() && std::chrono::steady_clock::now() - start < limit) {
        auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - start);
        headlessSetClock(uint32_t(ms.count()));
        pressKeys(uint32_t(ms.count()));
        onlineTurn();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    std::string why = onlineRunning() ? "the time is up" : onlineEndReason();
    onlineEnd();
    gameShutdown();
    if (!why.empty() || !played) {
        std::fprintf(stderr, "crossplay_guest: no match played out: %s\n",
                     why.empty() ? "no replay" : why.c_str());
        return 1;
    }
    std::printf("crossplay_guest: a match played out, replay in %s\n", replayPath.c_str());
    return 0;
}
