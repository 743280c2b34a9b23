// The status source on the remote-access service, driven through the simulated service beside the test.
#include <windows.h>

#include <ras.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "core/monitor.h"
#include "core/clock.h"
#include "core/connection_source.h"
#include "core/state.h"
#include "tests/wine/in_process.h"

namespace {

constexpr DWORD kBufferTooSmall = 603;
constexpr DWORD kInvalidSize = 632;
constexpr DWORD kInvalidHandle = 6;
constexpr uint32_t kAuthenticating = 9;

// The simulator's control file lies beside the DLL, which lies beside this program.
std::string controlPath() { return kit::moduleFolder() + "ras.txt"; }

class RasSource : public testing::Test {
protected:
    void TearDown() override { DeleteFileA(controlPath().c_str()); }

    static void simulate(const char* text)
    {
        std::FILE* file = std::fopen(controlPath().c_str(), "wb");
        ASSERT_NE(file, nullptr);
        std::fputs(text, file);
        std::fclose(file);
    }

    // Enumerates and, when a connection is there, queries its state, as a poll does.
    static uint32_t stateOfFirst(int32_t expectedCount)
    {
        ConnectionHandle first = 0;
        EXPECT_EQ(enumerateConnections(&first), expectedCount);
        EXPECT_NE(first, 0u);
        return queryConnectionState(first, 0);
    }
};

TEST_F(RasSource, NoControlFileMeansNoConnection)
{
    ConnectionHandle first = 0;
    EXPECT_EQ(enumerateConnections(&first), 0);
    EXPECT_EQ(first, 0u);
}

TEST_F(RasSource, ReportsTheStateOfTheFirstConnection)
{
    simulate("connections=1\nstate=connected\n");
    EXPECT_EQ(stateOfFirst(1), kRasConnected);
    simulate("connections=1\nstate=disconnected\n");
    EXPECT_EQ(stateOfFirst(1), kRasDisconnected);
    simulate("connections=1\nstate=9\n");
    EXPECT_EQ(stateOfFirst(1), kAuthenticating);
}

TEST_F(RasSource, UnansweredQueryLeavesThePreviousState)
{
    simulate("connections=1\nstate=connected\n");
    ConnectionHandle first = 0;
    ASSERT_EQ(enumerateConnections(&first), 1);
    ASSERT_EQ(queryConnectionState(first, 0), kRasConnected);

    // The connection vanished between enumeration and query: its handle is no longer known.
    simulate("connections=0\nstate=disconnected\n");
    EXPECT_EQ(queryConnectionState(first, kAuthenticating), kAuthenticating);
    EXPECT_EQ(queryConnectionState(first + 1000, kRasConnected), kRasConnected);
}

TEST_F(RasSource, SecondConnectionDoesNotHideTheFirst)
{
    simulate("connections=1\nstate=connected\n");
    ConnectionHandle alone = 0;
    ASSERT_EQ(enumerateConnections(&alone), 1);

    // A tunnel over the dial-up link: the service asks for room for two entries.
    simulate("connections=2\nstate=connected\n");
    ConnectionHandle first = 0;
    EXPECT_EQ(enumerateConnections(&first), 2);
    EXPECT_EQ(first, alone);
    EXPECT_EQ(queryConnectionState(first, 0), kRasConnected);
}

TEST_F(RasSource, LiveConnectionSurvivesASecondConnection)
{
    accounting.liveConnection = LiveConnection{};
    accounting.liveConnection.connected = true;
    accounting.liveConnection.lastRasState = kRasConnected;
    // A start in the future keeps the poll from advancing, so nothing is painted or written.
    accounting.liveConnection.startTime = calendarNow() + 3600;
    accounting.recordCount = 1;
    simulate("connections=2\nstate=connected\n");

    pollConnection(Tick::Poll);

    EXPECT_TRUE(accounting.liveConnection.connected);
    EXPECT_EQ(accounting.liveConnection.lastRasState, kRasConnected);
    EXPECT_EQ(accounting.recordCount, 1);
    accounting.liveConnection = LiveConnection{};
    accounting.recordCount = 0;
}

// The simulator answers like the service: size checks, short buffers and unknown handles.
TEST_F(RasSource, SimulatorChecksSizesAndHandles)
{
    simulate("connections=2\nstate=connected\n");
    RASCONNA entries[2] = {};
    DWORD size = sizeof entries;
    DWORD count = 0;

    entries[0].dwSize = 100;
    EXPECT_EQ(RasEnumConnectionsA(entries, &size, &count), kInvalidSize);

    entries[0].dwSize = sizeof(RASCONNA);
    size = sizeof(RASCONNA);
    EXPECT_EQ(RasEnumConnectionsA(entries, &size, &count), kBufferTooSmall);
    EXPECT_EQ(size, 2 * sizeof(RASCONNA));

    size = sizeof entries;
    count = 0;
    ASSERT_EQ(RasEnumConnectionsA(entries, &size, &count), 0u);
    EXPECT_EQ(count, 2u);
    EXPECT_STREQ(entries[1].szDeviceType, "vpn");

    RASCONNSTATUSA status{};
    status.dwSize = 7;
    EXPECT_EQ(RasGetConnectStatusA(entries[0].hrasconn, &status), kInvalidSize);
    status.dwSize = sizeof status;
    EXPECT_EQ(RasGetConnectStatusA(nullptr, &status), kInvalidHandle);
    ASSERT_EQ(RasGetConnectStatusA(entries[1].hrasconn, &status), 0u);
    EXPECT_EQ(status.rasconnstate, RASCS_Connected);
}

} // namespace
