// A simulated remote-access service: answers the program's two rasapi32 calls from a control file.
#include <windows.h>

extern "C" DWORD WINAPI RasEnumConnectionsA(void*, DWORD*, DWORD* count)
{
    if (count != nullptr)
        *count = 0;
    return 0;
}
extern "C" DWORD WINAPI RasGetConnectStatusA(void*, void*) { return 6; }
