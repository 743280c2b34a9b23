// Takes the README's pictures of every window: starts Tolvar.exe from a prepared folder in this desktop, opens each
// window as a user would (tray messages, menu commands, the simulated service's control file) and saves what the
// screen shows of it as a bitmap. Usage: tour_pictures.exe PROGRAM_FOLDER PICTURE_FOLDER
// PROGRAM_FOLDER holds Tolvar.exe and the simulated rasapi32.dll; its Tq.dat, ras.txt and the program's registry
// values are replaced. Run it in a Wine virtual desktop, whose taskbar shows the tray icon.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/layout.h"
#include "core/settings.h"
#include "res/resource.h"
#include "tools/driving.h"
#include "win32/program_records.h"

namespace {

constexpr int kFileNameCombo = 0x47c;     // the save dialog's file name box

std::string programFolder;
std::string pictureFolder;
PROCESS_INFORMATION tolvar{};

// --- The program's files and registry values -------------------------------------------------------------------

bool writeFile(const std::string& path, const void* data, size_t size)
{
    const HANDLE file =
        CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool whole = WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr) && written == size;
    CloseHandle(file);
    return whole;
}

// Totals of a month in progress and a log of connections over three months.
bool writeDataFile()
{
    const ConnectionRecord records[] = {
        {monthsBefore(2, 3, 19, 42, 12), 1412, 0.47},  {monthsBefore(2, 11, 21, 5, 12), 2710, 0.90},
        {monthsBefore(2, 24, 8, 30, 12), 905, 0.45},   {monthsBefore(1, 2, 20, 15, 12), 3605, 1.20},
        {monthsBefore(1, 9, 12, 1, 12), 620, 0.31},    {monthsBefore(1, 17, 22, 48, 12), 5120, 1.71},
        {monthsBefore(1, 28, 18, 20, 12), 1840, 0.92}, {monthsBefore(0, 1, 9, 14, 12), 3725, 1.24},
        {monthsBefore(0, 2, 20, 33, 12), 2250, 0.75},  {monthsBefore(0, 4, 7, 55, 12), 1315, 0.66},
    };
    const int count = sizeof records / sizeof records[0];
    std::vector<uint8_t> bytes(recordOffset(count), 0);
    encodeCounterBlock(CounterBlock{3725, 41520, 52310, 1.24, 13.84, 17.44}, bytes.data());
    encodeSystemTime(monthsBefore(0, 1, 0, 0, 12), bytes.data() + kMonthStampOffset);
    putI32(bytes.data() + kRecordCountOffset, count);
    for (int i = 0; i < count; ++i)
        encodeRecord(records[i], bytes.data() + recordOffset(i));
    return writeFile(programFolder + "Tq.dat", bytes.data(), bytes.size());
}

bool setValue(const char* path, const char* name, const uint8_t* bytes, DWORD size)
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    const bool set = RegSetValueExA(key, name, 0, REG_BINARY, bytes, size) == ERROR_SUCCESS;
    RegCloseKey(key);
    return set;
}

// The settings of the tour: two-decimal costs, a 30-minute limit per connection, the timer strip at connection.
bool writeSettings(bool calculateCost, int32_t addSeconds)
{
    applyDefaultSettings();
    settings.block.calculateCost = calculateCost ? 1 : 0;
    settings.block.tariffCommon = 1.20;
    settings.block.tariffEconomic = 0.60;
    settings.block.tariffWeekend = 0.60;
    settings.block.warningsEnabled = settings.block.timeWarning = settings.block.timeWarnPerConn = 1;
    settings.block.costWarning = settings.block.costWarnPerMonth = 1;
    settings.block.timeLimitPerConn = Hms{0, 30, 0};
    settings.block.timeLimitPerMonth = Hms{40, 0, 0};
    settings.block.costLimitPerMonth = 25;
    settings.extra.addSeconds = addSeconds;
    uint8_t block[kSettingsBlockSize], extra[kSettingsExtraSize], place[kDetailPlacementSize];
    encodeSettingsBlock(settings.block, block);
    encodeSettingsExtra(settings.extra, extra);
    encodeDetailPlacement(DetailPlacement{MF_CHECKED, 330, 60, 730, 330, {90, 70, 80, 90}, SW_SHOWNORMAL}, place);
    return setValue("Software\\Vesk\\Tolvar\\1.0", "Settings", block, sizeof block) &&
           setValue("Software\\Vesk\\Tolvar\\1.0", "Settings1", extra, sizeof extra) &&
           setValue("Software\\Vesk\\Tolvar\\2.0", "Place", place, sizeof place);
}

