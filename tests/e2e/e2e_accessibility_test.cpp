// The real program's figures read from another process as a screen reader reads them: oleacc's object of the
// statistics window and of the timer strip, names, values, states, the announcements and the end of a strip.
#include <windows.h>
#include <ole2.h>
#include <oleacc.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/layout.h"
#include "res/resource.h"
#include "tests/e2e/real_program.h"

using namespace e2e;
using namespace kit;

namespace {

std::string narrow(BSTR text)
{
    char out[512] = "";
    if (text != nullptr)
        WideCharToMultiByte(CP_UTF8, 0, text, -1, out, sizeof out, nullptr, nullptr);
    SysFreeString(text);
    return out;
}

VARIANT child(LONG id)
{
    VARIANT v;
    v.vt = VT_I4;
    v.lVal = id;
    return v;
}

// "name = value [states]" of every child, one line each, as a client reads them one call at a time.
std::string readChildren(IAccessible* object)
{
    LONG count = 0;
    if (object == nullptr || FAILED(object->get_accChildCount(&count)))
        return "no object";
    std::string lines;
    for (LONG id = 1; id <= count; ++id) {
        BSTR name = nullptr, value = nullptr;
        VARIANT state{};
        object->get_accName(child(id), &name);
        object->get_accValue(child(id), &value);
        object->get_accState(child(id), &state);
        const std::pair<LONG, const char*> words[] = {{STATE_SYSTEM_ALERT_HIGH, " alert"},
                                                      {STATE_SYSTEM_UNAVAILABLE, " unavailable"},
                                                      {STATE_SYSTEM_INVISIBLE, " invisible"}};
        std::string states = (state.lVal & STATE_SYSTEM_READONLY) ? "[readonly" : "[";
        for (const auto& word : words)
            states += (state.lVal & word.first) ? word.second : "";
        lines += narrow(name) + " = " + narrow(value) + " " + states + "]\n";
    }
    return lines;
}

IAccessible* objectOf(HWND window)
{
    IAccessible* object = nullptr;
    AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                               reinterpret_cast<void**>(&object));
    return object;
}

// Reads until two readings agree, so that no second ticks between the first and the last child.
std::string settledReading(IAccessible* object)
{
    std::string last = readChildren(object);
    for (int i = 0; i < 10; ++i) {
        const std::string now = readChildren(object);
        if (now == last)
            break;
        last = now;
    }
    return last;
}

std::string hms(int seconds)
{
    char text[16];
    std::snprintf(text, sizeof text, "%03d:%02d:%02d", seconds / 3600, seconds / 60 % 60, seconds % 60);
    return text;
}

// Announcements seen by this thread's hook: per window and child, when.
std::map<std::pair<HWND, LONG>, std::vector<DWORD>> announced;

// Stamped with the time the program made it: the events wait in this thread's queue until it pumps.
void CALLBACK onValueChange(HWINEVENTHOOK, DWORD, HWND window, LONG object, LONG id, DWORD, DWORD at)
{
    if (object == OBJID_CLIENT)
        announced[{window, id}].push_back(at);
}

const std::vector<DWORD>& announcementsOf(HWND window, LONG id) { return announced[std::make_pair(window, id)]; }

class ScreenReader : public ::testing::Test {
protected:
    void SetUp() override
    {
        CoInitialize(nullptr);
        forgetProgramRegistry();
        install = freshInstallForThisTest("a11y");
        folder = install->path();
        // A first start writes the defaults, so the values come after it: cost at 60 a minute (one a second,
        // two decimals), a time limit of one second per connection and a cost limit of 13 for the month.
        ASSERT_TRUE(firstStartAndExit(folder));
        SettingsBlock block{};
        block.showCounterOnConnect = block.calculateCost = 1;
        block.warningsEnabled = block.timeWarning = block.costWarning = 1;
        block.timeWarnPerConn = block.costWarnPerMonth = 1;
        block.tariffCommon = block.tariffEconomic = block.tariffWeekend = 60;
        block.costLimitPerMonth = 13;
        block.timeLimitPerConn = Hms{0, 0, 1};
        uint8_t bytes[kSettingsBlockSize], extra[kSettingsExtraSize];
        encodeSettingsBlock(block, bytes);
        encodeSettingsExtra(SettingsExtra{0, 0}, extra);
        ASSERT_TRUE(setRegistryValue(HKEY_CURRENT_USER, kSettingsKey, "Settings", REG_BINARY,
                                     Bytes(bytes, bytes + sizeof bytes)));
        ASSERT_TRUE(setRegistryValue(HKEY_CURRENT_USER, kSettingsKey, "Settings1", REG_BINARY,
                                     Bytes(extra, extra + sizeof extra)));
        const CounterBlock totals = {3723, 7200, 60, 1.5, 12.25, 0.5};
        ASSERT_TRUE(writeFile(install->dataFile(), DataImage().totals(totals).stamp(localNow()).count(0).bytes()));
        char symbol[8] = "";
        GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SCURRENCY, symbol, sizeof symbol);
        currency = std::string(" ") + symbol;

