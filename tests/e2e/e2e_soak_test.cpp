// Many simulated connections of random lengths with extra seconds, Sum Ups in between and during them,
// and a tariff change on the way: the log and the totals must agree at the end, record for record.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "res/resource.h"
#include "tests/e2e/harness.h"
#include "tests/e2e/hardening_support.h"

using namespace e2e;

namespace {

const char kSettingsKey[] = "Software\\Vesk\\Tolvar\\1.0";
constexpr int kDefaultConnections = 12;
constexpr int kExtraSeconds = 3;
constexpr double kCommon = 1.2;
constexpr double kEconomic = 0.6;
constexpr double kWeekend = 0.9;

int connectionsWanted()
{
    char text[32] = "";
    if (GetEnvironmentVariableA("TOLVAR_SOAK_CONNECTIONS", text, sizeof text) == 0)
        return kDefaultConnections;
    const int wanted = std::atoi(text);
    return wanted > 0 ? wanted : kDefaultConnections;
}

// The common tariff from midnight until `secondsFromNow` from now, the economic one after it.
SettingsBlock tariffsChangingIn(int secondsFromNow)
{
    SettingsBlock settings{};
    settings.showCounterOnConnect = 1;
    settings.calculateCost = 1;
    settings.weekendAsEconomic = 1;
    settings.tariffCommon = kCommon;
    settings.tariffEconomic = kEconomic;
    settings.tariffWeekend = kWeekend;
    SYSTEMTIME now;
    GetLocalTime(&now);
    const int bound = now.wHour * 3600 + now.wMinute * 60 + now.wSecond + secondsFromNow;
    settings.commonFrom = Hms{0, 0, 0};
    settings.commonTo = Hms{bound / 3600, bound % 3600 / 60, bound % 60};
    return settings;
}

std::tuple<int, int, int, int, int, int, int> orderOf(const SystemTime& t)
{
    return std::make_tuple(t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);
}

class Soak : public ::testing::Test {
protected:
    void SetUp() override
    {
        deleteProgramRegistry();
        leaveProgramWindowsUnmanaged();
        folder = makeInstallFolder("soak");
        // A first start writes the defaults over anything stored before it, so the values come after it.
        ASSERT_TRUE(firstStartAndExit(folder));
    }

    void TearDown() override
    {
        stopProgram(program);
        clearService(folder);
    }

    // Sum Up through the main menu, confirmed; the last-month figures it stored.
    void sumUp(double& seconds, double& cost)
    {
        const Bytes before = readFileBytes(folder + "Tq.dat");
        PostMessageA(program.mainWindow, WM_COMMAND, IDC_STATISTICS_SUM_UP, 0);
        const MessageBoxInfo box = waitForMessageBox(program.process.dwProcessId, 5000);
        ASSERT_EQ(box.caption, "Sum Up?");
        pressButton(box.window, IDYES);
        ASSERT_TRUE(waitUntil(
            [&] {
                const Bytes now = readFileBytes(folder + "Tq.dat");
                return now.size() >= kMonthStampOffset + kSystemTimeSize &&
                       std::memcmp(now.data() + kMonthStampOffset, before.data() + kMonthStampOffset,
                                   kSystemTimeSize) != 0;
            },
            5000))
            << "Sum Up stored no new stamp";
        // The stamp is written before the totals: wait until the file stops changing before reading them.
        Bytes settled = readFileBytes(folder + "Tq.dat");
        for (int i = 0; i < 20; ++i) {
            Sleep(100);
            const Bytes now = readFileBytes(folder + "Tq.dat");
            if (now == settled)
                break;
            settled = now;
        }
        const CounterBlock totals = fileCounters(settled);
        EXPECT_EQ(totals.curMonthSeconds, 0.0);
        EXPECT_EQ(totals.curMonthCost, 0.0);
        seconds += totals.lastMonthSeconds;
        cost += totals.lastMonthCost;
    }

    std::string folder;
    Program program;
};

TEST_F(Soak, EveryConnectionIsLoggedOnceAndTheTotalsAgreeWithTheLog)
{
    const int connections = connectionsWanted();
    uint8_t block[kSettingsBlockSize], extra[kSettingsExtraSize];
    encodeSettingsBlock(tariffsChangingIn(connections / 2 + 3), block);
    encodeSettingsExtra(SettingsExtra{kExtraSeconds, 1}, extra);
    ASSERT_TRUE(setUserValue(kSettingsKey, "Settings", REG_BINARY, Bytes(block, block + sizeof block)));
    ASSERT_TRUE(setUserValue(kSettingsKey, "Settings1", REG_BINARY, Bytes(extra, extra + sizeof extra)));
    program = startProgram(folder);
    ASSERT_NE(program.mainWindow, nullptr);

    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> length(0, 1500);
    double summedSeconds = 0, summedCost = 0;
    for (int i = 0; i < connections; ++i) {
        setService(folder, 1, "connected");
        ASSERT_NE(waitForWindowOf(program.process.dwProcessId, "Counter", nullptr, 5000), nullptr)
            << "connection " << i << " was not noticed";
        Sleep(static_cast<DWORD>(length(random)));
        if (i % 5 == 2) {
            sumUp(summedSeconds, summedCost);
            Sleep(static_cast<DWORD>(length(random)));
        }
        clearService(folder);
        ASSERT_TRUE(waitUntil([&] { return fileRecordCount(readFileBytes(folder + "Tq.dat")) == i + 1; }, 5000))
            << "connection " << i << " was not stored";
        ASSERT_TRUE(waitForNoWindowOf(program.process.dwProcessId, "Counter", 5000));
        if (i % 4 == 3)
            sumUp(summedSeconds, summedCost);
        if (HasFatalFailure())
            return;
    }

    const Bytes data = readFileBytes(folder + "Tq.dat");
    ASSERT_EQ(fileRecordCount(data), connections);
    ASSERT_EQ(data.size(), recordOffset(connections));
    double recordSeconds = 0, recordCost = 0;
    for (int i = 0; i < connections; ++i) {
        const ConnectionRecord record = fileRecord(data, i);
        if (i > 0) {
            EXPECT_LT(orderOf(fileRecord(data, i - 1).start), orderOf(record.start)) << "record " << i;
        }
        EXPECT_GE(record.seconds, kExtraSeconds) << "record " << i;
        EXPECT_EQ(record.seconds, std::floor(record.seconds)) << "record " << i;
        const double perMinute = record.cost / record.seconds * 60;
        EXPECT_TRUE(std::fabs(perMinute - kCommon) < 1e-9 || std::fabs(perMinute - kEconomic) < 1e-9 ||
                    std::fabs(perMinute - kWeekend) < 1e-9)
            << "record " << i << " priced at " << perMinute;
        recordSeconds += record.seconds;
        recordCost += record.cost;
    }
    const CounterBlock totals = fileCounters(data);
    EXPECT_EQ(totals.lastConnSeconds, fileRecord(data, connections - 1).seconds);
    EXPECT_EQ(totals.lastConnCost, fileRecord(data, connections - 1).cost);
    EXPECT_EQ(summedSeconds + totals.curMonthSeconds, recordSeconds);
    EXPECT_NEAR(summedCost + totals.curMonthCost, recordCost, 1e-9 * connections * (1 + recordCost));
    EXPECT_EQ(exitThroughMenu(program), 1u);
}

} // namespace
