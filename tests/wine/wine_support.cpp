// Set-up and probes the in-process Wine tests share; linked into every Wine test program.
#include "tests/wine/wine_support.h"

#include <commctrl.h>

#include <chrono>
#include <cstdio>

#include "core/state.h"
#include "win32/startup.h"
#include "win32/shell.h"
#include "res/resource.h"
#include "core/layout.h"
#include "core/settings.h"
#include "win32/details_window.h"
#include "win32/timer_window.h"

namespace wine {

std::string moduleFolder()
{
    char path[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    const std::string text(path, length);
    return text.substr(0, text.rfind('\\') + 1);
}

std::string dataFilePath() { return moduleFolder() + "Tq.dat"; }

std::vector<uint8_t> fileBytes(const std::string& path)
{
    std::vector<uint8_t> bytes;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return bytes;
    int c;
    while ((c = std::fgetc(file)) != EOF)
        bytes.push_back(static_cast<uint8_t>(c));
    std::fclose(file);
    return bytes;
}

bool writeFileBytes(const std::string& path, const void* data, size_t size)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    const bool whole = size == 0 || std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && whole;
}

std::vector<uint8_t> logImage(const std::vector<ConnectionRecord>& records, int32_t storedCount,
                              const CounterBlock& totals)
{
    std::vector<uint8_t> bytes(kHeaderSize + kRecordSize * records.size(), 0);
    encodeCounterBlock(totals, bytes.data());
    putI32(bytes.data() + kRecordCountOffset, storedCount);
    for (size_t i = 0; i < records.size(); ++i)
        encodeRecord(records[i], bytes.data() + recordOffset(static_cast<int64_t>(i)));
    return bytes;
}

bool ScratchFolder::enter(const char* name)
{
    leave();
    GetCurrentDirectoryA(sizeof previous_, previous_);
    char temp[MAX_PATH + 1] = {};
    GetTempPathA(MAX_PATH, temp);
    char folder[MAX_PATH + 64];
    std::snprintf(folder, sizeof folder, "%s%s-%lu", temp, name, GetCurrentProcessId());
    path_ = folder;
    // What a crashed earlier run left must not show in this one.
    remove();
    return CreateDirectoryA(path_.c_str(), nullptr) && SetCurrentDirectoryA(path_.c_str());
}

void ScratchFolder::leave()
{
    if (path_.empty())
        return;
    SetCurrentDirectoryA(previous_);
    remove();
    path_.clear();
}

void ScratchFolder::remove()
{
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA((path_ + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
                const std::string file = path_ + "\\" + found.cFileName;
                SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(file.c_str());
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(path_.c_str());
}

SystemTime localNow()
{
    SYSTEMTIME t;
    GetLocalTime(&t);
    return SystemTime{t.wYear, t.wMonth, t.wDayOfWeek, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

SystemTime monthsBefore(unsigned back, unsigned yearsBack)
{
    const SystemTime now = localNow();
    int month = now.wMonth - static_cast<int>(back);
    int year = now.wYear - static_cast<int>(yearsBack);
    while (month < 1) {
        month += 12;
        --year;
    }
    return SystemTime{static_cast<uint16_t>(year), static_cast<uint16_t>(month), 0, 1, 10, 20, 30, 0};
}

void deleteKeyTree(HKEY root, const std::string& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    // Names first, deletions after: deleting while enumerating shifts the indexes.
    std::vector<std::string> children;
    char name[256];
    DWORD length = sizeof name;
    for (DWORD index = 0; RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
         ++index, length = sizeof name)
        children.emplace_back(name);
    RegCloseKey(key);
    for (const std::string& child : children)
        deleteKeyTree(root, path + "\\" + child);
    RegDeleteKeyA(root, path.c_str());
}

bool keyExists(HKEY root, const char* path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

std::vector<uint8_t> registryValue(HKEY root, const char* path, const char* name, DWORD* type, bool* found)
{
    if (found != nullptr)
        *found = false;
    std::vector<uint8_t> bytes;
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return bytes;
    DWORD size = 0;
    LONG result = RegQueryValueExA(key, name, nullptr, type, nullptr, &size);
    if (result == ERROR_SUCCESS) {
        bytes.resize(size);
        result = RegQueryValueExA(key, name, nullptr, type, bytes.data(), &size);
        bytes.resize(result == ERROR_SUCCESS ? size : 0);
    }
    RegCloseKey(key);
    if (found != nullptr)
        *found = result == ERROR_SUCCESS;
    return bytes;
}

bool setRegistryValue(HKEY root, const char* path, const char* name, DWORD type, const void* data, size_t size)
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    const LONG result =
        RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), static_cast<DWORD>(size));
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

void deleteRegistryValue(HKEY root, const char* path, const char* name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
        RegDeleteValueA(key, name);
        RegCloseKey(key);
    }
}

void deleteRunValue() { deleteRegistryValue(HKEY_LOCAL_MACHINE, kRunKey, "Tolvar"); }

void freshPlacementKey()
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kPlacementKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) ==
        ERROR_SUCCESS) {
        RegDeleteValueA(key, "Place");
        RegCloseKey(key);
    }
}

