// The connection status source on the remote-access service (rasapi32).
#include <windows.h>

#include "accounting/ports.h"

int32_t enumerateConnections(ConnectionHandle*) { return 0; }
uint32_t queryConnectionState(ConnectionHandle) { return 0; }
