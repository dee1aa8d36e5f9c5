// relay-load's relay: a soccer-relay process on 127.0.0.1 that it starts,
// measures through /proc, kills and starts again.
#pragma once

#include <csignal>
#include <cstdint>
#include <string>
#include <vector>

struct RelayProcess {
    std::string program;
    std::string logFile;
    uint16_t port = 0;
    std::vector<std::string> options;
    int pid = 0;
    long logStart = 0; // where this run's lines begin in the log, which earlier runs share
};

// A port nobody listens on, on 127.0.0.1.
uint16_t freePort();
// Starts the relay and waits (up to five seconds) until it accepts connections.
bool relayStart(RelayProcess& relay);
// Sends the signal and waits for the end; the exit status, or 128 + the signal that ended it.
int relayStop(RelayProcess& relay, int signal);
// User and system CPU seconds the relay has used.
double relayCpuSeconds(const RelayProcess& relay);
// Its resident memory in kilobytes.
long relayMemoryKb(const RelayProcess& relay);
// Whether its log has a line holding part, since it was started.
bool relayLogged(const RelayProcess& relay, const std::string& part);
