// Loads and stores the settings records as binary registry values: the two of old and the billing period's.
#include "win32/settings_store.h"

#include <vector>

#include "core/layout.h"
#include "core/settings.h"

const char settingsKeyPath[] = "Software\\Vesk\\Tolvar\\1.0";

namespace {

const char kSettingsValue[] = "Settings";
const char kExtraValue[] = "Settings1";
const char kPeriodValue[] = "Period";

// "Period" exists only while the start day is not the calendar month's: a user who keeps the default has exactly
// the values "Settings" and "Settings1".
void storePeriod(HKEY key)
{
    if (billingStartDay() == 1) {
        RegDeleteValueA(key, kPeriodValue);
        return;
    }
    uint8_t period[kSettingsPeriodSize];
    encodeSettingsPeriod(settings.period, period);
    RegSetValueExA(key, kPeriodValue, 0, REG_BINARY, period, sizeof period);
}

// Writes both records, "Settings" first, in their little-endian stored form.
void storeSettings(HKEY key)
{
    uint8_t block[kSettingsBlockSize];
    encodeSettingsBlock(settings.block, block);
    RegSetValueExA(key, kSettingsValue, 0, REG_BINARY, block, sizeof block);
    uint8_t extra[kSettingsExtraSize];
    encodeSettingsExtra(settings.extra, extra);
    RegSetValueExA(key, kExtraValue, 0, REG_BINARY, extra, sizeof extra);
}

// The bytes of a value whatever its type; a value longer than `recordSize` is read whole so that
// its leading bytes can be taken. Returns false when the value is missing or cannot be read.
bool queryValue(HKEY key, const char* name, size_t recordSize, std::vector<uint8_t>& bytes)
{
    DWORD length = 0;
    if (RegQueryValueExA(key, name, nullptr, nullptr, nullptr, &length) != ERROR_SUCCESS)
        return false;
    bytes.assign(length > recordSize ? length : recordSize, 0);
    length = static_cast<DWORD>(bytes.size());
    if (RegQueryValueExA(key, name, nullptr, nullptr, bytes.data(), &length) != ERROR_SUCCESS)
        return false;
    bytes.resize(length);
    return true;
}

} // namespace

SettingsStore openSettingsStore()
{
    char noClass[] = "";
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, settingsKeyPath, 0, noClass, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        nullptr, &key, &disposition) != ERROR_SUCCESS)
        return SettingsStore{nullptr, false};
    return SettingsStore{key, disposition == REG_CREATED_NEW_KEY};
}

void writeDefaultSettings(HKEY key)
{
    applyDefaultSettings();
    storeSettings(key);
}

void loadSettings(HKEY key)
{
    // Missing values leave their records as they were; short ones fill the leading bytes only.
    std::vector<uint8_t> bytes;
    if (queryValue(key, kSettingsValue, kSettingsBlockSize, bytes))
        overlaySettingsBlock(settings.block, bytes.data(), bytes.size());
    if (queryValue(key, kExtraValue, kSettingsExtraSize, bytes))
        overlaySettingsExtra(settings.extra, bytes.data(), bytes.size());
    if (queryValue(key, kPeriodValue, kSettingsPeriodSize, bytes))
        overlaySettingsPeriod(settings.period, bytes.data(), bytes.size());
}

void saveSettings()
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, settingsKeyPath, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return;
    storeSettings(key);
    storePeriod(key);
    RegCloseKey(key);
}
