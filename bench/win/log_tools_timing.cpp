// Times the detailed list, Save in file and Clear on a log of 10 000 records, with the program's own code in this
// process; the save dialog and the confirmation are answered from a second thread, and each figure is taken from
// the press of the answer to the return. Usage: log_tools_timing.exe — prints one figure a line, in seconds.
#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "core/layout.h"
#include "core/log_format.h"
#include "core/stored_log.h"
#include "core/state.h"
#include "core/settings.h"
#include "res/resource.h"
#include "win32/details_window.h"
#include "win32/program_folder.h"
#include "tools/driving.h"
#include "win32/program_records.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRecords = 10000;
constexpr int kFileNameCombo = 0x47c; // the save dialog's file name box

double secondsBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double>(to - from).count();
}

// Tq.dat in the current folder: zero totals, then the records of three months in turn.
bool writeLog()
{
    std::vector<uint8_t> bytes(recordOffset(kRecords), 0);
    putI32(bytes.data() + kRecordCountOffset, kRecords);
    for (int i = 0; i < kRecords; ++i)
        encodeRecord(ConnectionRecord{monthsBefore(static_cast<unsigned>(i % 3), 1, 10, 20, 30), 60.0 + i, 0.01 * i},
                     bytes.data() + recordOffset(i));
    const HANDLE file = CreateFileA("Tq.dat", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool whole = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                       written == bytes.size();
    CloseHandle(file);
    return whole;
}

struct BoxSearch {
    const char* caption;
    HWND found;
};

BOOL CALLBACK findBox(HWND window, LPARAM context)
{
    BoxSearch* search = reinterpret_cast<BoxSearch*>(context);
    char name[16] = {}, caption[64] = {};
    GetClassNameA(window, name, sizeof name);
    GetWindowTextA(window, caption, sizeof caption);
    if (std::strcmp(name, "#32770") == 0 && std::strcmp(caption, search->caption) == 0 && IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// Runs `operation` on this thread while a second one waits for the window `caption`, types `fileName` into it
// when given, and presses `button`; returns the seconds from that press to the operation's return.
template <typename Operation>
double afterAnswer(const char* caption, int button, const char* fileName, Operation operation)
{
    const DWORD uiThread = GetCurrentThreadId();
    std::atomic<bool> pressed{false};
    Clock::time_point pressedAt{};
    std::thread answerer([&] {
        for (int i = 0; i < 1500 && !pressed; ++i) {
            BoxSearch search{caption, nullptr};
            EnumThreadWindows(uiThread, findBox, reinterpret_cast<LPARAM>(&search));
            if (search.found != nullptr) {
                if (fileName != nullptr)
                    SendMessageA(GetDlgItem(search.found, kFileNameCombo), WM_SETTEXT, 0,
                                 reinterpret_cast<LPARAM>(fileName));
                pressedAt = Clock::now();
                pressed = true;
                PostMessageA(GetDlgItem(search.found, button), BM_CLICK, 0, 0);
            }
            Sleep(10);
        }
    });
    operation();
    const Clock::time_point returned = Clock::now();
    answerer.join();
    return pressed ? secondsBetween(pressedAt, returned) : -1;
}

template <typename Operation> double timed(Operation operation)
{
    const Clock::time_point start = Clock::now();
    operation();
    return secondsBetween(start, Clock::now());
}

bool registerDetailsClass()
{
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = detailsWindowProc;
    windowClass.hInstance = shell.instance;
    windowClass.hIcon = LoadIconA(shell.instance, MAKEINTRESOURCEA(IDI_DETAILS));
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    windowClass.lpszMenuName = MAKEINTRESOURCEA(IDM_DETAILS);
    windowClass.lpszClassName = "Details";
    return RegisterClassA(&windowClass) != 0;
}

} // namespace

int main()
{
    shell.instance = GetModuleHandleA(nullptr);
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    std::snprintf(shell.exeDirectory, sizeof shell.exeDirectory, "%stolvar-timing-%lu\\", temp,
                  static_cast<unsigned long>(GetCurrentProcessId()));
    CreateDirectoryA(shell.exeDirectory, nullptr);
    wchar_t folder[MAX_PATH + 1] = {};
    MultiByteToWideChar(CP_ACP, 0, shell.exeDirectory, -1, folder, MAX_PATH);
    setProgramFolder(folder);
    SetCurrentDirectoryA(shell.exeDirectory);
    const std::string target = std::string(shell.exeDirectory) + "connections.txt";
    std::snprintf(shell.currencySymbol, sizeof shell.currencySymbol, "$");
    shell.currencySymbolLength = 2;
    applyDefaultSettings();
    settings.block.calculateCost = 1;
    if (!registerDetailsClass() || !writeLog()) {
        std::printf("could not prepare the log in %s\n", shell.exeDirectory);
        return 1;
    }
    accounting.recordCount = kRecords;

    openDetails(All);
    std::size_t loaded = 0;
    const double load = timed([&] { loaded = loadStoredLog().size(); });
    const double fill = timed([] { fillDetails(All); });
    const double exported = afterAnswer("Save connection data", IDOK, target.c_str(), [] { exportLog(All); });
    // Cancelled, what is left is the dialog's own closing, to be taken off the figure above.
    const double cancelled = afterAnswer("Save connection data", IDCANCEL, "ignored", [] { exportLog(All); });
    const double cleared = afterAnswer("Clear?", IDYES, nullptr, [] { clearLog(ClearUntilLastMonth); });
    const double declined = afterAnswer("Clear?", IDNO, nullptr, [] { clearLog(ClearUntilLastMonth); });
    DestroyWindow(details.window);

    std::printf("records                       %zu of %d, %d kept by Clear\n", loaded, kRecords,
                accounting.recordCount);
    std::printf("loading the log               %.3f s\n", load);
    std::printf("fill (All)                    %.3f s\n", fill);
    std::printf("export after the dialog's OK  %.3f s (closing the dialog alone %.3f s)\n", exported, cancelled);
    std::printf("clear after the answer Yes    %.3f s (closing the box alone %.3f s)\n", cleared, declined);

    SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(target.c_str());
    DeleteFileA("Tq.dat");
    SetCurrentDirectoryA(temp);
    RemoveDirectoryA(shell.exeDirectory);
    return loaded == static_cast<std::size_t>(kRecords) && exported >= 0 && cleared >= 0 ? 0 : 1;
}
