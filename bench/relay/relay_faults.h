// relay-load's faults: a player killed or frozen mid-match, a client that
// stops reading, clients that never send, the relay killed and started again.
#pragma once

#include "bench/relay/relay_process.h"

// Runs every fault against the relay (starting it as needed); 0 when each was handled.
int runFaults(RelayProcess& relay);
