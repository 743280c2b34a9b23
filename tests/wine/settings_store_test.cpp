// The settings records in the real registry: first-run bytes, loading of short and long values, saving.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/layout.h"
#include "core/settings.h"
#include "win32/settings_store.h"
#include "tests/wine/wine_support.h"

namespace {

using Bytes = std::vector<uint8_t>;

// The per-user branch only: other test programs keep scratch keys beside it under Vesk.
const char kBranch[] = "Software\\Vesk\\Tolvar";

bool keyExists() { return wine::keyExists(HKEY_CURRENT_USER, settingsKeyPath); }

// The stored value as the registry holds it, with its type.
Bytes storedValue(const char* name, DWORD* type = nullptr)
{
    return wine::registryValue(HKEY_CURRENT_USER, settingsKeyPath, name, type);
}

void storeValue(const char* name, DWORD type, const Bytes& bytes)
{
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, settingsKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                             KEY_ALL_ACCESS, nullptr, &key, nullptr));
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetValueExA(key, name, 0, type, bytes.data(), static_cast<DWORD>(bytes.size())));
    RegCloseKey(key);
}

Bytes encodedBlock()
{
    Bytes bytes(kSettingsBlockSize);
    encodeSettingsBlock(settings.block, bytes.data());
    return bytes;
}

Bytes encodedExtra()
{
    Bytes bytes(kSettingsExtraSize);
    encodeSettingsExtra(settings.extra, bytes.data());
    return bytes;
}

Bytes patterned(size_t length, uint8_t seed)
{
    Bytes bytes(length);
    for (size_t i = 0; i < length; ++i)
        bytes[i] = static_cast<uint8_t>(seed + i * 13);
    return bytes;
}

// Loads through the store the way start-up does: open, load, close.
void loadFromStore()
{
    const SettingsStore store = openSettingsStore();
    ASSERT_NE(nullptr, store.key);
    EXPECT_FALSE(store.newlyMade);
    loadSettings(store.key);
    RegCloseKey(store.key);
}

// Each test starts with no per-user branch and the records zeroed, as a fresh process would.
class SettingsStoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        wine::deleteKeyTree(HKEY_CURRENT_USER, kBranch);
        wine::zeroRecords();
    }
    void TearDown() override { wine::deleteKeyTree(HKEY_CURRENT_USER, kBranch); }
};

TEST_F(SettingsStoreTest, FirstRunStoresTheDefaultsAndOnlyTheFirstOpenCountsAsNew)
{
    SettingsStore store = openSettingsStore();
    ASSERT_NE(nullptr, store.key);
    EXPECT_TRUE(store.newlyMade);
    writeDefaultSettings(store.key);
    RegCloseKey(store.key);

    Bytes expected(136, 0);
    expected[0] = 1;
    expected[4] = 1;
    expected[12] = 1;
    expected[88] = 7;
    expected[100] = 20;
    DWORD type = 0;
    EXPECT_EQ(expected, storedValue("Settings", &type));
    EXPECT_EQ(DWORD{REG_BINARY}, type);
    EXPECT_EQ((Bytes{0, 0, 0, 0, 1, 0, 0, 0}), storedValue("Settings1", &type));
    EXPECT_EQ(DWORD{REG_BINARY}, type);
    EXPECT_EQ(expected, encodedBlock()) << "the defaults are in force in memory too";

    store = openSettingsStore();
    ASSERT_NE(nullptr, store.key);
    EXPECT_FALSE(store.newlyMade);
    RegCloseKey(store.key);
}

TEST_F(SettingsStoreTest, StoredZerosAreLoadedWithoutDefaults)
{
    storeValue("Settings", REG_BINARY, Bytes(136, 0));
    storeValue("Settings1", REG_BINARY, Bytes(8, 0));
    applyDefaultSettings();
    loadFromStore();
    EXPECT_EQ(Bytes(136, 0), encodedBlock());
    EXPECT_EQ(Bytes(8, 0), encodedExtra());
}

