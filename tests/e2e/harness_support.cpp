// The end-to-end harness: starts and drives the real program and reads what it leaves behind.
#include "tests/e2e/harness.h"

#include <shlwapi.h>

#include <cstdio>
#include <cstring>

#include "res/resource.h"

namespace e2e {

namespace {

constexpr int kMessageBoxText = 0xFFFF; // the id of a message box's text static

} // namespace

std::string windowsPath(const char* linuxPath)
{
    std::string path = "Z:";
    for (const char* p = linuxPath; *p != '\0'; ++p)
        path += *p == '/' ? '\\' : *p;
    return path;
}

static void emptyFolder(const std::string& folder)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
            continue;
        const std::string path = folder + found.cFileName;
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

std::string makeInstallFolder(const char* name)
{
    char temp[MAX_PATH + 1] = {};
    GetTempPathA(sizeof temp, temp);
    std::string folder = std::string(temp) + "tolvar-e2e\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    folder += name;
    folder += "\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    emptyFolder(folder);
    CopyFileA(windowsPath(TOLVAR_EXE).c_str(), (folder + "Tolvar.exe").c_str(), FALSE);
    CopyFileA(windowsPath(RASAPI32_SIM).c_str(), (folder + "rasapi32.dll").c_str(), FALSE);
    return folder;
}

void setService(const std::string& folder, int connections, const char* state)
{
    // Written whole and renamed into place, so the service never reads a half-written file.
    const std::string path = folder + "ras.txt";
    const std::string temporary = folder + "ras.tmp";
    FILE* file = std::fopen(temporary.c_str(), "w");
    if (file == nullptr)
        return;
    std::fprintf(file, "connections=%d\nstate=%s\n", connections, state);
    std::fclose(file);
    MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

void clearService(const std::string& folder) { DeleteFileA((folder + "ras.txt").c_str()); }

void deleteProgramRegistry()
{
    SHDeleteKeyA(HKEY_CURRENT_USER, "Software\\Vesk");
    SHDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tolvar");
    HKEY run;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", 0, KEY_SET_VALUE,
                      &run) == ERROR_SUCCESS) {
        RegDeleteValueA(run, "Tolvar");
        RegCloseKey(run);
    }
}

Program startProgram(const std::string& folder, bool waitForWindow)
{
    Program program;
    const std::string exe = folder + "Tolvar.exe";
    std::string commandLine = "\"" + exe + "\"";
    std::vector<char> mutableLine(commandLine.begin(), commandLine.end());
    mutableLine.push_back('\0');
    char temp[MAX_PATH + 1] = {};
    GetTempPathA(sizeof temp, temp);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    // Started from another folder, so that the program has to find its own.
    if (!CreateProcessA(exe.c_str(), mutableLine.data(), nullptr, nullptr, FALSE, 0, nullptr, temp, &startup,
                        &program.process))
        return program;
    if (waitForWindow) {
        program.mainWindow = waitForWindowOf(program.process.dwProcessId, "LinkStatistics");
        // The window exists while its creation still runs the start-up sequence; wait for the message loop.
        WaitForInputIdle(program.process.hProcess, 10000);
    }
    return program;
}

DWORD waitForExit(Program& program, DWORD milliseconds)
{
    if (program.process.hProcess == nullptr)
        return STILL_ACTIVE;
    WaitForSingleObject(program.process.hProcess, milliseconds);
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(program.process.hProcess, &code);
    return code;
}

void stopProgram(Program& program)
{
    if (program.process.hProcess == nullptr)
        return;
    if (waitForExit(program, 0) == STILL_ACTIVE) {
        TerminateProcess(program.process.hProcess, 99);
        WaitForSingleObject(program.process.hProcess, 5000);
    }
    CloseHandle(program.process.hProcess);
    CloseHandle(program.process.hThread);
    program = Program{};
}

DWORD exitThroughMenu(Program& program)
{
    PostMessageA(program.mainWindow, WM_COMMAND, IDC_TRAY_EXIT, 0);
    const MessageBoxInfo box = waitForMessageBox(program.process.dwProcessId);
    if (box.window == nullptr)
        return STILL_ACTIVE;
    pressButton(box.window, IDYES);
    return waitForExit(program, 10000);
}

namespace {

struct WindowSearch {
    DWORD processId;
    const char* className;
    const char* title;
    HWND found;
};

BOOL CALLBACK matchWindow(HWND window, LPARAM context)
{
    WindowSearch* search = reinterpret_cast<WindowSearch*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId)
        return TRUE;
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    if (std::strcmp(name, search->className) != 0)
        return TRUE;
    if (search->title != nullptr) {
        char title[256] = {};
        GetWindowTextA(window, title, sizeof title);
        if (std::strcmp(title, search->title) != 0)
            return TRUE;
    }
    search->found = window;
    return FALSE;
}

} // namespace

