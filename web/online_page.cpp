#include "web/online_page.h"

#include <emscripten/emscripten.h>

#include <cstdio>
#include <memory>
#include <string>

#include "net/relay_link.h"
#include "netws/browser_socket.h"
#include "platform/platform.h"
#include "shell/netplay.h"
#include "shell/online.h"
#include "shell/online_screen.h"
#include "web/page_store.h"

namespace {

struct PageOnline {
    bool on = false;
    NetRelayLink* relay = nullptr; // owned by the online part while `on`
    std::string notice;            // the newest lobby line, for the page
    std::string status;            // what webOnlineStatus last gave
};
PageOnline page;

} // namespace

void pageOnlineLeave() {
    if (!page.on) return;
    onlineEnd();
    page.on = false;
    page.relay = nullptr;
    pageRecordMatches();
}

namespace {

// Connects to the relay on the page's own origin and asks for a room.
void begin(NetRelayAsk ask, const std::string& code) {
    pageOnlineLeave();
    bool host = ask == NetRelayAsk::Create;
    NetHelloBody hello{NetProtocolVersion, netBuildIdentity(), host ? NetRoleHost : NetRoleGuest};
    auto relay = std::make_unique<NetRelayLink>(
        std::make_unique<NetBrowserSocket>(netBrowserPlayUrl()), hello, ask, code);
    page.relay = relay.get();
    page.on = true;
    page.notice = host ? "asking the relay for a room" : "looking for room " + code;
    OnlineOptions options{host, 0, "room " + code, ""};
    options.watch = ask == NetRelayAsk::Watch;
    onlineBegin(options, std::move(relay), {"", pageKeepReplay, nullptr});
    onlineScreenLines({page.notice});
}

} // namespace

bool pageOnline() {
    return page.on;
}

void pageOnlineTurn() {
    bool running = onlineRunning();
    onlineTurn();
    std::string line;
    while (page.relay && running && page.relay->notice(line)) {
        page.notice = line;
        // The lobby's lines show in the game's own font until the match starts.
        if (page.relay->stage() != NetRelayStage::Playing) onlineScreenLines({line});
    }
}

extern "C" {

EMSCRIPTEN_KEEPALIVE void webOnlineCreate() {
    begin(NetRelayAsk::Create, "");
}

// A code as typed; false when it is no room code (five of the letters).
EMSCRIPTEN_KEEPALIVE int webOnlineJoin(const char* typed, int watch) {
    std::string code = netRoomCode(typed);
    if (code.empty()) return 0;
    begin(watch ? NetRelayAsk::Watch : NetRelayAsk::Join, code);
    return 1;
}

EMSCRIPTEN_KEEPALIVE void webOnlineLeave() {
    pageOnlineLeave();
}

// Where the page stands, for its "Play online" line: the stage (off, connecting,
// asking, room, playing, ended), the room's code and the newest line, one a
// line of the text; once ended, a fourth: the passes and the state hash where
// the last match watched stopped.
EMSCRIPTEN_KEEPALIVE const char* webOnlineStatus() {
    static const char* const stages[] = {"connecting", "asking", "room", "playing", "ended"};
    if (!page.on) {
        page.status = "off\n\n";
    } else if (!onlineRunning()) {
        uint32_t passes = 0;
        uint64_t hash = onlineWatchedHash(passes);
        char watched[40];
        std::snprintf(watched, sizeof watched, "\n%u %016llx", passes, (unsigned long long)hash);
        page.status = "ended\n" + page.relay->code() + "\n" + onlineEndReason() + watched;
    } else {
        page.status = std::string(stages[int(page.relay->stage())]) + "\n" + page.relay->code() +
                      "\n" + page.notice;
    }
    return page.status.c_str();
}
}
