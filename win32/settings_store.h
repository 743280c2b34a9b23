// The settings records in the per-user registry.
#pragma once

#include <windows.h>

// Key under HKEY_CURRENT_USER that holds "Settings", "Settings1" and, once a start day is chosen, "Period".
extern const char settingsKeyPath[];

struct SettingsStore {
    HKEY key;        // the open key, or nullptr when it could be neither created nor opened
    bool newlyMade;  // true when this call created the key: the first run for this user
};

// Creates or opens the key; the caller closes it. A key that cannot be had counts as an existing one,
// so the records keep their zero start values.
SettingsStore openSettingsStore();
// Sets the first-run defaults in memory and stores both records into `key`.
void writeDefaultSettings(HKEY key);
// Reads the values into the records whatever their type: a missing value leaves its record alone,
// a short one fills the leading bytes, a long one is cut to the record. A stored start day outside 1 to 28
// counts as 1 wherever it is used.
void loadSettings(HKEY key);
// Stores both records, "Settings" first, then "Period" where the start day is not 1 (removed where it is);
// nothing when the key no longer exists.
void saveSettings();
