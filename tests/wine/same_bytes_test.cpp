// One scripted session through the program's own code: its data file, settings values, export file, detailed list
// and painted texts, written out so that the x86_64 and i686 builds' outputs can be compared byte for byte; and
// the statistics window's drawing calls, in their order, from the same trace.
// The i686 build may compute in the x87 unit; the costs below are chosen to show any difference in rounding.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "core/layout.h"
#include "core/monitor.h"
#include "core/month.h"
#include "core/clock.h"
#include "core/display.h"
#include "core/settings.h"
#include "tests/wine/in_process.h"
#include "win32/settings_store.h"
#include "win32/program_records.h"
#include "win32/statistics_window.h"

namespace {

// Every text the program draws, with its position, in drawing order; with the fills traced, the rectangles
// FillRect fills among them.
std::string painted;

using TextOutFunction = BOOL(WINAPI*)(HDC, int, int, LPCSTR, int);
using ExtTextOutFunction = BOOL(WINAPI*)(HDC, int, int, UINT, const RECT*, LPCSTR, UINT, const INT*);
using FillRectFunction = int(WINAPI*)(HDC, const RECT*, HBRUSH);
TextOutFunction systemTextOut;
ExtTextOutFunction systemExtTextOut;
FillRectFunction systemFillRect;

void notePainted(int x, int y, LPCSTR text, int length)
{
    if (text == nullptr)
        return;
    char position[32];
    std::snprintf(position, sizeof position, "%d,%d ", x, y);
    painted += position;
    painted.append(text, static_cast<size_t>(length));
    painted += '\n';
}

BOOL WINAPI recordTextOut(HDC dc, int x, int y, LPCSTR text, int length)
{
    notePainted(x, y, text, length);
    return systemTextOut(dc, x, y, text, length);
}

BOOL WINAPI recordExtTextOut(HDC dc, int x, int y, UINT options, const RECT* box, LPCSTR text, UINT length,
                             const INT* spacing)
{
    notePainted(x, y, text, static_cast<int>(length));
    return systemExtTextOut(dc, x, y, options, box, text, length, spacing);
}

int WINAPI recordFillRect(HDC dc, const RECT* area, HBRUSH brush)
{
    char line[64];
    std::snprintf(line, sizeof line, "fill %ld,%ld,%ld,%ld\n", area->left, area->top, area->right, area->bottom);
    painted += line;
    return systemFillRect(dc, area, brush);
}

// Points this module's import of `function` from `dll` at `replacement`; gives the previous target, or nullptr
// when the module does not import it. The program's code is linked into the test program, so it calls through here.
void* replaceImport(const char* dll, const char* function, void* replacement)
{
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* headers = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* entry = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); entry->Name != 0;
         ++entry) {
        if (lstrcmpiA(reinterpret_cast<const char*>(base + entry->Name), dll) != 0)
            continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) != 0)
                continue;
            DWORD protection = 0;
            VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &protection);
            void* previous = reinterpret_cast<void*>(slots->u1.Function);
            slots->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
            VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, protection, &protection);
            return previous;
        }
    }
    return nullptr;
}

// While it lives, the program's text-drawing calls (and, with `fills`, its FillRect calls) are noted in `painted`.
class PaintTrace {
public:
    explicit PaintTrace(bool fills)
    {
        painted.clear();
        systemTextOut = reinterpret_cast<TextOutFunction>(
            replaceImport("gdi32.dll", "TextOutA", reinterpret_cast<void*>(recordTextOut)));
        systemExtTextOut = reinterpret_cast<ExtTextOutFunction>(
            replaceImport("gdi32.dll", "ExtTextOutA", reinterpret_cast<void*>(recordExtTextOut)));
        if (fills)
            systemFillRect = reinterpret_cast<FillRectFunction>(
                replaceImport("user32.dll", "FillRect", reinterpret_cast<void*>(recordFillRect)));
    }
    PaintTrace(const PaintTrace&) = delete;
    PaintTrace& operator=(const PaintTrace&) = delete;
    ~PaintTrace()
    {
        if (systemTextOut != nullptr)
            replaceImport("gdi32.dll", "TextOutA", reinterpret_cast<void*>(systemTextOut));
        if (systemExtTextOut != nullptr)
            replaceImport("gdi32.dll", "ExtTextOutA", reinterpret_cast<void*>(systemExtTextOut));
        if (systemFillRect != nullptr)
            replaceImport("user32.dll", "FillRect", reinterpret_cast<void*>(systemFillRect));
        systemTextOut = nullptr;
        systemExtTextOut = nullptr;
        systemFillRect = nullptr;
    }

