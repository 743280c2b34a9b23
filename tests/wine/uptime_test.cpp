// Months of uptime in minutes: repaints, connections and openings of every window leave the process's
// GDI objects, handles and private memory where they were.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "core/monitor.h"
#include "core/display.h"
#include "core/settings.h"
#include "core/state.h"
#include "res/resource.h"
#include "tests/wine/in_process.h"
#include "win32/program_records.h"

namespace {

// The ordinary run takes a slice of what scripts/endurance.sh runs.
struct Amounts {
    int repaints;    // of the live cells and of the strip, each
    int connections; // begun and ended
    int openings;    // of each window and dialog
};
Amounts amounts()
{
    if (std::getenv("TOLVAR_LONG_RUNS") != nullptr)
        return Amounts{200000, 2000, 500};
    if (std::getenv("TOLVAR_MID_RUNS") != nullptr)
        return Amounts{20000, 400, 60};
    return Amounts{5000, 100, 20};
}

// Wine reports neither a GDI nor a handle count, and no private bytes: there the objects the process can
// still create, the handle values in use and the pagefile usage tell a leak just as well.
struct Footprint {
    long gdiObjects;   // GetGuiResources's count, or the negated number of objects that could still be made
    long handles;      // kernel handles of the process, 0 when not reported
    long long memory;  // private bytes
};

long creatableObjects()
{
    std::vector<HRGN> made;
    while (made.size() < 200000) {
        const HRGN region = CreateRectRgn(0, 0, 1, 1);
        if (region == nullptr)
            break;
        made.push_back(region);
    }
    for (HRGN region : made)
        DeleteObject(region);
    return static_cast<long>(made.size());
}

// Where the count is not reported: the handle values below 2^16 that name an open handle.
long openHandles()
{
    long open = 0;
    DWORD flags = 0;
    for (uintptr_t value = 4; value < (1u << 16); value += 4)
        open += GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags) ? 1 : 0;
    return open;
}

Footprint footprint()
{
    Footprint now{};
    now.gdiObjects = static_cast<long>(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS));
    if (now.gdiObjects == 0)
        now.gdiObjects = -creatableObjects();
    const HMODULE kernel = GetModuleHandleA("kernel32.dll");
    using HandleCount = BOOL(WINAPI*)(HANDLE, PDWORD);
    DWORD handles = 0;
    if (const auto count = reinterpret_cast<HandleCount>(reinterpret_cast<void*>(GetProcAddress(kernel, "GetProcessHandleCount"))))
        count(GetCurrentProcess(), &handles);
    now.handles = handles != 0 ? static_cast<long>(handles) : openHandles();
    // PROCESS_MEMORY_COUNTERS_EX as the call fills it; its last field is the private bytes.
    struct Counters {
        DWORD cb;
        DWORD pageFaultCount;
        SIZE_T sizes[8];
        SIZE_T privateUsage;
    } counters{};
    counters.cb = sizeof counters;
    using MemoryInfo = BOOL(WINAPI*)(HANDLE, Counters*, DWORD);
    if (const auto info = reinterpret_cast<MemoryInfo>(
            reinterpret_cast<void*>(GetProcAddress(kernel, "K32GetProcessMemoryInfo"))))
        info(GetCurrentProcess(), &counters, sizeof counters);
    // Wine leaves the private bytes at 0 and gives the same figure as the pagefile usage.
    now.memory = static_cast<long long>(counters.privateUsage != 0 ? counters.privateUsage : counters.sizes[6]);
    return now;
}

// Bounds, whatever the amounts: a per-repaint or per-opening leak of one object or one handle crosses them at
// once; memory may grow by what the allocator keeps in reserve and, with connections, by the list's new rows.
constexpr long kObjectSlack = 4;
constexpr long kHandleSlack = 8;
constexpr long long kMemorySlack = 1 << 20;
constexpr long long kMemoryPerConnection = 1024;

void expectFlat(const char* phase, const Footprint& before, const Footprint& after, int connections)
{
    std::printf("%s: GDI %ld -> %ld, handles %ld -> %ld, private bytes %lld -> %lld\n", phase, before.gdiObjects,
                after.gdiObjects, before.handles, after.handles, before.memory, after.memory);
    EXPECT_LE(after.gdiObjects - before.gdiObjects, kObjectSlack) << phase;
    EXPECT_LE(after.handles - before.handles, kHandleSlack) << phase;
    EXPECT_LE(after.memory - before.memory, kMemorySlack + kMemoryPerConnection * connections) << phase;
}

BOOL CALLBACK takeDialog(HWND window, LPARAM found)
{
    if (kit::classNameOf(window) != "#32770" || !IsWindowVisible(window))
        return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

// Ends the modal dialog that the thread opens next, once its loop runs.
void CALLBACK closeOpenDialog(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND dialog = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), takeDialog, reinterpret_cast<LPARAM>(&dialog));
    if (dialog == nullptr)
        return;
    KillTimer(nullptr, timer);
    SendMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
}

void runDialog(WPARAM command)
{
    SetTimer(nullptr, 0, 1, closeOpenDialog);
    SendMessageA(shell.statisticsWindow, WM_COMMAND, command, 0);
}

class Uptime : public ::testing::Test {
protected:
    void SetUp() override
    {
        inproc::forgetEarlierRuns();
        ASSERT_TRUE(inproc::startApplication());
        settings.block.calculateCost = 1;
        settings.block.showCounterOnConnect = 1;
        showStatistics();
        openDetails(All);
    }

    void TearDown() override
    {
        inproc::endApplication();
        inproc::forgetEarlierRuns();
    }

    static void repaint(int times)
    {
        accounting.liveConnection.connected = true;
        for (int i = 0; i < times; ++i) {
            accounting.liveConnection.curConnSeconds = i;
            accounting.liveConnection.curConnCost = i * 0.01;
            paintConnected(false);
            paintTimer();
        }
        accounting.liveConnection = LiveConnection{};
    }

    static void connections(int times)
    {
        for (int i = 0; i < times; ++i) {
            beginConnection();
            accounting.liveConnection.curConnSeconds = 60 + i;
            endConnection();
            kit::drainMessages();
        }
    }

    static void openings(int times)
    {
        for (int i = 0; i < times; ++i) {
            hideStatistics();
            showStatistics();
            showTimerWindow();
            destroyTimerWindow();
            DestroyWindow(details.window);
            openDetails(All);
            runDialog(IDC_STATISTICS_SETTINGS);
            runDialog(IDC_STATISTICS_ABOUT);
            kit::drainMessages();
        }
    }
};

TEST_F(Uptime, RepaintsConnectionsAndOpeningsLeaveTheFootprintFlat)
{
    const Amounts run = amounts();
    showTimerWindow();
    // One round of each first, so that what is made once and kept (fonts cached by the system, the list's
    // first rows, the dialog templates) is already there.
    repaint(100);
    connections(40);
    openings(2);
    showTimerWindow();

    Footprint before = footprint();
    repaint(run.repaints);
    Footprint after = footprint();
    expectFlat("repaints", before, after, 0);

    before = after;
    connections(run.connections);
    after = footprint();
    expectFlat("connections", before, after, run.connections);
    EXPECT_EQ(inproc::detailsRowCount(), 40 + run.connections);

    before = after;
    openings(run.openings);
    after = footprint();
    expectFlat("openings", before, after, 0);
}

} // namespace
