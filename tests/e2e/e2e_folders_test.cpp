// The real program in folders the code page cannot spell, beyond MAX_PATH, on a read-only medium; one writer a folder.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "res/resource.h"
#include "tests/e2e/real_program.h"

using namespace e2e;
using namespace kit;

namespace {

std::wstring temporaryFolder()
{
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH, temp);
    return temp;
}

// The form the wide calls take at any length.
std::wstring asked(const std::wstring& path) { return path.size() < MAX_PATH ? path : L"\\\\?\\" + path; }

bool exists(const std::wstring& path) { return GetFileAttributesW(asked(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

std::wstring runValue()
{
    wchar_t value[1024] = {};
    DWORD size = sizeof value - sizeof value[0];
    HKEY key = nullptr;
    const wchar_t run[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, run, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        RegQueryValueExW(key, L"Tolvar", nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size);
        RegCloseKey(key);
    }
    return value;
}

// A first run of Tolvar.exe copied into `folder` (made with its parents), started from the temporary folder with
// LANG=C.UTF-8 so that Wine reads the Unix path's bytes as UTF-8: the data file is made beside the program and the
// Run value names it. Wine starts no program by a path beyond MAX_PATH; as on Windows, its short form does.
void firstRunIn(const std::wstring& folder)
{
    forgetProgramRegistry();
    leaveWindowsUnmanaged("Tolvar.exe");
    std::vector<std::wstring> made;
    for (size_t slash = folder.find(L'\\', 3); slash != std::wstring::npos; slash = folder.find(L'\\', slash + 1))
        if (CreateDirectoryW(asked(folder.substr(0, slash)).c_str(), nullptr))
            made.push_back(folder.substr(0, slash));
    if (!exists(folder))
        GTEST_SKIP() << "Wine names Unix files in this process's locale, which lacks these letters: run with LANG=C.UTF-8";
    const std::string exe = std::string("Z:") + TOLVAR_EXE, service = std::string("Z:") + RASAPI32_SIM;
    // In such a folder the service finds no control file (it looks through the ANSI calls): no connection.
    ASSERT_TRUE(CopyFileW(std::wstring(exe.begin(), exe.end()).c_str(), asked(folder + L"Tolvar.exe").c_str(), 0));
    ASSERT_TRUE(CopyFileW(std::wstring(service.begin(), service.end()).c_str(),
                          asked(folder + L"rasapi32.dll").c_str(), FALSE));

    // The program inherits this process's environment.
    SetEnvironmentVariableW(L"LC_ALL", nullptr);
    SetEnvironmentVariableW(L"LANG", L"C.UTF-8");
    wchar_t started[1024] = {};
    if (folder.size() + 10 < MAX_PATH || GetShortPathNameW(asked(folder + L"Tolvar.exe").c_str(), started, 1024) == 0)
        wcsncpy(started, (folder + L"Tolvar.exe").c_str(), 1023);
    std::wstring commandLine = L"\"" + folder + L"Tolvar.exe\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    Program program;
    ASSERT_TRUE(CreateProcessW(started, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                               temporaryFolder().c_str(), &startup, &program.process));
    program.mainWindow = waitForWindowOf(program.process.dwProcessId, "LinkStatistics");
    WaitForInputIdle(program.process.hProcess, 10000);

    EXPECT_TRUE(waitUntil([&] { return exists(folder + L"Tq.dat"); })) << "no data file beside the program";
    EXPECT_FALSE(exists(temporaryFolder() + L"Tq.dat")) << "a data file where the program was started from";
    const std::wstring run = runValue();
    EXPECT_TRUE(run == folder + L"Tolvar.exe" || (folder.size() >= MAX_PATH && L"\\\\?\\" + run == started))
        << "the Run value names another file";
    EXPECT_EQ(1u, exitThroughMenu(program));
    stopProgram(program);
    for (const wchar_t* name : {L"Tolvar.exe", L"rasapi32.dll", L"Tq.dat", L"Tq.jnl", L"Tq.new"})
        DeleteFileW(asked(folder + name).c_str());
    for (auto level = made.rbegin(); level != made.rend(); ++level)
        RemoveDirectoryW(asked(*level).c_str());
    forgetProgramRegistry();
}

TEST(AnyFolder, PolishAndCyrillicLettersTheCodePageLacks)
{
    firstRunIn(temporaryFolder() + L"Tolvar \x141\xF3\x64\x17A \x41C\x43E\x441\x43A\x432\x430\\");
}

TEST(AnyFolder, BeyondMaxPath)
{
    std::wstring folder = temporaryFolder() + L"tolvar-deep-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
    while (folder.size() < MAX_PATH + 40)
        folder += std::wstring(49, L'd') + L"\\";
    firstRunIn(folder);
}

// The name the program holds for its data folder, worked out as another build or version of it must: FNV-1a over
// the UTF-16 units of the folder's long path in capitals, with its trailing backslash.
std::wstring dataFolderName(const std::string& folder)
{
    wchar_t path[1024] = {};
    GetLongPathNameW(std::wstring(folder.begin(), folder.end()).c_str(), path, 1024);
    CharUpperW(path);
    uint64_t hash = 0xcbf29ce484222325ull;
    for (const wchar_t* unit = path; *unit != L'\0'; ++unit)
        hash = (hash ^ static_cast<uint16_t>(*unit)) * 0x100000001b3ull;
    std::wstring name = L"Global\\Tolvar-";
    for (int shift = 60; shift >= 0; shift -= 4)
        name += L"0123456789abcdef"[(hash >> shift) & 0xF];
    return name;
}

TEST(AnyFolder, AStartFindingItsDataFolderHeldInAnotherSessionEndsAtOnceTouchingNothing)
{
    const std::unique_ptr<InstallFolder> install = freshInstallForThisTest("held-");
    // Wine has one session: this process holds the name as a first instance in another session would.
    const HANDLE held = CreateMutexW(nullptr, FALSE, dataFolderName(install->path()).c_str());
    Program program = startProgram(install->path(), false);
    EXPECT_EQ(1u, waitForExit(program, 10000));
    CloseHandle(held);
    stopProgram(program);
    EXPECT_FALSE(fileExists(install->dataFile()));
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, kVeskKey));
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, kUninstallKey));

    // Released, the folder is the next start's.
    program = startProgram(install->path());
    ASSERT_NE(nullptr, program.mainWindow);
    EXPECT_EQ(1u, exitThroughMenu(program));
    stopProgram(program);
}

} // namespace

