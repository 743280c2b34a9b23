// Starts and drives the real program and its simulated remote-access service.
#include "tests/e2e/real_program.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "res/resource.h"

namespace e2e {

std::string windowsPath(const std::string& linuxPath)
{
    std::string path = "Z:";
    for (const char c : linuxPath)
        path += c == '/' ? '\\' : c;
    return path;
}

std::string buildFolder()
{
    const std::string exe = TOLVAR_EXE;
    return exe.substr(0, exe.rfind('/'));
}

int unixShell(const std::string& command, DWORD milliseconds)
{
    // Wine starts a Unix program itself and gives no handle to wait on: the shell leaves its status in a file.
    static int steps = 0;
    const std::string status =
        buildFolder() + "/unix-step-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++steps);
    const std::string windowsStatus = windowsPath(status);
    DeleteFileA(windowsStatus.c_str());
    std::string line = "/bin/sh -c \"(" + command + ") >/dev/null 2>&1; echo $? >" + status + ".tmp; mv " + status +
                       ".tmp " + status + "\"";
    std::vector<char> mutableLine(line.begin(), line.end());
    mutableLine.push_back('\0');
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA("Z:\\bin\\sh", mutableLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return -1;
    if (process.hProcess != nullptr)
        CloseHandle(process.hProcess);
    if (process.hThread != nullptr)
        CloseHandle(process.hThread);
    if (!kit::waitUntil([&] { return kit::fileExists(windowsStatus); }, milliseconds))
        return -1;
    const int code = std::atoi(kit::fileText(windowsStatus).c_str());
    DeleteFileA(windowsStatus.c_str());
    return code;
}

InstallFolder::InstallFolder(const std::string& name)
{
    folder_.enter("tolvar-e2e-" + name);
    path_ = folder_.path() + "\\";
    CopyFileA(windowsPath(TOLVAR_EXE).c_str(), (path_ + "Tolvar.exe").c_str(), FALSE);
    CopyFileA(windowsPath(RASAPI32_SIM).c_str(), (path_ + "rasapi32.dll").c_str(), FALSE);
}

std::unique_ptr<InstallFolder> freshInstallForThisTest(const std::string& prefix)
{
    kit::forgetProgramRegistry();
    kit::leaveWindowsUnmanaged("Tolvar.exe");
    // A parameterised test's name holds a '/', which a folder name cannot.
    std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    for (char& c : name)
        if (c == '/')
            c = '_';
    return std::make_unique<InstallFolder>(prefix + name);
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
        program.mainWindow = kit::waitForWindowOf(program.process.dwProcessId, "LinkStatistics");
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
    kit::BoxAnswerer boxes(program.process.dwProcessId, {{"Tolvar 2.2", "", IDYES}});
    PostMessageA(program.mainWindow, WM_COMMAND, IDC_TRAY_EXIT, 0);
    if (boxes.finish(10000).empty())
        return STILL_ACTIVE;
    return waitForExit(program, 10000);
}

bool firstStartAndExit(const std::string& folder)
{
    Program program = startProgram(folder);
    const bool ok = program.mainWindow != nullptr && exitThroughMenu(program) == 1;
    stopProgram(program);
    return ok;
}

namespace {

BOOL CALLBACK countTrayIcon(HWND child, LPARAM context)
{
    if (kit::classNameOf(child) == "__winex11_tray_icon" && IsWindowVisible(child))
        ++*reinterpret_cast<int*>(context);
    return TRUE;
}

BOOL CALLBACK countTrayIcons(HWND window, LPARAM context)
{
    const std::string name = kit::classNameOf(window);
    if (name == "__winex11_standalone_tray" || name == "Shell_TrayWnd")
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

bool connectionOf(const std::string& folder, DWORD milliseconds)
{
    const std::string dataFile = folder + "Tq.dat";
    const kit::Bytes before = kit::fileBytes(dataFile);
    setService(folder, 1, "connected");
    Sleep(milliseconds);
    clearService(folder);
    if (!kit::waitUntil([&] { return kit::fileBytes(dataFile) != before; }, 3000))
        return false;
    // The count, the record and the totals are three writes: wait until the last has landed.
    kit::Bytes last = kit::fileBytes(dataFile);
    for (int settled = 0; settled < 20; ++settled) {
        Sleep(150);
        kit::Bytes now = kit::fileBytes(dataFile);
        if (now == last)
            break;
        last = now;
    }
    return true;
}

HWND openDetailsList(const Program& program)
{
    PostMessageA(program.mainWindow, WM_COMMAND, IDC_STATISTICS_DETAILS_ALL, 0);
    const HWND details = kit::waitForWindowOf(program.process.dwProcessId, "Details", nullptr, 5000);
    // Found while it is being created; it is shown once its creation and first fill are done.
    kit::waitUntil([&] { return IsWindowVisible(details) != FALSE; }, 5000);
    return details;
}

int listRows(HWND details)
{
    const HWND list = FindWindowExA(details, nullptr, WC_LISTVIEWA, nullptr);
    if (list == nullptr)
        return -1;
    return static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
}

std::string exportAll(const Program& program, HWND details, const std::string& path)
{
    kit::BoxAnswerer boxes(program.process.dwProcessId,
                           {{"Save connection data", "", IDOK, path, nullptr, {{"No data", "", IDOK}}}});
    PostMessageA(details, WM_COMMAND, IDC_DETAILS_SAVE_ALL, 0);
    const std::vector<kit::BoxSeen> seen = boxes.finish(5000);
    if (seen.empty())
        return "";
    return seen[0].caption == "No data" ? seen[0].caption + "|" + seen[0].text : "saved";
}

std::string clearUntilCurrentMonth(const Program& program, HWND details)
{
    kit::BoxAnswerer boxes(program.process.dwProcessId, {{"Clear?", "", IDYES}});
    PostMessageA(details, WM_COMMAND, IDC_DETAILS_CLEAR_UNTIL_CURRENT_MONTH, 0);
    const std::vector<kit::BoxSeen> seen = boxes.finish(5000);
    return seen.empty() ? "" : seen[0].caption + "|" + seen[0].text;
}

} // namespace e2e