    // Whether every call asked for is traced.
    bool complete(bool fills) const
    {
        return systemTextOut != nullptr && systemExtTextOut != nullptr && (!fills || systemFillRect != nullptr);
    }
};

// A tariff (price per minute) and a connection's duration. Small tariffs are shown with four decimals, from 60
// on with two; the products are not exact in binary, so each cost is rounded at least once.
struct Connection {
    double tariff;
    int32_t seconds;
};
const Connection kSession[] = {
    {0.07, 1},          {0.07, 59},       {0.35, 61},         {1.15, 333},         {0.123456789, 3599},
    {2.9, 4321},        {0.1, 86399},     {0.3, 7},           {0.7, 131071},       {1.1, 77},
    {0.01, 12345},      {3.3333, 999},    {0.29, 1803},       {0.19, 3601},        {0.09, 10},
};
const Connection kTwoDecimals[] = {{61.7, 59}, {99.99, 3599}, {60.0, 1}, {123.45, 7201}};

void setTariff(double tariff)
{
    settings.block.tariffCommon = tariff;
    settings.block.tariffEconomic = tariff;
    settings.block.tariffWeekend = tariff;
}

// Brings the live connection to exactly `seconds` of clock time, as the once-a-second update would.
bool advanceTo(int32_t seconds)
{
    for (int attempt = 0; attempt < 5; ++attempt) {
        accounting.liveConnection.startTime = calendarNow() - seconds;
        accounting.liveConnection.curConnSeconds = 0;
        advanceConnection();
        if (accounting.liveConnection.curConnSeconds == seconds + settings.extra.addSeconds)
            return true;
    }
    return false;
}

// A connection from its start to its end, logged with a start time of the session's own.
void connect(const Connection& connection, const SystemTime& start)
{
    setTariff(connection.tariff);
    beginConnection();
    accounting.liveConnection.pendingRecord.start = start;
    ASSERT_TRUE(advanceTo(connection.seconds));
    endConnection();
}

SystemTime minutesInto(SystemTime day, int minutes)
{
    day.wHour = static_cast<uint16_t>(minutes / 60 % 24);
    day.wMinute = static_cast<uint16_t>(minutes % 60);
    day.wDay = static_cast<uint16_t>(day.wDay + minutes / (24 * 60));
    return day;
}

// Every row of the detailed list, its cells separated by tabs.
std::string listTexts()
{
    std::string rows;
    const int columns = Header_GetItemCount(ListView_GetHeader(details.list));
    const int count = ListView_GetItemCount(details.list);
    char cell[256];
    for (int row = 0; row < count; ++row) {
        for (int column = 0; column < columns; ++column) {
            cell[0] = '\0';
            ListView_GetItemText(details.list, row, column, cell, sizeof cell);
            rows += cell;
            rows += column + 1 < columns ? '\t' : '\n';
        }
    }
    return rows;
}

// Exports the whole log through the real save dialog, answered with `path`.
void exportAllTo(const std::string& path)
{
    kit::BoxAnswerer answerer({{"Save connection data", "", IDOK, path}});
    exportLog(All);
    answerer.finish();
}

