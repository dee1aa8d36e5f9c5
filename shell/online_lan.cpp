// soccer --host and --join: the online part over a WebSocket straight to the
// other machine (netws/websocket.h), for a LAN or an open port.
#include "netws/websocket.h"
#include "shell/online.h"
#include "shell/online_screen.h"
#include "shell/screens.h"

#include <cstdio>

int runOnline(const OnlineOptions& options, const std::string& folder) {
    std::unique_ptr<NetWebSocket> link;
    if (options.host) {
        std::string why;
        link = NetWebSocket::host(options.port, why);
        if (!link) {
            std::fprintf(stderr, "soccer: %s\n", why.c_str());
            return 1;
        }
        onlineScreenWaiting(options.port, netwsLocalAddresses());
    } else {
        std::string host;
        uint16_t port = 0;
        netwsParseAddress(options.peer, host, port);
        link = NetWebSocket::join(host, port);
        onlineScreenJoining(options.peer);
    }
    OnlineKeep keep{folder, folder.empty() ? nullptr : saveReplayInFolder, nullptr};
    onlineBegin(options, std::move(link), keep);
    while (screenFlow.gameRunning) onlineTurn();
    onlineEnd();
    return 0;
}
