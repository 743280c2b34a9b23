// The settings records in the real registry: first-run bytes, loading of short and long values, saving.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "core/layout.h"
#include "core/settings.h"
#include "win32/settings_store.h"
#include "tests/wine/in_process.h"

namespace {

using Bytes = std::vector<uint8_t>;
using kit::patterned;

// The per-user branch only: other test programs keep scratch keys beside it under Vesk.
const char kBranch[] = "Software\\Vesk\\Tolvar";

bool keyExists() { return kit::keyExists(HKEY_CURRENT_USER, settingsKeyPath); }

// The stored value as the registry holds it, with its type.
Bytes storedValue(const char* name, DWORD* type = nullptr)
{
    return kit::registryValue(HKEY_CURRENT_USER, settingsKeyPath, name, type);
}

void storeValue(const char* name, DWORD type, const Bytes& bytes)
{
    ASSERT_TRUE(kit::setRegistryValue(HKEY_CURRENT_USER, settingsKeyPath, name, type, bytes));
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
        kit::deleteKeyTree(HKEY_CURRENT_USER, kBranch);
        inproc::zeroRecords();
    }
    void TearDown() override { kit::deleteKeyTree(HKEY_CURRENT_USER, kBranch); }
};

TEST_F(SettingsStoreTest, FirstRunStoresTheDefaultsAndOnlyTheFirstOpenCountsAsNew)
{
    SettingsStore store = openSettingsStore();
    ASSERT_NE(nullptr, store.key);
    EXPECT_TRUE(store.newlyMade);
    writeDefaultSettings(store.key);
    RegCloseKey(store.key);

    // The defaults' bytes are the layout's to check; here they are what is stored and what is in force.
    const Bytes block = encodedBlock();
    const Bytes extra = encodedExtra();
    DWORD type = 0;
    EXPECT_EQ(block, storedValue("Settings", &type));
    EXPECT_EQ(DWORD{REG_BINARY}, type);
    EXPECT_EQ(extra, storedValue("Settings1", &type));
    EXPECT_EQ(DWORD{REG_BINARY}, type);
    settings.block = SettingsBlock{};
    settings.extra = SettingsExtra{};
    applyDefaultSettings();
    EXPECT_EQ(block, encodedBlock()) << "the defaults are in force in memory too";
    EXPECT_EQ(extra, encodedExtra());

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

    kit::deleteKeyTree(HKEY_CURRENT_USER, settingsKeyPath);
    storeValue("Other", REG_BINARY, Bytes(4, 1));
    settings.extra = SettingsExtra{30, 1};
    loadFromStore();
    EXPECT_EQ(patterned(136, 5), encodedBlock());
    EXPECT_EQ(30, settings.extra.addSeconds);
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

// What the registry hands back for a value of any type, shorter or longer than its record, reaches the record as
// its leading bytes; every length of the overlay itself is the native layout table's.
TEST_F(SettingsStoreTest, ValuesOfAnyTypeShortOrLongFillTheLeadingBytes)
{
    HKEY key;
    ASSERT_EQ(
        RegCreateKeyExA(HKEY_CURRENT_USER, settingsKeyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
        ERROR_SUCCESS);
    int cases = 0;
    for (DWORD type : {DWORD{REG_BINARY}, DWORD{REG_SZ}, DWORD{REG_DWORD}}) {
        for (size_t length : {size_t{0}, size_t{3}, kSettingsExtraSize + 1, kSettingsBlockSize - 1,
                              kSettingsBlockSize + 1, size_t{1000}}) {
            Bytes block, extra;
            if (!kit::storeAndReadBack(key, "Settings", type, kit::patterned(length, 1), block) ||
                !kit::storeAndReadBack(key, "Settings1", type, kit::patterned(length, 2), extra))
                continue;
            ++cases;
            Bytes expected(kSettingsBlockSize, 0xEE), expectedExtra(kSettingsExtraSize, 0xDD);
            settings.block = decodeSettingsBlock(expected.data());
            settings.extra = decodeSettingsExtra(expectedExtra.data());

            loadSettings(key);

            std::copy_n(block.begin(), std::min(block.size(), expected.size()), expected.begin());
            std::copy_n(extra.begin(), std::min(extra.size(), expectedExtra.size()), expectedExtra.begin());
            EXPECT_EQ(encodedBlock(), expected) << "type " << type << ", length " << length;
            EXPECT_EQ(encodedExtra(), expectedExtra) << "type " << type << ", length " << length;
        }
    }
    RegCloseKey(key);
    EXPECT_GE(cases, 3 * 6 - 2) << "the registry refused most of the values";
}

} // namespace