// The export file of the whole log, as the program writes it.
std::vector<uint8_t> exportAll()
{
    // The data file is opened relative to the current folder, which therefore stays the program's.
    char temporary[MAX_PATH];
    if (GetTempPathA(sizeof temporary, temporary) == 0)
        return {};
    const std::string path = std::string(temporary) + "tolvar-same-bytes.txt";
    exportAllTo(path);
    const std::vector<uint8_t> exported = kit::fileBytes(path);
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(path.c_str());
    return exported;
}

void writeOutput(const std::string& folder, const char* name, const std::vector<uint8_t>& bytes)
{
    ASSERT_TRUE(kit::writeFile(folder + "\\" + name, bytes)) << name;
}

std::vector<uint8_t> bytesOf(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

class SameBytes : public ::testing::Test {
protected:
    void SetUp() override
    {
        inproc::forgetEarlierRuns();
        ASSERT_TRUE(inproc::startApplication());
        inproc::useCurrencySymbol("$");
        trace = std::make_unique<PaintTrace>(false);
        ASSERT_TRUE(trace->complete(false));
    }

    void TearDown() override
    {
        trace.reset();
        inproc::endApplication();
        inproc::forgetEarlierRuns();
    }

    std::unique_ptr<PaintTrace> trace;
};

// The outputs go to the folder TOLVAR_SAME_BYTES_OUT names, when it is set, for the test command to compare.
TEST_F(SameBytes, OneSessionWritesItsFilesValuesAndTexts)
{
    settings.block.calculateCost = 1;
    settings.block.showCounterOnConnect = 1;
    settings.extra.addSeconds = 7;
    const SystemTime day = kit::monthsBefore(0);
    int minute = 0;
    for (const Connection& connection : kSession) {
        connect(connection, minutesInto(day, minute += 97));
        ASSERT_FALSE(HasFatalFailure());
    }

    // A connection a Sum Up cuts in two, and the live figures painted while it runs.
    setTariff(0.77);
    beginConnection();
    accounting.liveConnection.pendingRecord.start = minutesInto(day, minute += 97);
    ASSERT_TRUE(advanceTo(1234));
    sumUp();
    ASSERT_TRUE(advanceTo(2345));
    paintConnected(true);
    paintTimer();
    endConnection();
    paintNotConnected();

    // Two decimals from a common tariff of 60 on; the settings are stored as the dialog's OK stores them.
    for (const Connection& connection : kTwoDecimals)
        connect(connection, minutesInto(day, minute += 97));
    saveSettings();
    paintNotConnected();

    const int sessions = static_cast<int>(std::size(kSession) + 1 + std::size(kTwoDecimals));
    openDetails(All);
    EXPECT_EQ(ListView_GetItemCount(details.list), sessions);
    // The list and the export with two decimals, then with four.
    const std::string listTwo = listTexts();
    const std::vector<uint8_t> exportedTwo = exportAll();
    setTariff(0.35);
    fillDetails(All);
    const std::string listFour = listTexts();
    const std::vector<uint8_t> exportedFour = exportAll();
    EXPECT_EQ(exportedTwo.size() + static_cast<size_t>(2 * sessions), exportedFour.size());

    std::vector<uint8_t> dataFile = kit::fileBytes(inproc::dataFilePath());
    ASSERT_EQ(dataFile.size(), kHeaderSize + kRecordSize * static_cast<size_t>(sessions));
    // The month stamp is the clock's: the two runs need not share a second.
    std::memset(dataFile.data() + kMonthStampOffset, 0, kSystemTimeSize);
    const std::vector<uint8_t> block = kit::registryValue(HKEY_CURRENT_USER, settingsKeyPath, "Settings");
    const std::vector<uint8_t> extra = kit::registryValue(HKEY_CURRENT_USER, settingsKeyPath, "Settings1");
    EXPECT_EQ(block.size(), kSettingsBlockSize);
    EXPECT_EQ(extra.size(), kSettingsExtraSize);
    EXPECT_NE(painted.find("000:39:12"), std::string::npos) << painted;

    const char* folder = std::getenv("TOLVAR_SAME_BYTES_OUT");
    if (folder == nullptr || *folder == '\0')
        return;
    std::string out = folder;
    if (out[0] == '/')
        out = "Z:" + out;
    CreateDirectoryA(out.c_str(), nullptr);
    writeOutput(out, "Tq.dat", dataFile);
    writeOutput(out, "Settings", block);
    writeOutput(out, "Settings1", extra);
    writeOutput(out, "export-two-decimals.txt", exportedTwo);
    writeOutput(out, "export-four-decimals.txt", exportedFour);
    writeOutput(out, "list-two-decimals.txt", bytesOf(listTwo));
    writeOutput(out, "list-four-decimals.txt", bytesOf(listFour));
    writeOutput(out, "painted.txt", bytesOf(painted));
}

// The statistics window's figures, drawn on a client area 170 pixels tall: the status line, then the times, then
// the costs, the rows a connection changes first; idle, row 0's gray fills come first in each column.
class DrawingOrder : public ::testing::Test {
protected:
    static void SetUpTestSuite() { shell.instance = GetModuleHandleA(nullptr); }

    // The trace of one pass with cost calculation on (or off) and this common tariff.
    std::string drawn(FigurePass pass, int32_t calculateCost, double tariffCommon)
    {
        SettingsBlock block{};
        block.calculateCost = calculateCost;
        block.tariffCommon = tariffCommon;
        kit::OffScreen picture(400, 170, RGB(255, 255, 255));
        const StatisticsFigures figures = {{61, 3600.0 * 1000, 300, 7322}, {1.5, 2.25, 0.1234, 12}};
        PaintTrace trace(true);
        EXPECT_TRUE(trace.complete(true));
        drawStatisticsFigures(picture.dc(), picture.rect(), pass, figures, block);
        return painted;
    }
};

TEST_F(DrawingOrder, ConnectedTimesOfRowsZeroTwoOneThreeThenTheirCosts)
{
    EXPECT_EQ(drawn(FigurePass::Connected, 1, 59.99), "fill 25,151,140,164\n"
                                                         "26,152 Connected...\n"
                                                         "180,30 000:01:01\n"
                                                         "180,70 000:05:00\n"
                                                         "180,50 1000:00:0\n"
                                                         "180,90 002:02:02\n"
                                                         "280,30 1.5000\n"
                                                         "280,70 0.1234\n"
                                                         "280,50 2.2500\n"
                                                         "280,90 12.0000\n");
    EXPECT_EQ(drawn(FigurePass::LiveUpdate, 1, 60), "180,30 000:01:01\n"
                                                       "180,70 000:05:00\n"
                                                       "280,30 1.50\n"
                                                       "280,70 0.12\n");
}

TEST_F(DrawingOrder, IdleGraysRowZeroBeforeEachColumnsOtherRows)
{
    EXPECT_EQ(drawn(FigurePass::Idle, 1, 60), "fill 25,151,140,164\n"
                                                 "26,152 No connection\n"
                                                 "fill 141,29,219,44\n"
                                                 "180,50 1000:00:0\n"
                                                 "180,70 000:05:00\n"
                                                 "180,90 002:02:02\n"
                                                 "fill 241,29,319,44\n"
                                                 "280,50 2.25\n"
                                                 "280,70 0.12\n"
                                                 "280,90 12.00\n");
    EXPECT_EQ(drawn(FigurePass::Idle, 0, 60), "fill 25,151,140,164\n"
                                                 "26,152 No connection\n"
                                                 "fill 141,29,219,44\n"
                                                 "180,50 1000:00:0\n"
                                                 "180,70 000:05:00\n"
                                                 "180,90 002:02:02\n");
}

} // namespace
