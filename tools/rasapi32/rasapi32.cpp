// A simulated remote-access service: answers the program's two rasapi32 calls from a control file.
#include <windows.h>

#include <ras.h>

#include <cstdlib>
#include <cstring>

// The first-generation records, 4-byte packed like every record of the service.
#pragma pack(push, 4)
struct FirstConnEntry {
    DWORD dwSize;
    HANDLE hrasconn;
    CHAR szEntryName[257];
    CHAR szDeviceType[17];
    CHAR szDeviceName[129];
};
struct FirstConnStatus {
    DWORD dwSize;
    DWORD rasconnstate;
    DWORD dwError;
    CHAR szDeviceType[17];
    CHAR szDeviceName[129];
};
#pragma pack(pop)

namespace {

constexpr DWORD kInvalidHandle = 6;       // ERROR_INVALID_HANDLE
constexpr DWORD kInvalidParameter = 87;   // ERROR_INVALID_PARAMETER
constexpr DWORD kBufferTooSmall = 603;    // ERROR_BUFFER_TOO_SMALL
constexpr DWORD kInvalidSize = 632;       // ERROR_INVALID_SIZE
constexpr DWORD kMostConnections = 16;    // larger counts in the control file are cut to this
constexpr uintptr_t kHandleBase = 0x5a000000; // connection i (from 1) has handle kHandleBase + i
constexpr char kControlName[] = "ras.txt";

// What the control file says at the moment of a call.
struct Simulation {
    DWORD connections; // active connections
    DWORD state;       // RASCONNSTATE reported for every one of them
};

// The control file lies beside this DLL, wherever the program that loaded it runs from.
bool controlPath(char* path, DWORD size)
{
    HMODULE self = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCSTR>(&controlPath), &self))
        return false;
    const DWORD length = GetModuleFileNameA(self, path, size);
    if (length == 0 || length >= size)
        return false;
    char* slash = std::strrchr(path, '\\');
    if (slash == nullptr || static_cast<size_t>(slash + 1 - path) + sizeof kControlName > size)
        return false;
    std::memcpy(slash + 1, kControlName, sizeof kControlName);
    return true;
}

DWORD parseState(const char* value)
{
    if (std::strncmp(value, "connected", 9) == 0)
        return RASCS_Connected;
    if (std::strncmp(value, "disconnected", 12) == 0)
        return RASCS_Disconnected;
    return static_cast<DWORD>(std::strtoul(value, nullptr, 0));
}

// No file: no connection. A file without a line for a key: one connection, connected.
Simulation readSimulation()
{
    Simulation simulation{0, RASCS_Connected};
    char path[MAX_PATH];
    if (!controlPath(path, sizeof path))
        return simulation;
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return simulation;
    char text[512];
    DWORD got = 0;
    if (!ReadFile(file, text, sizeof text - 1, &got, nullptr))
        got = 0;
    CloseHandle(file);
    text[got] = '\0';

    simulation.connections = 1;
    for (char* line = text; line != nullptr && *line != '\0';) {
        char* next = std::strchr(line, '\n');
        if (next != nullptr)
            *next++ = '\0';
        if (std::strncmp(line, "connections=", 12) == 0)
            simulation.connections = static_cast<DWORD>(std::strtoul(line + 12, nullptr, 0));
        else if (std::strncmp(line, "state=", 6) == 0)
            simulation.state = parseState(line + 6);
        line = next;
    }
    if (simulation.connections > kMostConnections)
        simulation.connections = kMostConnections;
    return simulation;
}

// Copies a text into a fixed field, always terminated.
template <size_t N> void setText(CHAR (&field)[N], const char* text)
{
    const size_t length = std::strlen(text) < N - 1 ? std::strlen(text) : N - 1;
    std::memcpy(field, text, length);
    field[length] = '\0';
}

bool knownEntrySize(DWORD size) { return size == sizeof(FirstConnEntry) || size == sizeof(RASCONNA); }
bool knownStatusSize(DWORD size) { return size == sizeof(FirstConnStatus) || size == sizeof(RASCONNSTATUSA); }

} // namespace

extern "C" DWORD WINAPI RasEnumConnectionsA(LPRASCONNA entries, LPDWORD bufferSize, LPDWORD count)
{
    if (bufferSize == nullptr || count == nullptr)
        return kInvalidParameter;
    // Without a buffer the caller asks for the size in the current generation.
    const DWORD entrySize = entries != nullptr ? entries->dwSize : sizeof(RASCONNA);
    if (!knownEntrySize(entrySize))
        return kInvalidSize;

    const Simulation simulation = readSimulation();
    const DWORD needed = entrySize * simulation.connections;
    if (needed > 0 && (entries == nullptr || *bufferSize < needed)) {
        *bufferSize = needed;
        *count = simulation.connections;
        return kBufferTooSmall;
    }
    // Every generation begins with the first generation's fields, so they are written at each entry's stride.
    BYTE* slot = reinterpret_cast<BYTE*>(entries);
    for (DWORD i = 0; i < simulation.connections; ++i, slot += entrySize) {
        FirstConnEntry entry{};
        std::memcpy(&entry, slot, sizeof entry);
        entry.dwSize = entrySize;
        entry.hrasconn = reinterpret_cast<HANDLE>(kHandleBase + i + 1);
        setText(entry.szEntryName, i == 0 ? "Simulated dial-up" : "Simulated tunnel");
        setText(entry.szDeviceType, i == 0 ? "modem" : "vpn");
        setText(entry.szDeviceName, i == 0 ? "Simulated Modem" : "Simulated Tunnel");
        std::memcpy(slot, &entry, sizeof entry);
    }
    *bufferSize = needed;
    *count = simulation.connections;
    return 0;
}

extern "C" DWORD WINAPI RasGetConnectStatusA(HRASCONN connection, LPRASCONNSTATUSA status)
{
    if (status == nullptr)
        return kInvalidParameter;
    if (!knownStatusSize(status->dwSize))
        return kInvalidSize;
    const Simulation simulation = readSimulation();
    const uintptr_t handle = reinterpret_cast<uintptr_t>(connection);
    if (handle <= kHandleBase || handle > kHandleBase + simulation.connections)
        return kInvalidHandle;

    FirstConnStatus answer{};
    std::memcpy(&answer, status, sizeof answer);
    answer.rasconnstate = simulation.state;
    answer.dwError = 0;
    setText(answer.szDeviceType, handle == kHandleBase + 1 ? "modem" : "vpn");
    setText(answer.szDeviceName, handle == kHandleBase + 1 ? "Simulated Modem" : "Simulated Tunnel");
    std::memcpy(status, &answer, sizeof answer);
    return 0;
}
