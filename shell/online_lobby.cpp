#include "shell/online_lobby.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "netws/websocket.h"
#include "platform/platform.h"
#include "shell/netplay.h"
#include "shell/online_screen.h"

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
    uint8_t before[256] = {};
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
                        code + " - ENTER GOES, BACKSPACE ERASES");
    } else {
        lines.push_back("C MAKES A ROOM  J JOINS ONE  W WATCHES ONE  ESC QUITS");
    }
    onlineScreenLines(lines);
}

bool lobbyStart(const std::string& url, std::string& why) {
    lobby = Lobby{};
    lobby.url = url;
    if (!netwsParseRelayUrl(url, lobby.address, why)) return false;
    platformKeyboardState(lobby.before);
    showLobby(0);
    return true;
}

void lobbyBack(const std::string& why, uint32_t nowMs) {
    lobby.notice = why;
    lobby.noticeSince = nowMs;
    lobby.typing = false;
    lobby.typed.clear();
    platformKeyboardState(lobby.before);
    showLobby(nowMs);
}

// A key that went down since the last frame.
static bool pressed(const uint8_t keys[256], int vk) {
    return (keys[vk] & 0x80) && !(lobby.before[vk] & 0x80);
}

static bool typeCode(const uint8_t keys[256], LobbyChoice& choice) {
    for (const char* c = NetRoomCodeLetters; *c; c++) {
        if (pressed(keys, *c) && lobby.typed.size() < size_t(NetRoomCodeLength)) lobby.typed += *c;
    }
    if (pressed(keys, KeyBackspace) && !lobby.typed.empty()) lobby.typed.pop_back();
    if (!pressed(keys, VK_RETURN) || netRoomCode(lobby.typed).empty()) return false;
    choice.ask = lobby.ask;
    choice.code = lobby.typed;
    lobby.typing = false;
    lobby.typed.clear();
    return true;
}

bool lobbyTurn(LobbyChoice& choice, uint32_t nowMs) {
    uint8_t keys[256];
    platformKeyboardState(keys);
    bool chose = false;
    if (lobby.typing) {
        chose = typeCode(keys, choice);
    } else if (pressed(keys, 'C')) {
        choice = {NetRelayAsk::Create, ""};
        chose = true;
    } else if (pressed(keys, 'J') || pressed(keys, 'W')) {
        lobby.typing = true;
        lobby.ask = pressed(keys, 'J') ? NetRelayAsk::Join : NetRelayAsk::Watch;
    }
    std::memcpy(lobby.before, keys, sizeof keys);
    if (!chose) showLobby(nowMs);
    return chose;
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
