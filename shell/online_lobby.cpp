#include "shell/online_lobby.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "netws/websocket.h"
#include "platform/platform.h"
#include "shell/netplay.h"
#include "shell/online.h"
#include "shell/online_screen.h"
#include "shell/options.h"

constexpr uint32_t NoticeMs = 12000;
constexpr int KeyBackspace = 0x08;

struct Lobby {
    NetRelayAddress address;
    std::string url;
    bool typing = false;
    NetRelayAsk ask = NetRelayAsk::Join;
    std::string typed;
    std::string notice;
    uint32_t noticeSince = 0;
    std::string said; // the room whose code went to standard error last
    bool chose = false;
    LobbyChoice choice; // the choice made, until lobbyTurn hands it on
};
static Lobby lobby;

static void showLobby(uint32_t nowMs) {
    std::vector<std::string> lines;
    if (!lobby.notice.empty() && nowMs - lobby.noticeSince < NoticeMs)
        lines.push_back(lobby.notice);
    lines.push_back("ONLINE THROUGH " + lobby.url);
    if (lobby.typing) {
        std::string code = lobby.typed + std::string(NetRoomCodeLength - lobby.typed.size(), '-');
        lines.push_back(std::string(lobby.ask == NetRelayAsk::Join ? "JOIN" : "WATCH") + " ROOM " +
                        code + " - ENTER GOES, BACKSPACE ERASES, ESC BACK");
    } else {
        lines.push_back("C MAKES A ROOM  J JOINS ONE  W WATCHES ONE  ESC QUITS");
    }
    onlineScreenLines(lines);
}

// One key-down on the lobby. Keys come as messages, not as the key state
// of each frame: a key let go within one frame still counts. ESC while a
// code is typed goes back to the lobby's choice; true for that ESC, which the
// title (where ESC quits the game) must not see.
static bool lobbyKey(uintptr_t vk) {
    if (lobby.chose) return false;
    if (!lobby.typing) {
        if (vk == 'C') {
            lobby.chose = true;
            lobby.choice = {NetRelayAsk::Create, ""};
        } else if (vk == 'J' || vk == 'W') {
            lobby.typing = true;
            lobby.ask = vk == 'J' ? NetRelayAsk::Join : NetRelayAsk::Watch;
        }
        return false;
    }
    bool letter = vk < 128 && vk != 0 && std::strchr(NetRoomCodeLetters, int(vk));
    if (letter && lobby.typed.size() < size_t(NetRoomCodeLength)) lobby.typed += char(vk);
    if (vk == KeyBackspace && !lobby.typed.empty()) lobby.typed.pop_back();
    if (vk == VK_RETURN && !netRoomCode(lobby.typed).empty()) {
        lobby.chose = true;
        lobby.choice = {lobby.ask, lobby.typed};
    }
    if (vk == VK_ESCAPE || lobby.chose) {
        lobby.typing = false;
        lobby.typed.clear();
    }
    return vk == VK_ESCAPE;
}

static intptr_t lobbyWindowProcedure(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (message == WM_KEYDOWN && onlineInLobby() && lobbyKey(wParam)) return 0;
    return windowProcedure(message, wParam, lParam);
}

bool lobbyStart(const std::string& url, std::string& why) {
    lobby = Lobby{};
    platformSetWindowProcedure(lobbyWindowProcedure);
    lobby.url = url;
    if (!netwsParseRelayUrl(url, lobby.address, why)) return false;
    showLobby(0);
    return true;
}

void lobbyBack(const std::string& why, uint32_t nowMs) {
    lobby.notice = why;
    lobby.noticeSince = nowMs;
    lobby.typing = false;
    lobby.typed.clear();
    lobby.chose = false;
    showLobby(nowMs);
}

bool lobbyTurn(LobbyChoice& choice, uint32_t nowMs) {
    if (!lobby.chose) {
        showLobby(nowMs);
        return false;
    }
    choice = lobby.choice;
    lobby.chose = false;
    return true;
}

std::unique_ptr<NetRelayLink> lobbyConnect(const LobbyChoice& choice) {
    // A proxy in front of several relays may route by the room.
    std::string path = lobby.address.path;
    if (!choice.code.empty()) path += "?room=" + choice.code;
    // A relay with a private authority's certificate names it in SOCCER_CA_FILE.
    const char* caFile = std::getenv("SOCCER_CA_FILE");
    auto socket = netwsJoinRelay(lobby.address, path, caFile ? caFile : "");
    NetHelloBody hello{NetProtocolVersion, netBuildIdentity(),
                       choice.ask == NetRelayAsk::Create ? NetRoleHost : NetRoleGuest};
    return std::make_unique<NetRelayLink>(std::move(socket), hello, choice.ask, choice.code);
}

void lobbyWaiting(const NetRelayLink& link) {
    std::vector<std::string> lines;
    switch (link.stage()) {
    case NetRelayStage::Connecting:
    case NetRelayStage::Asking:
        lines.push_back("CONNECTING TO " + lobby.url + " ...");
        break;
    case NetRelayStage::InRoom:
        // Also for a player who runs the game from a terminal (and its tests).
        if (link.seat() == NetSeatHost && lobby.said != link.code()) {
            lobby.said = link.code();
            std::fprintf(stderr, "soccer: room %s - give this code to the other player\n",
                         lobby.said.c_str());
        }
        lines.push_back(link.seat() == NetSeatHost
                            ? "ROOM " + link.code() + " - GIVE THIS CODE TO THE OTHER PLAYER"
                            : "ROOM " + link.code() + " - WAITING FOR THE HOST");
        break;
    default:
        lines.push_back("ROOM " + link.code() + " - THE MATCH BEGINS");
        break;
    }
    lines.push_back("ESC QUITS");
    onlineScreenLines(lines);
}
