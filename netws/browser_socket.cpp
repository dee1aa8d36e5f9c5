#include "netws/browser_socket.h"

#include <emscripten/emscripten.h>
#include <emscripten/websocket.h>

// WebSocket framing that the browser adds: two bytes of header, four of mask
// and two more of length past 125 bytes, as the desktop's transport counts it.
static uint64_t framed(size_t size, bool masked) {
    return size + 2 + (masked ? 4 : 0) + (size > 125 ? 2 : 0);
}

static EM_BOOL opened(int, const EmscriptenWebSocketOpenEvent*, void* user) {
    auto& link = *static_cast<NetBrowserSocket*>(user);
    if (link.linkState != NetLinkState::Connecting) return EM_TRUE;
    link.linkState = NetLinkState::Open;
    while (!link.outbox.empty()) {
        link.send(link.outbox.front());
        link.outbox.pop_front();
    }
    return EM_TRUE;
}

static EM_BOOL arrived(int, const EmscriptenWebSocketMessageEvent* event, void* user) {
    auto& link = *static_cast<NetBrowserSocket*>(user);
    if (link.closing || link.linkState == NetLinkState::Closed) return EM_TRUE;
    if (event->isText) {
        // The game's peers speak binary only: a text message is a fault of theirs.
        link.close("the other side sent a text message");
        return EM_TRUE;
    }
    link.receivedBytes += framed(event->numBytes, false);
    link.inbox.emplace_back(event->data, event->data + event->numBytes);
    return EM_TRUE;
}

static EM_BOOL failed(int, const EmscriptenWebSocketErrorEvent*, void* user) {
    auto& link = *static_cast<NetBrowserSocket*>(user);
    if (link.why.empty() && !link.closing) {
        link.why = link.linkState == NetLinkState::Connecting ? "could not connect to the relay"
                                                              : "the connection broke";
    }
    return EM_TRUE;
}

static EM_BOOL closed(int, const EmscriptenWebSocketCloseEvent* event, void* user) {
    auto& link = *static_cast<NetBrowserSocket*>(user);
    if (link.why.empty() && !link.closing) {
        if (link.linkState == NetLinkState::Connecting) {
            link.why = "could not connect to the relay";
        } else if (event->code == 1001) {
            link.why = "the relay is going away";
        } else if (event->code != 1000) {
            link.why = "the connection was lost";
        } else {
            link.why = event->reason[0] ? event->reason : "the connection was closed";
        }
    }
    link.linkState = NetLinkState::Closed;
    return EM_TRUE;
}

NetBrowserSocket::NetBrowserSocket(const std::string& url) {
    EmscriptenWebSocketCreateAttributes attributes;
    emscripten_websocket_init_create_attributes(&attributes);
    attributes.url = url.c_str();
    attributes.createOnMainThread = EM_TRUE;
    socket = emscripten_websocket_new(&attributes);
    if (socket <= 0) {
        linkState = NetLinkState::Closed;
        why = "this browser cannot open a WebSocket to " + url;
        return;
    }
    emscripten_websocket_set_onopen_callback(socket, this, opened);
    emscripten_websocket_set_onmessage_callback(socket, this, arrived);
    emscripten_websocket_set_onerror_callback(socket, this, failed);
    emscripten_websocket_set_onclose_callback(socket, this, closed);
}

NetBrowserSocket::~NetBrowserSocket() {
    if (socket <= 0) return;
    if (linkState != NetLinkState::Closed) emscripten_websocket_close(socket, 1000, "");
    // The callbacks point at this object: the socket goes with it.
    emscripten_websocket_delete(socket);
}

void NetBrowserSocket::send(const std::vector<uint8_t>& message) {
    if (closing || linkState == NetLinkState::Closed) return;
    if (linkState == NetLinkState::Connecting) {
        outbox.push_back(message);
        return;
    }
    // The browser copies the bytes and queues them itself, never blocking.
    if (emscripten_websocket_send_binary(socket, const_cast<uint8_t*>(message.data()),
                                         uint32_t(message.size())) != EMSCRIPTEN_RESULT_SUCCESS) {
        close("the browser could not send on the connection");
        return;
    }
    sentBytes += framed(message.size(), true);
}

bool NetBrowserSocket::receive(std::vector<uint8_t>& message) {
    if (inbox.empty()) return false;
    message = std::move(inbox.front());
    inbox.pop_front();
    return true;
}

// The browser reads and writes between the game's turns; nothing to do here.
void NetBrowserSocket::poll() {}

NetLinkState NetBrowserSocket::state() const {
    return linkState;
}

std::string NetBrowserSocket::error() const {
    return linkState == NetLinkState::Closed ? why : "";
}

void NetBrowserSocket::close(const std::string& reason) {
    if (closing || linkState == NetLinkState::Closed) return;
    closing = true;
    if (why.empty()) why = reason;
    // The browser sends what it has queued before the close frame.
    emscripten_websocket_close(socket, 1000, "");
    linkState = NetLinkState::Closed;
    outbox.clear();
}

uint64_t NetBrowserSocket::bytesSent() const {
    return sentBytes;
}

uint64_t NetBrowserSocket::bytesReceived() const {
    return receivedBytes;
}

std::string netBrowserPlayUrl() {
    return emscripten_run_script_string(
        "(location.protocol === 'https:' ? 'wss://' : 'ws://') + location.host + '/play'");
}