TEST_F(SettingsStoreTest, MissingValuesLeaveTheRecordsAsTheyWere)
{
    storeValue("Settings", REG_BINARY, patterned(136, 5));
    loadFromStore();
    EXPECT_EQ(patterned(136, 5), encodedBlock());
    EXPECT_EQ(0, settings.extra.autoSumUp) << "no first-run default without \"Settings1\"";
    EXPECT_EQ(0, settings.extra.addSeconds);

    wine::deleteKeyTree(HKEY_CURRENT_USER, settingsKeyPath);
    storeValue("Other", REG_BINARY, Bytes(4, 1));
    settings.extra = SettingsExtra{30, 1};
    loadFromStore();
    EXPECT_EQ(patterned(136, 5), encodedBlock());
    EXPECT_EQ(30, settings.extra.addSeconds);
    EXPECT_EQ(1, settings.extra.autoSumUp);
}

TEST_F(SettingsStoreTest, ShortValuesFillOnlyTheirLeadingBytes)
{
    const Bytes before = patterned(136, 200);
    overlaySettingsBlock(settings.block, before.data(), before.size());
    storeValue("Settings", REG_BINARY, patterned(100, 9));
    storeValue("Settings1", REG_BINARY, Bytes{0x2C, 0x01});
    settings.extra = SettingsExtra{-1, 1};
    loadFromStore();

    Bytes expected = patterned(100, 9);
    expected.insert(expected.end(), before.begin() + 100, before.end());
    EXPECT_EQ(expected, encodedBlock());
    EXPECT_EQ((Bytes{0x2C, 0x01, 0xFF, 0xFF, 1, 0, 0, 0}), encodedExtra());
}

TEST_F(SettingsStoreTest, LongValuesAreCutToTheirRecords)
{
    storeValue("Settings", REG_BINARY, patterned(200, 1));
    storeValue("Settings1", REG_BINARY, patterned(4000, 77));
    loadFromStore();
    EXPECT_EQ(patterned(136, 1), encodedBlock());
    EXPECT_EQ(patterned(8, 77), encodedExtra());
}

TEST_F(SettingsStoreTest, TheValueTypeIsIgnored)
{
    storeValue("Settings", REG_SZ, patterned(136, 40));
    storeValue("Settings1", REG_DWORD, Bytes{10, 0, 0, 0});
    settings.extra.autoSumUp = 1;
    loadFromStore();
    EXPECT_EQ(patterned(136, 40), encodedBlock());
    EXPECT_EQ(10, settings.extra.addSeconds);
    EXPECT_EQ(1, settings.extra.autoSumUp);
}

TEST_F(SettingsStoreTest, SavedSettingsComeBackBitForBit)
{
    SettingsStore store = openSettingsStore();
    writeDefaultSettings(store.key);
    RegCloseKey(store.key);

    settings.block.todayIsHoliday = 1;
    settings.block.costWarnPerMonth = 1;
    settings.block.tariffCommon = 0.1;
    settings.block.tariffEconomic = -0.0;
    settings.block.tariffWeekend = 1e300;
    settings.block.costLimitPerConn = 4.9406564584124654e-324;
    settings.block.costLimitPerMonth = 123.456;
    settings.block.commonFrom = Hms{8, 30, 15};
    settings.block.commonTo = Hms{18, 45, 0};
    settings.block.timeLimitPerConn = Hms{999, 59, 59};
    settings.block.timeLimitPerMonth = Hms{-1, 0, 2};
    settings.extra = SettingsExtra{-7, 0};
    saveSettings();
    const Bytes block = encodedBlock();
    const Bytes extra = encodedExtra();
    EXPECT_EQ(block, storedValue("Settings"));
    EXPECT_EQ(extra, storedValue("Settings1"));
    EXPECT_EQ(Bytes(4, 0), Bytes(block.begin() + 44, block.begin() + 48)) << "reserved bytes stay zero";

    settings.block = SettingsBlock{};
    settings.extra = SettingsExtra{};
    loadFromStore();
    EXPECT_EQ(block, encodedBlock());
    EXPECT_EQ(extra, encodedExtra());
}

TEST_F(SettingsStoreTest, SavingWithoutTheKeyStoresNothing)
{
    applyDefaultSettings();
    saveSettings();
    EXPECT_FALSE(keyExists()) << "the next start must still be a first run";
    EXPECT_EQ(1, settings.block.showCounterOnConnect) << "the values stay in force in memory";
}

} // namespace