void forgetEarlierRuns()
{
    deleteKeyTree(HKEY_CURRENT_USER, kVeskKey);
    deleteRunValue();
    deleteKeyTree(HKEY_LOCAL_MACHINE, kUninstallKey);
    DeleteFileA(dataFilePath().c_str());
}

void zeroRecords()
{
    accounting.liveConnection = LiveConnection{};
    accounting.counterBlock = CounterBlock{};
    accounting.monthStamp = SystemTime{};
    accounting.recordCount = 0;
    settings.block = SettingsBlock{};
    settings.extra = SettingsExtra{};
}

bool startApplication()
{
    shell.instance = GetModuleHandleA(nullptr);
    zeroRecords();
    return initApplication();
}

void endApplication()
{
    if (shell.timerWindow != nullptr && IsWindow(shell.timerWindow))
        DestroyWindow(shell.timerWindow);
    if (details.window != nullptr && IsWindow(details.window))
        DestroyWindow(details.window);
    if (shell.statisticsWindow != nullptr)
        DestroyWindow(shell.statisticsWindow);
    if (shell.trayMenu != nullptr)
        DestroyMenu(shell.trayMenu);
    for (const char* name : {"LinkStatistics", "Counter", "Details"})
        UnregisterClassA(name, shell.instance);
    shell.statisticsWindow = nullptr;
    shell.statisticsMenu = nullptr;
    shell.trayMenu = nullptr;
    pumpMessages(20);
    WPARAM ignored = 0;
    while (quitPosted(ignored)) {
    }
}

void takeAsProgramFolder(const std::string& folder)
{
    std::snprintf(shell.exeDirectory, sizeof shell.exeDirectory, "%s\\", folder.c_str());
}

void useCurrencySymbol(const char* symbol)
{
    std::snprintf(shell.currencySymbol, sizeof shell.currencySymbol, "%s", symbol);
    shell.currencySymbolLength = lstrlenA(shell.currencySymbol) + 1;
}

bool trayItemGrayed(UINT command) { return (GetMenuState(shell.trayMenu, command, MF_BYCOMMAND) & MF_GRAYED) != 0; }

void drainMessages()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

void pumpMessages(DWORD milliseconds)
{
    const DWORD start = GetTickCount();
    do {
        drainMessages();
        Sleep(5);
    } while (GetTickCount() - start < milliseconds);
}

bool quitPosted(WPARAM& code)
{
    MSG message;
    if (!PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE))
        return false;
    code = message.wParam;
    return true;
}

bool registerWindowClass(const char* name, WNDPROC procedure, UINT style, HBRUSH background, HICON icon,
                         HCURSOR cursor, const char* menu)
{
    WNDCLASSA windowClass = {};
    windowClass.style = style;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hIcon = icon;
    windowClass.hCursor = cursor;
    windowClass.hbrBackground = background;
    windowClass.lpszMenuName = menu;
    windowClass.lpszClassName = name;
    return RegisterClassA(&windowClass) != 0;
}

bool registerTimerStripClass()
{
    return registerWindowClass("Counter", timerWindowProc, CS_DBLCLKS, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)),
                               nullptr, LoadCursorA(nullptr, IDC_ARROW));
}

bool registerDetailsClass()
{
    const HBRUSH buttonFace = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    return registerWindowClass("Details", detailsWindowProc, 0, buttonFace,
                               LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_DETAILS)),
                               LoadCursorA(nullptr, IDC_ARROW), MAKEINTRESOURCEA(IDM_DETAILS));
}

void prepareDetailsWindow(int32_t calculateCost)
{
    shell.instance = GetModuleHandleA(nullptr);
    // Registered once per process: later tests find the class taken, which is as good.
    registerDetailsClass();
    freshPlacementKey();
    useCurrencySymbol("$");
    zeroRecords();
    applyDefaultSettings();
    settings.block.calculateCost = calculateCost;
    settings.block.tariffCommon = 60;
    details.filter = All;
}