namespace {

// The user's local application data, as the shell names it.
std::string localAppData()
{
    using FolderPath = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPSTR);
    const HMODULE shell = LoadLibraryA("shell32.dll");
    char path[MAX_PATH + 1] = {};
    const auto folderPath =
        reinterpret_cast<FolderPath>(reinterpret_cast<void*>(GetProcAddress(shell, "SHGetFolderPathA")));
    if (folderPath != nullptr)
        folderPath(nullptr, 0x001c, nullptr, 0, path);
    FreeLibrary(shell);
    return path;
}

// The program's folder on a memory file system of its own made read-only before the first start, as a CD or a
// write-protected stick is; the simulated service's control file lies outside it, linked in.
class ReadOnlyMedium : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::string id = std::to_string(GetCurrentProcessId());
        mountPoint = buildFolder() + "/e2e-ro-medium-" + id;
        serviceFolder = buildFolder() + "/e2e-ro-service-" + id;
        mounted = unixShell("mkdir -p " + mountPoint + " " + serviceFolder + " && mount -t tmpfs -o size=1m tmpfs " +
                            mountPoint + " && ln -s " + serviceFolder + "/ras.txt " + mountPoint + "/ras.txt") == 0;
        if (!mounted)
            GTEST_SKIP() << "no tmpfs of its own can be mounted here";
        folder = windowsPath(mountPoint) + "\\";
        service = windowsPath(serviceFolder) + "\\";
        perUser = localAppData() + "\\VirtualStore\\" + folder.substr(3);
        forgetProgramRegistry();
        leaveWindowsUnmanaged("Tolvar.exe");
        ASSERT_TRUE(CopyFileA(windowsPath(TOLVAR_EXE).c_str(), (folder + "Tolvar.exe").c_str(), FALSE));
        ASSERT_TRUE(CopyFileA(windowsPath(RASAPI32_SIM).c_str(), (folder + "rasapi32.dll").c_str(), FALSE));
        ASSERT_EQ(0, unixShell("mount -o remount,ro " + mountPoint));
    }

    void TearDown() override
    {
        stopProgram(program);
        if (!mounted)
            return;
        unixShell("umount -l " + mountPoint + "; rmdir " + mountPoint + "; rm -rf " + serviceFolder);
        for (const char* name : {"Tq.dat", "Tq.jnl", "Tq.new"})
            DeleteFileA((perUser + name).c_str());
        RemoveDirectoryA(perUser.c_str());
        forgetProgramRegistry();
    }

    std::string mountPoint, serviceFolder, folder, service, perUser;
    bool mounted = false;
    Program program;
};

TEST_F(ReadOnlyMedium, KeepsTheFiguresInTheUsersVirtualStoreSaysSoOnceAndShowsThemAfterARestart)
{
    // Watched from the process's start: the box comes as soon as the tray icon is there.
    program = startProgram(folder, false);
    BoxAnswerer told(program.process.dwProcessId, {{"Tolvar 2.2", "", IDOK}});
    program.mainWindow = waitForWindowOf(program.process.dwProcessId, "LinkStatistics");
    ASSERT_NE(nullptr, program.mainWindow);
    const std::vector<BoxSeen> seen = told.finish(10000);
    ASSERT_EQ(1u, seen.size());
    EXPECT_NE(std::string::npos, seen[0].text.find(folder)) << seen[0].text;
    EXPECT_NE(std::string::npos, seen[0].text.find("Your figures are kept in\n" + perUser)) << seen[0].text;
    ASSERT_TRUE(waitUntil([&] { return fileBytes(perUser + "Tq.dat").size() >= 64; }, 5000)) << perUser;

    setService(service, 1, "connected");
    Sleep(2300);
    clearService(service);
    ASSERT_TRUE(waitUntil([&] { return fileBytes(perUser + "Tq.dat").size() == 132; }, 5000));
    EXPECT_FALSE(fileExists(folder + "Tq.dat"));
    EXPECT_EQ(1u, exitThroughMenu(program));
    stopProgram(program);

    // Said once: the next start opens no box, and its windows show the stored connection.
    program = startProgram(folder);
    ASSERT_NE(nullptr, program.mainWindow);
    BoxAnswerer none(program.process.dwProcessId, {});
    PostMessageA(program.mainWindow, WM_COMMAND, IDC_TRAY_SHOW_STATISTICS, 0);
    EXPECT_TRUE(waitUntil([&] { return IsWindowVisible(program.mainWindow) != FALSE; }, 5000));
    const HWND details = openDetailsList(program);
    ASSERT_NE(nullptr, details);
    EXPECT_EQ(1, listRows(details));
    none.finish(1500);
    EXPECT_EQ(1u, exitThroughMenu(program));
    EXPECT_EQ(132u, fileBytes(perUser + "Tq.dat").size());
}

} // namespace
