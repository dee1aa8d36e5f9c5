// soccer --host, --join and --online: the online part over Beast's WebSocket
// (netws/websocket.h), straight to the other machine for a LAN or an open
// port, or to a relay whose lobby (online_lobby.cpp) shows on the title.
#include <cstdio>

#include "netws/websocket.h"
#include "platform/platform.h"
#include "shell/online.h"
#include "shell/online_lobby.h"
#include "shell/online_screen.h"
#include "shell/screens.h"

// The link the options name; null with the line in `why` when there is none.
static std::unique_ptr<NetTransport> directLink(const OnlineOptions& options, std::string& why) {
    if (options.host) {
        std::unique_ptr<NetWebSocket> link = NetWebSocket::host(options.port, why);
        if (link) onlineScreenWaiting(options.port, netwsLocalAddresses());
        return link;
    }
    std::string host;
    uint16_t port = 0;
    netwsParseAddress(options.peer, host, port);
    onlineScreenJoining(options.peer);
    return NetWebSocket::join(host, port);
}

int runOnline(const OnlineOptions& given, const std::string& folder) {
    OnlineOptions options = given;
    std::unique_ptr<NetTransport> link;
    std::string why;
    if (!options.relay.empty()) {
        if (!lobbyStart(options.relay, why)) {
            std::fprintf(stderr, "soccer: %s\n", why.c_str());
            return 1;
        }
        options.lobby = {lobbyBack, lobbyWaiting};
    } else if (!(link = directLink(options, why))) {
        std::fprintf(stderr, "soccer: %s\n", why.c_str());
        return 1;
    }
    OnlineKeep keep{folder, folder.empty() ? nullptr : saveReplayInFolder, nullptr};
    onlineBegin(options, std::move(link), keep);
    while (screenFlow.gameRunning) {
        LobbyChoice choice;
        if (onlineInLobby() && lobbyTurn(choice, platformMilliseconds()))
            onlineEnterRoom(lobbyConnect(choice), choice.ask, choice.code);
        onlineTurn();
    }
    onlineEnd();
    return 0;
}
