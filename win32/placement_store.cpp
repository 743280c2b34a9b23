// Loads and stores the detailed window's placement as one binary registry value.
#include "win32/placement_store.h"

#include <windows.h>

#include "core/layout.h"

namespace {

// Key of the placement under HKEY_CURRENT_USER, and its value.
const char kPlacementKeyPath[] = "Software\\Vesk\\Tolvar\\2.0";
const char kPlacementValueName[] = "Place";

} // namespace

void ensurePlacementKey()
{
    char noClass[] = "";
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kPlacementKeyPath, 0, noClass, REG_OPTION_NON_VOLATILE, KEY_QUERY_VALUE,
                        nullptr, &key, nullptr) == ERROR_SUCCESS)
        RegCloseKey(key);
}

bool loadPlacement(DetailPlacement& placement)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kPlacementKeyPath, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    uint8_t bytes[kDetailPlacementSize];
    DWORD length = sizeof bytes;
    const LONG result = RegQueryValueExA(key, kPlacementValueName, nullptr, nullptr, bytes, &length);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS)
        return false;
    overlayDetailPlacement(placement, bytes, length);
    return true;
}

void storePlacement(const DetailPlacement& placement)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kPlacementKeyPath, 0, KEY_WRITE, &key) != ERROR_SUCCESS)
        return;
    uint8_t bytes[kDetailPlacementSize];
    encodeDetailPlacement(placement, bytes);
    RegSetValueExA(key, kPlacementValueName, 0, REG_BINARY, bytes, sizeof bytes);
    RegCloseKey(key);
}
