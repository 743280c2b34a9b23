// The fake status source: the connections and the state the test sets.
#include "fakes/world.h"

int32_t enumerateConnections(ConnectionHandle* first)
{
    if (fake.connectionCount >= 1)
        *first = fake.firstHandle;
    return fake.connectionCount;
}

uint32_t queryConnectionState(ConnectionHandle, uint32_t) { return fake.connectionState; }