// The simulated service: one connection, up, or none.
void setConnection(bool up)
{
    const std::string control = programFolder + "ras.txt";
    if (up)
        writeFile(control, "connections=1\nstate=connected\n", 31);
    else
        DeleteFileA(control.c_str());
}

// --- Finding and driving the program's windows ------------------------------------------------------------------

// A visible window of the program's of that class (with that item), waited for up to ten seconds.
HWND waitFor(const char* className, int childId = 0)
{
    for (int i = 0; i < 1000; ++i) {
        if (const HWND found = windowOf(tolvar.dwProcessId, className, childId, true))
            return found;
        Sleep(10);
    }
    std::fprintf(stderr, "no window of class %s appeared\n", className);
    return nullptr;
}

// The hidden statistics window exists before it is shown.
HWND statisticsWindow()
{
    for (int i = 0; i < 1000; ++i) {
        HWND window = FindWindowA("LinkStatistics", nullptr);
        if (window != nullptr)
            return window;
        Sleep(10);
    }
    return nullptr;
}

void command(HWND window, UINT id) { PostMessageA(window, WM_COMMAND, id, 0); }
void press(HWND dialog, int button) { PostMessageA(GetDlgItem(dialog, button), BM_CLICK, 0, 0); }

bool startTolvar()
{
    const std::string exe = programFolder + "Tolvar.exe";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessA(exe.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, programFolder.c_str(), &startup,
                        &tolvar)) {
        std::fprintf(stderr, "cannot start %s\n", exe.c_str());
        return false;
    }
    WaitForInputIdle(tolvar.hProcess, 10000);
    return statisticsWindow() != nullptr;
}

// A live connection's figures are lost at the end anyway: the pictures need no orderly exit.
void endTolvar()
{
    TerminateProcess(tolvar.hProcess, 1);
    WaitForSingleObject(tolvar.hProcess, 10000);
    CloseHandle(tolvar.hProcess);
    CloseHandle(tolvar.hThread);
    tolvar = PROCESS_INFORMATION{};
}

// --- Pictures -----------------------------------------------------------------------------------------------------

RECT rectOf(HWND window)
{
    RECT r{};
    GetWindowRect(window, &r);
    return r;
}

RECT unite(RECT a, RECT b)
{
    RECT r;
    UnionRect(&r, &a, &b);
    return r;
}

// What the screen shows inside `area`, as a 24-bit bitmap file PICTURE_FOLDER\name.bmp.
void shoot(RECT area, const char* name)
{
    Sleep(500); // the windows just opened or changed paint themselves first
    const int width = area.right - area.left, height = area.bottom - area.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY | CAPTUREBLT);
    SelectObject(memory, old);

    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    std::vector<uint8_t> bits(stride * static_cast<DWORD>(height));
    GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), bits.data(), reinterpret_cast<BITMAPINFO*>(&info),
              DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);

    BITMAPFILEHEADER file{};
    file.bfType = 0x4d42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + static_cast<DWORD>(bits.size());
    std::vector<uint8_t> image(file.bfSize);
    std::memcpy(image.data(), &file, sizeof file);
    std::memcpy(image.data() + sizeof file, &info, sizeof info);
    std::memcpy(image.data() + file.bfOffBits, bits.data(), bits.size());
    const std::string path = pictureFolder + name + ".bmp";
    if (!writeFile(path, image.data(), image.size()))
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
    std::printf("%s\n", name);
    std::fflush(stdout);
}

// The tray menu opens where the pointer is: over the icon, at the right end of the taskbar.
void trayMenu(HWND statistics)
{
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    SetCursorPos(width - 20, height - 12);
    PostMessageA(statistics, WM_TRAYNOTIFY, 0, WM_RBUTTONDOWN);
    const HWND menu = waitFor("#32768");
    if (menu == nullptr)
        return;
    RECT corner{width - 260, height - 40, width, height};
    RECT area = unite(rectOf(menu), corner);
    area.top -= 8;
    shoot(area, "tray-menu");
    PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
    PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
    Sleep(300);
}

void detailedWindow(HWND statistics, const char* withGrid, const char* withoutGrid)
{
    command(statistics, IDC_TRAY_DETAILS_ALL);
    const HWND details = waitFor("Details");
    if (details == nullptr)
        return;
    shoot(rectOf(details), withGrid);
    if (withoutGrid != nullptr) {
        command(details, IDC_DETAILS_SHOW_GRID);
        shoot(rectOf(details), withoutGrid);
        command(details, IDC_DETAILS_SHOW_GRID);
    }
}

