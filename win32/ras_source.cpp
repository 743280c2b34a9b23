// The connection status source on the remote-access service (rasapi32), in its Windows 95 / NT 4 records.
#include <windows.h>

#include <climits>
#include <vector>

#include "core/connection_source.h"

// The service's records are 4-byte packed on every architecture, as its own headers declare them;
// on 64-bit Windows the handle therefore sits at offset 4.
#pragma pack(push, 4)
// One enumerated connection, first generation.
struct RasConnEntry {
    DWORD dwSize;           // size of this record, tells the service which generation the caller speaks
    HANDLE hrasconn;        // the connection's handle
    CHAR szEntryName[257];  // phone-book entry dialed
    CHAR szDeviceType[17];  // "modem", "isdn", ...
    CHAR szDeviceName[129]; // the device's own name
};
// A connection's status, first generation.
struct RasConnStatus {
    DWORD dwSize;           // size of this record, set before every query
    DWORD rasconnstate;     // RASCONNSTATE: connected, disconnected or a stage of dialing
    DWORD dwError;          // nonzero when the connection failed
    CHAR szDeviceType[17];  // type of the device in use
    CHAR szDeviceName[129]; // name of the device in use
};
#pragma pack(pop)
#ifndef _WIN64
static_assert(sizeof(RasConnEntry) == 412, "the first-generation connection entry is 412 bytes");
#endif
static_assert(sizeof(RasConnStatus) == 160, "the first-generation status record is 160 bytes");

// Declared here with the first-generation records; the current headers carry the larger ones.
extern "C" DWORD WINAPI RasEnumConnectionsA(RasConnEntry* entries, DWORD* bufferSize, DWORD* count);
extern "C" DWORD WINAPI RasGetConnectStatusA(HANDLE connection, RasConnStatus* status);

namespace {

constexpr DWORD kBufferTooSmall = 603; // ERROR_BUFFER_TOO_SMALL of the remote-access service
// Attempts at an enumeration with room for all: connections may still come up between two calls.
constexpr int kEnumerationAttempts = 3;
// More simultaneous connections than any dial-up machine holds; a larger demand is not believed.
constexpr DWORD kMostEntries = 64;

int32_t countOf(DWORD count) { return count > INT32_MAX ? INT32_MAX : static_cast<int32_t>(count); }

// Several connections are active (a tunnel over the dial-up link): enumerate again with room for
// all of them, so that the first one is still followed rather than taken for gone.
int32_t enumerateWithRoomForAll(DWORD neededSize, ConnectionHandle* first)
{
    for (int attempt = 0; attempt < kEnumerationAttempts; ++attempt) {
        DWORD entries = neededSize / sizeof(RasConnEntry) + 1;
        if (entries < 2)
            entries = 2;
        if (entries > kMostEntries)
            entries = kMostEntries;
        std::vector<RasConnEntry> buffer(entries);
        for (RasConnEntry& entry : buffer)
            entry.dwSize = sizeof(RasConnEntry);
        DWORD size = static_cast<DWORD>(buffer.size() * sizeof(RasConnEntry));
        DWORD count = 0;
        const DWORD result = RasEnumConnectionsA(buffer.data(), &size, &count);
        if (result == kBufferTooSmall) {
            // Still short: more connections came up meanwhile, or the demand cannot be met.
            if (size <= neededSize)
                return 0;
            neededSize = size;
            continue;
        }
        if (count >= 1)
            *first = reinterpret_cast<ConnectionHandle>(buffer[0].hrasconn);
        return countOf(count);
    }
    return 0;
}

} // namespace

int32_t enumerateConnections(ConnectionHandle* first)
{
    RasConnEntry entry{};
    entry.dwSize = sizeof entry;
    DWORD size = sizeof entry;
    DWORD count = 0;
    const DWORD result = RasEnumConnectionsA(&entry, &size, &count);
    if (result == kBufferTooSmall)
        return enumerateWithRoomForAll(size, first);
    if (count >= 1)
        *first = reinterpret_cast<ConnectionHandle>(entry.hrasconn);
    return countOf(count);
}

uint32_t queryConnectionState(ConnectionHandle handle, uint32_t previous)
{
    // A query the service leaves unanswered leaves the record, and so the previous state, as it was.
    RasConnStatus status{};
    status.dwSize = sizeof status;
    status.rasconnstate = previous;
    RasGetConnectStatusA(reinterpret_cast<HANDLE>(handle), &status);
    return status.rasconnstate;
}