int detailsRowCount() { return static_cast<int>(SendMessageA(details.list, LVM_GETITEMCOUNT, 0, 0)); }

std::string windowText(HWND window)
{
    // Room for the text the length promises; the text itself may turn out shorter.
    std::string text(static_cast<size_t>(GetWindowTextLengthA(window)) + 1, '\0');
    text.resize(static_cast<size_t>(GetWindowTextA(window, &text[0], static_cast<int>(text.size()))));
    return text;
}

std::string classNameOf(HWND window)
{
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

void typeKeys(HWND edit, const char* keys, Typing where)
{
    SetFocus(edit);
    if (where == Typing::OverText)
        SendMessageA(edit, EM_SETSEL, 0, -1);
    for (const char* key = keys; *key; ++key)
        SendMessageA(edit, WM_CHAR, static_cast<unsigned char>(*key), 1);
}

HWND findOwnedBox(HWND owner)
{
    HWND box = nullptr;
    while ((box = FindWindowExA(nullptr, box, "#32770", nullptr)) != nullptr)
        if (GetWindow(box, GW_OWNER) == owner && IsWindowVisible(box))
            return box;
    return nullptr;
}

namespace {

struct ThreadBoxSearch {
    const std::function<bool(HWND)>& accept;
    HWND found;
};

BOOL CALLBACK takeAcceptedBox(HWND window, LPARAM context)
{
    ThreadBoxSearch& search = *reinterpret_cast<ThreadBoxSearch*>(context);
    if (classNameOf(window) != "#32770" || !IsWindowVisible(window) || !search.accept(window))
        return TRUE;
    search.found = window;
    return FALSE;
}

} // namespace

HWND findThreadBox(DWORD thread, const std::function<bool(HWND)>& accept)
{
    ThreadBoxSearch search{accept, nullptr};
    EnumThreadWindows(thread, takeAcceptedBox, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND waitForOwnedBox(HWND owner)
{
    for (int wait = 0; wait < 500; ++wait) {
        if (HWND box = findOwnedBox(owner))
            return box;
        Sleep(10);
    }
    return nullptr;
}

namespace {

// The icon of the box's icon static: message boxes give that static different ids on different systems.
HICON boxIcon(HWND box)
{
    for (HWND child = GetWindow(box, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        if (lstrcmpiA(classNameOf(child).c_str(), "Static") == 0 &&
            (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
            return reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
    }
    return nullptr;
}

} // namespace

BoxSeen readMessageBox(HWND box)
{
    BoxSeen seen;
    seen.found = true;
    seen.caption = windowText(box);
    seen.text = windowText(GetDlgItem(box, kMessageBoxText));
    seen.yes = GetDlgItem(box, IDYES) != nullptr;
    seen.no = GetDlgItem(box, IDNO) != nullptr;
    seen.okOrCancel = GetDlgItem(box, IDOK) != nullptr || GetDlgItem(box, IDCANCEL) != nullptr;
    for (int id : {IDOK, IDCANCEL, IDYES, IDNO})
        if (HWND button = GetDlgItem(box, id))
            if ((GetWindowLongA(button, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
                seen.defaultButton = id;
    seen.icon = boxIcon(box);
    return seen;
}

BoxSeen answerOwnedBox(HWND owner, int answer, const std::function<void()>& open)
{
    BoxSeen seen;
    std::thread watcher([&] {
        const HWND box = waitForOwnedBox(owner);
        if (box == nullptr)
            return;
        seen = readMessageBox(box);
        SendMessageA(GetDlgItem(box, answer), BM_CLICK, 0, 0);
    });
    open();
    watcher.join();
    return seen;
}

MessageBoxWatcher::MessageBoxWatcher(HWND owner, int answer)
    : owner_(owner), answer_(answer), thread_([this] { watch(); })
{
}

void MessageBoxWatcher::stop()
{
    running_ = false;
    if (thread_.joinable())
        thread_.join();
}

std::vector<std::string> MessageBoxWatcher::seen()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return seen_;
}

void MessageBoxWatcher::watch()
{
    // A pressed box stays a while before it goes: it is noted and pressed once.
    HWND lastPressed = nullptr;
    while (running_) {
        const HWND box = findOwnedBox(owner_);
        if (box != nullptr && box != lastPressed) {
            const BoxSeen shown = readMessageBox(box);
            {
                std::lock_guard<std::mutex> lock(mutex_);
                seen_.push_back(shown.caption + "|" + shown.text);
            }
            lastPressed = box;
            PostMessageA(GetDlgItem(box, answer_), BM_CLICK, 0, 0);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

} // namespace wine