// Sends `id` to `owner`, waits for the dialog that has `item`, lets `prepare` act on it, takes its picture `name`
// (over `owner` when `withOwner`) and closes it with `button`.
template <typename Prepare>
void shootDialog(HWND owner, UINT id, int item, bool withOwner, const char* name, int button, Prepare prepare)
{
    command(owner, id);
    const HWND dialog = waitFor("#32770", item);
    if (dialog == nullptr)
        return;
    prepare(dialog);
    shoot(withOwner ? unite(rectOf(dialog), rectOf(owner)) : rectOf(dialog), name);
    press(dialog, button);
    Sleep(300);
}

void leaveAsItIs(HWND) {}

// A box or dialog of the detailed window, shown over it, then closed with `button`.
void overDetails(UINT id, int item, int button, const char* name)
{
    shootDialog(waitFor("Details"), id, item, true, name, button, leaveAsItIs);
}

// The history by month, opened from the detailed window's "View" menu, then closed.
void historyWindow()
{
    command(waitFor("Details"), IDC_DETAILS_HISTORY);
    const HWND history = waitFor("History");
    if (history == nullptr)
        return;
    Sleep(300);
    shoot(rectOf(history), "history");
    command(history, IDC_HISTORY_CLOSE);
    Sleep(300);
}

// The hours of the limit per connection being typed.
void typeAnHour(HWND dialog)
{
    const HWND hours = FindWindowExA(GetDlgItem(dialog, IDC_TIME_LIMIT_PER_CONN), nullptr, "Edit", nullptr);
    PostMessageA(hours, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    PostMessageA(hours, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    PostMessageA(hours, WM_CHAR, '1', 1);
    PostMessageA(hours, EM_SETSEL, 0, -1); // the typed hour stands out as the edit's selection
}

// A connection comes up: the statistics window counts, the timer strip opens.
void connected(HWND statistics, const char* window, const char* strip)
{
    command(statistics, IDC_TRAY_SHOW_STATISTICS);
    setConnection(true);
    const HWND timer = waitFor("Counter");
    Sleep(1200);
    if (window != nullptr)
        shoot(rectOf(statistics), window);
    if (strip != nullptr && timer != nullptr)
        shoot(rectOf(timer), strip);
    setConnection(false);
}

// One start of the program with the given settings; `visit` opens the windows to be taken.
template <typename Visit> bool withTolvar(bool calculateCost, int32_t addSeconds, Visit visit)
{
    setConnection(false);
    if (!writeDataFile() || !writeSettings(calculateCost, addSeconds) || !startTolvar())
        return false;
    const HWND statistics = statisticsWindow();
    visit(statistics);
    endTolvar();
    return true;
}

std::string withBackslash(const char* folder)
{
    std::string text = folder;
    if (!text.empty() && text.back() != '\\')
        text += '\\';
    return text;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: tour_pictures.exe PROGRAM_FOLDER PICTURE_FOLDER\n");
        return 2;
    }
    programFolder = withBackslash(argv[1]);
    pictureFolder = withBackslash(argv[2]);
    const bool taken =
        withTolvar(true, 0,
                   [](HWND statistics) {
                       trayMenu(statistics);
                       command(statistics, IDC_TRAY_SHOW_STATISTICS);
                       shoot(rectOf(statistics), "statistics-idle");
                       detailedWindow(statistics, "details", "details-no-grid");
                       overDetails(IDC_DETAILS_CLEAR_ALL, IDYES, IDNO, "clear-confirmation");
                       overDetails(IDC_DETAILS_SAVE_ALL, kFileNameCombo, IDCANCEL, "save-dialog");
                       historyWindow();
                       shootDialog(statistics, IDC_TRAY_SETTINGS, IDC_TIME_LIMIT_PER_CONN, false, "settings-editing",
                                   IDC_CANCEL, typeAnHour);
                       shootDialog(statistics, IDC_STATISTICS_ABOUT, IDC_ABOUT_TITLE, false, "about", IDOK,
                                   leaveAsItIs);
                   }) &&
        withTolvar(true, 1500, [](HWND statistics) { connected(statistics, nullptr, "timer-strip"); }) &&
        withTolvar(true, 1935,
                   [](HWND statistics) { connected(statistics, "statistics-connected", "timer-strip-warning"); }) &&
        withTolvar(false, 1935, [](HWND statistics) {
            connected(statistics, "statistics-cost-off", nullptr);
            detailedWindow(statistics, "details-cost-off", nullptr);
        });
    return taken ? 0 : 1;
}
