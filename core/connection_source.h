// The connection status source (the remote-access service) the monitor polls. win32/ras_source.cpp is the real one.
#pragma once

#include <cstdint>

using ConnectionHandle = uintptr_t;
// Number of active connections; when at least one, *first receives the first one's handle.
int32_t enumerateConnections(ConnectionHandle* first);
// State of a connection; a query the service leaves unanswered returns `previous`, the latest answer.
uint32_t queryConnectionState(ConnectionHandle handle, uint32_t previous);