HWND findWindowOf(DWORD processId, const char* className, const char* title)
{
    WindowSearch search{processId, className, title, nullptr};
    EnumWindows(matchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND waitForWindowOf(DWORD processId, const char* className, const char* title, DWORD milliseconds)
{
    HWND window = nullptr;
    waitUntil([&] { return (window = findWindowOf(processId, className, title)) != nullptr; }, milliseconds);
    return window;
}

bool waitForNoWindowOf(DWORD processId, const char* className, DWORD milliseconds)
{
    return waitUntil([&] { return findWindowOf(processId, className) == nullptr; }, milliseconds);
}

namespace {

BOOL CALLBACK countTrayIcon(HWND child, LPARAM context)
{
    char name[64] = {};
    GetClassNameA(child, name, sizeof name);
    if (std::strcmp(name, "__winex11_tray_icon") == 0 && IsWindowVisible(child))
        ++*reinterpret_cast<int*>(context);
    return TRUE;
}

BOOL CALLBACK countTrayIcons(HWND window, LPARAM context)
{
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    if (std::strcmp(name, "__winex11_standalone_tray") == 0 || std::strcmp(name, "Shell_TrayWnd") == 0)
        EnumChildWindows(window, countTrayIcon, context);
    return TRUE;
}

} // namespace

int trayIconCount()
{
    int count = 0;
    EnumWindows(countTrayIcons, reinterpret_cast<LPARAM>(&count));
    return count;
}

namespace {

BOOL CALLBACK collectButton(HWND child, LPARAM context)
{
    MessageBoxInfo* info = reinterpret_cast<MessageBoxInfo*>(context);
    char name[32] = {};
    GetClassNameA(child, name, sizeof name);
    if (lstrcmpiA(name, "Button") != 0 || !IsWindowVisible(child))
        return TRUE;
    const int id = GetDlgCtrlID(child);
    info->buttons.push_back(id);
    if ((GetWindowLongA(child, GWL_STYLE) & 0x0F) == BS_DEFPUSHBUTTON)
        info->defaultButton = id;
    return TRUE;
}

} // namespace

MessageBoxInfo waitForMessageBox(DWORD processId, DWORD milliseconds)
{
    MessageBoxInfo info;
    info.window = waitForWindowOf(processId, "#32770", nullptr, milliseconds);
    if (info.window == nullptr)
        return info;
    // The box fills its controls while it is created; wait until its text is there.
    waitUntil([&] { return GetDlgItem(info.window, kMessageBoxText) != nullptr; }, 2000);
    char text[1024] = {};
    GetDlgItemTextA(info.window, kMessageBoxText, text, sizeof text);
    info.text = text;
    char caption[256] = {};
    GetWindowTextA(info.window, caption, sizeof caption);
    info.caption = caption;
    EnumChildWindows(info.window, collectButton, reinterpret_cast<LPARAM>(&info));
    return info;
}

void pressButton(HWND box, int id)
{
    HWND button = GetDlgItem(box, id);
    PostMessageA(button, BM_CLICK, 0, 0);
}

bool answerBox(HWND box, int id, DWORD milliseconds)
{
    pressButton(box, id);
    return waitUntil([&] { return !IsWindow(box); }, milliseconds);
}

std::vector<uint8_t> readFileBytes(const std::string& path)
{
    std::vector<uint8_t> bytes;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return bytes;
    const DWORD size = GetFileSize(file, nullptr);
    bytes.resize(size);
    DWORD read = 0;
    if (size > 0)
        ReadFile(file, bytes.data(), size, &read, nullptr);
    bytes.resize(read);
    CloseHandle(file);
    return bytes;
}

bool writeBytes(const std::string& path, const std::vector<uint8_t>& bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok = bytes.empty() ||
                    (WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                     written == bytes.size());
    CloseHandle(file);
    return ok;
}

bool fileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool readRegistryValue(HKEY root, const char* key, const char* name, std::vector<uint8_t>& data, DWORD* type)
{
    HKEY opened;
    if (RegOpenKeyExA(root, key, 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS)
        return false;
    DWORD size = 0;
    DWORD valueType = 0;
    LONG result = RegQueryValueExA(opened, name, nullptr, &valueType, nullptr, &size);
    if (result == ERROR_SUCCESS) {
        data.resize(size);
        result = RegQueryValueExA(opened, name, nullptr, &valueType, data.data(), &size);
        data.resize(size);
    }
    RegCloseKey(opened);
    if (type != nullptr)
        *type = valueType;
    return result == ERROR_SUCCESS;
}

bool setUserValue(const char* key, const char* name, DWORD type, const std::vector<uint8_t>& bytes)
{
    HKEY opened;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &opened, nullptr) !=
        ERROR_SUCCESS)
        return false;
    const LONG result = RegSetValueExA(opened, name, 0, type, bytes.data(), static_cast<DWORD>(bytes.size()));
    RegCloseKey(opened);
    return result == ERROR_SUCCESS;
}

bool registryKeyExists(HKEY root, const char* key)
{
    HKEY opened;
    if (RegOpenKeyExA(root, key, 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS)
        return false;
    RegCloseKey(opened);
    return true;
}

CounterBlock fileCounters(const std::vector<uint8_t>& bytes)
{
    CounterBlock counters{};
    if (bytes.size() >= kCounterBlockSize)
        counters = decodeCounterBlock(bytes.data());
    return counters;
}

int32_t fileRecordCount(const std::vector<uint8_t>& bytes)
{
    if (bytes.size() < kRecordCountOffset + kRecordCountSize)
        return -1;
    return getI32(bytes.data() + kRecordCountOffset);
}

ConnectionRecord fileRecord(const std::vector<uint8_t>& bytes, int index)
{
    ConnectionRecord record{};
    const uint64_t offset = recordOffset(index);
    if (offset + kRecordSize <= bytes.size())
        record = decodeRecord(bytes.data() + offset);
    return record;
}

} // namespace e2e
