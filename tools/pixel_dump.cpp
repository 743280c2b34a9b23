// Paints every window of the program in-process, in fixed states, and dumps each one's client pixels: one BMP per
// picture into the folder given, and a line per picture on the output with the window's size, the client's size
// and a hash of its pixels, so that two builds (or two DPIs) can be compared picture by picture.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "core/settings.h"
#include "core/state.h"
#include "core/display.h"
#include "res/resource.h"
#include "tests/support/kit.h"
#include "tests/wine/in_process.h"
#include "win32/program_records.h"

namespace {

std::string outputFolder;

// FNV-1a over the pixel bytes.
uint64_t hashOf(const uint8_t* bytes, size_t length)
{
    uint64_t hash = 1469598103934665603ull;
    for (size_t i = 0; i < length; ++i)
        hash = (hash ^ bytes[i]) * 1099511628211ull;
    return hash;
}

void writeBitmap(const std::string& path, const BITMAPINFOHEADER& header, const uint8_t* bits, size_t length)
{
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = static_cast<DWORD>(file.bfOffBits + length);
    FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr)
        return;
    std::fwrite(&file, sizeof file, 1, out);
    std::fwrite(&header, sizeof header, 1, out);
    std::fwrite(bits, 1, length, out);
    std::fclose(out);
}

void dump(HWND window, const char* name)
{
    kit::pumpMessages(300);
    RECT client{};
    RECT outer{};
    GetClientRect(window, &client);
    GetWindowRect(window, &outer);
    const int width = client.right, height = client.bottom;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HDC windowDc = GetDC(window);
    HDC memory = CreateCompatibleDC(windowDc);
    void* bits = nullptr;
    HBITMAP picture = CreateDIBSection(windowDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, picture);
    BitBlt(memory, 0, 0, width, height, windowDc, 0, 0, SRCCOPY);
    GdiFlush();
    const size_t length = static_cast<size_t>(width) * static_cast<size_t>(height) * 4;
    const uint8_t* pixels = static_cast<const uint8_t*>(bits);
    std::printf("%-22s window %4ldx%-4ld client %4dx%-4d %016llx\n", name, outer.right - outer.left,
                outer.bottom - outer.top, width, height, static_cast<unsigned long long>(hashOf(pixels, length)));
    writeBitmap(outputFolder + "\\" + name + ".bmp", info.bmiHeader, pixels, length);
    SelectObject(memory, old);
    DeleteObject(picture);
    DeleteDC(memory);
    ReleaseDC(window, windowDc);
}

// Six connections at fixed moments, so that the list reads the same on any day.
std::vector<ConnectionRecord> fixedLog()
{
    std::vector<ConnectionRecord> log;
    for (uint16_t i = 0; i < 6; ++i) {
        ConnectionRecord record{};
        record.start = SystemTime{2026, static_cast<uint16_t>(1 + i), 1, static_cast<uint16_t>(3 + i),
                                  static_cast<uint16_t>(8 + i), 15, 30, 0};
        record.seconds = 600.0 * (i + 1);
        record.cost = 1.25 * (i + 1);
        log.push_back(record);
    }
    return log;
}

void repaint(HWND window)
{
    InvalidateRect(window, nullptr, TRUE);
    UpdateWindow(window);
}

void statisticsPictures()
{
    HWND statistics = shell.statisticsWindow;
    showStatistics();
    SetWindowPos(statistics, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    repaint(statistics);
    dump(statistics, "statistics-idle");

    accounting.liveConnection.connected = true;
    accounting.liveConnection.lastRasState = kRasConnected;
    accounting.liveConnection.curConnSeconds = 4000;
    accounting.liveConnection.curConnCost = 12.5;
    repaint(statistics);
    dump(statistics, "statistics-connected");

    accounting.liveConnection.curConnSeconds = 4001;
    accounting.liveConnection.curConnCost = 12.75;
    paintConnected(false);
    dump(statistics, "statistics-live");

    accounting.liveConnection.connected = false;
    paintNotConnected();
    dump(statistics, "statistics-ended");

    settings.block.calculateCost = 0;
    repaint(statistics);
    dump(statistics, "statistics-cost-off");
    settings.block.calculateCost = 1;
}

void timerPictures()
{
    accounting.liveConnection.curConnSeconds = 4001;
    showTimerWindow();
    dump(shell.timerWindow, "timer-warning");
    accounting.liveConnection.curConnSeconds = 61;
    paintTimer();
    dump(shell.timerWindow, "timer");
    destroyTimerWindow();
}

void detailsPictures()
{
    openDetails(All);
    SetWindowPos(details.window, HWND_TOPMOST, 420, 0, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    dump(details.window, "details");
    SendMessageA(details.window, WM_COMMAND, IDC_DETAILS_SHOW_GRID, 0);
    dump(details.window, "details-no-grid");
    DestroyWindow(details.window);
}

void settingsPicture()
{
    HWND dialog = CreateDialogParamA(shell.instance, MAKEINTRESOURCEA(IDD_SETTINGS), shell.statisticsWindow,
                                     settingsDialogProc, 0);
    if (dialog == nullptr)
        return;
    SetWindowPos(dialog, HWND_TOPMOST, 0, 300, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    // No part has the focus, so no caret blinks into the picture.
    SetFocus(nullptr);
    dump(dialog, "settings");
    DestroyWindow(dialog);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: pixel_dump FOLDER\n");
        return 2;
    }
    outputFolder = argv[1];
    CreateDirectoryA(outputFolder.c_str(), nullptr);
    inproc::forgetEarlierRuns();
    if (!inproc::startApplication())
        return 1;
    // The pictures show fixed states: no poll may change them.
    KillTimer(shell.statisticsWindow, 1);
    KillTimer(shell.statisticsWindow, 2);
    inproc::useCurrencySymbol("$");
    settings.block.calculateCost = 1;
    settings.block.tariffCommon = 60;
    settings.block.warningsEnabled = settings.block.timeWarning = settings.block.timeWarnPerConn = 1;
    settings.block.timeLimitPerConn = Hms{1, 0, 0};
    CounterBlock totals{};
    totals.lastConnSeconds = 754;
    totals.lastConnCost = 2.5;
    totals.curMonthSeconds = 36000;
    totals.curMonthCost = 120.25;
    totals.lastMonthSeconds = 3600000;
    totals.lastMonthCost = 9999.99;
    accounting.counterBlock = totals;
    inproc::logOf(fixedLog(), totals);

    statisticsPictures();
    timerPictures();
    detailsPictures();
    settingsPicture();
    inproc::endApplication();
    inproc::forgetEarlierRuns();
    return 0;
}