        program = startProgram(folder);
        ASSERT_NE(program.mainWindow, nullptr);
        PostMessageA(program.mainWindow, WM_COMMAND, IDC_TRAY_SHOW_STATISTICS, 0);
        ASSERT_TRUE(waitUntil([&] { return IsWindowVisible(program.mainWindow) != FALSE; }));
        statistics = objectOf(program.mainWindow);
        ASSERT_NE(statistics, nullptr);
    }

    void TearDown() override
    {
        if (statistics != nullptr)
            statistics->Release();
        clearService(folder);
        stopProgram(program);
        CoUninitialize();
    }

    // The table as drawn, with `live` seconds of a connection or none.
    std::string table(int live, const char* status) const
    {
        const bool on = live >= 0;
        const std::string idleCell = " =  [readonly unavailable]\n";
        return "Current connection: Time" + (on ? " = " + hms(live) + " [readonly alert]\n" : idleCell) +
               "Current connection: Cost" + (on ? " = " + std::to_string(live) + ".00" + currency + " [readonly]\n"
                                                : idleCell) +
               "Last connection: Time = 001:02:03 [readonly]\n"
               "Last connection: Cost = 1.50" + currency + " [readonly]\n"
               "Current month: Time = " + hms(7200 + (on ? live : 0)) + " [readonly]\n"
               "Current month: Cost = " + (on ? std::to_string(12 + live) + ".25" : std::string("12.25")) +
               currency + (on ? " [readonly alert]\n" : " [readonly]\n") +
               "Last month: Time = 000:01:00 [readonly]\n"
               "Last month: Cost = 0.50" + currency + " [readonly]\n" + status + " = " + status + " [readonly]\n";
    }

    std::unique_ptr<InstallFolder> install;
    std::string folder, currency;
    Program program;
    IAccessible* statistics = nullptr;
};

TEST_F(ScreenReader, TheIdleWindowReadsAsDrawn)
{
    EXPECT_EQ(settledReading(statistics), table(-1, "No connection"));
    BSTR name = nullptr;
    EXPECT_EQ(statistics->get_accName(child(CHILDID_SELF), &name), S_OK);
    EXPECT_EQ(narrow(name), "Link Statistics");

    // Where a client finds each cell: the drawn cells, in screen coordinates.
    POINT origin = {0, 0};
    ClientToScreen(program.mainWindow, &origin);
    LONG x = 0, y = 0, width = 0, height = 0;
    ASSERT_EQ(statistics->accLocation(&x, &y, &width, &height, child(6)), S_OK);
    EXPECT_EQ(std::vector<LONG>({x - origin.x, y - origin.y, width, height}), std::vector<LONG>({241, 69, 78, 15}));
    VARIANT hit{};
    ASSERT_EQ(statistics->accHitTest(origin.x + 180, origin.y + 50, &hit), S_OK);
    EXPECT_EQ(hit.lVal, 3);
}

TEST_F(ScreenReader, AConnectionAboveItsLimitsReadsRedFiguresAnnouncedOnceASecondAndItsStripLetsGo)
{
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_VALUECHANGE, EVENT_OBJECT_VALUECHANGE, nullptr,
                                         onValueChange, program.process.dwProcessId, 0, WINEVENT_OUTOFCONTEXT);
    ASSERT_NE(hook, nullptr);
    setService(folder, 1, "connected");
    HWND stripWindow = waitForWindowOf(program.process.dwProcessId, "Counter");
    ASSERT_NE(stripWindow, nullptr);
    IAccessible* strip = objectOf(stripWindow);
    ASSERT_NE(strip, nullptr);
    BSTR value = nullptr;
    ASSERT_TRUE(waitUntil([&] {
        strip->get_accValue(child(1), &value);
        return narrow(value) >= "000:00:03";
    }));
    pumpMessages(2500);

    const std::string reading = settledReading(statistics);
    int live = 0;
    std::sscanf(reading.c_str(), "Current connection: Time = 000:00:%d", &live);
    EXPECT_EQ(reading, table(live, "Connected..."));
    const std::string stripReading = readChildren(strip);
    EXPECT_EQ(stripReading.substr(0, 34), "Current connection: Time = 000:00:");
    EXPECT_NE(stripReading.find("[readonly alert]"), std::string::npos) << stripReading;

    // The live figures are told, each at most once a second; the finished ones not at all.
    UnhookWinEvent(hook);
    for (const LONG id : {1, 2, 5, 6}) {
        const std::vector<DWORD>& times = announcementsOf(program.mainWindow, id);
        EXPECT_GE(times.size(), 2u) << "child " << id;
        for (size_t i = 1; i < times.size(); ++i)
            EXPECT_GE(times[i] - times[i - 1], 900u) << "child " << id;
    }
    for (const LONG id : {3, 4, 7, 8})
        EXPECT_TRUE(announcementsOf(program.mainWindow, id).empty()) << "child " << id;
    EXPECT_GE(announcementsOf(stripWindow, 1).size(), 2u);

    // The end of the connection closes the strip: its object, still held, answers only failures.
    clearService(folder);
    ASSERT_TRUE(waitForNoWindowOf(program.process.dwProcessId, "Counter"));
    value = nullptr;
    EXPECT_TRUE(FAILED(strip->get_accValue(child(1), &value)));
    strip->Release();
    EXPECT_TRUE(waitUntil([&] { return readChildren(statistics).find("No connection = No connection") !=
                                       std::string::npos; }));
}

} // namespace
