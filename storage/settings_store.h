// The settings records in the per-user registry.
#pragma once

#include <windows.h>

// Key under HKEY_CURRENT_USER that holds "Settings" and "Settings1".
extern const char settingsKeyPath[];

struct SettingsStore {
    HKEY key;        // the open key, or nullptr when it could be neither created nor opened
    bool newlyMade;  // true when this call created the key: the first run for this user
};

SettingsStore openSettingsStore();
void writeDefaultSettings(HKEY key);
void loadSettings(HKEY key);
void saveSettings();
