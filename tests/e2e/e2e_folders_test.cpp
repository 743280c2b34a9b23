// The real program in any folder Windows allows (letters the ANSI code page lacks, paths beyond MAX_PATH) and
// one writer per data folder across sessions.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "tests/e2e/real_program.h"

using namespace e2e;
using namespace kit;

namespace {

// Polish and Cyrillic letters, which code page 1252 lacks.
const wchar_t kPolishCyrillic[] = L"Tolvar \x141\xF3\x64\x17A \x41C\x43E\x441\x43A\x432\x430";

std::wstring temporaryFolder()
{
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH, temp);
    return temp;
}

std::wstring linuxFileAsWindows(const char* linuxPath)
{
    std::wstring path = L"Z:";
    for (const char* p = linuxPath; *p != '\0'; ++p)
        path += *p == '/' ? L'\\' : static_cast<wchar_t>(*p);
    return path;
}

// The form the wide calls take at any length.
std::wstring asked(const std::wstring& path) { return path.size() < MAX_PATH ? path : L"\\\\?\\" + path; }

bool exists(const std::wstring& path) { return GetFileAttributesW(asked(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string narrow(const std::wstring& text)
{
    std::string out;
    for (const wchar_t c : text)
        out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

// An install folder named in wide letters, with its parents, holding Tolvar.exe and the simulated service; removed
// with every file in it at the end.
class WideInstall {
public:
    explicit WideInstall(const std::wstring& folder) : folder_(folder)
    {
        for (size_t slash = folder.find(L'\\', 3); slash != std::wstring::npos;
             slash = folder.find(L'\\', slash + 1)) {
            const std::wstring level = folder.substr(0, slash);
            if (CreateDirectoryW(asked(level).c_str(), nullptr))
                made_.push_back(level);
        }
        CopyFileW(linuxFileAsWindows(TOLVAR_EXE).c_str(), asked(folder + L"Tolvar.exe").c_str(), FALSE);
        // In such a folder the service finds no control file (it looks through the ANSI calls): no connection.
        CopyFileW(linuxFileAsWindows(RASAPI32_SIM).c_str(), asked(folder + L"rasapi32.dll").c_str(), FALSE);
    }
    ~WideInstall()
    {
        WIN32_FIND_DATAW found;
        const HANDLE search = FindFirstFileW(asked(folder_ + L"*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
                    DeleteFileW(asked(folder_ + found.cFileName).c_str());
            } while (FindNextFileW(search, &found));
            FindClose(search);
        }
        for (auto level = made_.rbegin(); level != made_.rend(); ++level)
            RemoveDirectoryW(asked(*level).c_str());
    }
    const std::wstring& folder() const { return folder_; }
    bool ready() const { return exists(folder_ + L"Tolvar.exe"); }

private:
    std::wstring folder_;
    std::vector<std::wstring> made_;
};

// This process's environment with LANG=C.UTF-8, so that Wine reads the Unix path's bytes as UTF-8 in the child.
std::vector<wchar_t> utf8Environment()
{
    std::vector<wchar_t> block;
    const LPWCH strings = GetEnvironmentStringsW();
    for (const wchar_t* entry = strings; *entry != L'\0'; entry += wcslen(entry) + 1) {
        if (wcsncmp(entry, L"LANG=", 5) == 0 || wcsncmp(entry, L"LC_ALL=", 7) == 0)
            continue;
        block.insert(block.end(), entry, entry + wcslen(entry) + 1);
    }
    FreeEnvironmentStringsW(strings);
    const wchar_t lang[] = L"LANG=C.UTF-8";
    block.insert(block.end(), lang, lang + sizeof lang / sizeof lang[0]);
    block.push_back(L'\0');
    return block;
}

// Starts the folder's Tolvar.exe from the temporary folder and waits for its statistics window.
Program startWide(const std::wstring& folder)
{
    Program program;
    const std::wstring exe = folder + L"Tolvar.exe";
    std::wstring commandLine = L"\"" + exe + L"\"";
    std::vector<wchar_t> environment = utf8Environment();
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    const std::wstring launchedFrom = temporaryFolder();
    // Wine starts no program by a path beyond MAX_PATH (plain or "\\?\"); as on Windows, its short form does.
    wchar_t shortExe[1024] = {};
    const std::wstring started =
        exe.size() < MAX_PATH || GetShortPathNameW(asked(exe).c_str(), shortExe, 1024) == 0 ? exe : shortExe;
    if (!CreateProcessW(started.c_str(), &commandLine[0], nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                        environment.data(), launchedFrom.c_str(), &startup, &program.process))
        return program;
    program.mainWindow = waitForWindowOf(program.process.dwProcessId, "LinkStatistics");
    WaitForInputIdle(program.process.hProcess, 10000);
    return program;
}

// The Run value as a wide reader sees it, and its type.
std::wstring runValue(DWORD& type)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return L"";
    wchar_t value[2048] = {};
    DWORD size = sizeof value - sizeof value[0];
    const LONG result =
        RegQueryValueExW(key, L"Tolvar", nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS ? std::wstring(value) : L"";
}

// The uninstall entry's command run as the system would run it; false when there is none or it did not end.
bool runUninstallEntry()
{
    bool found = false;
    const Bytes bytes = registryValue(HKEY_LOCAL_MACHINE, kUninstallKey, "UnInstallString", nullptr, &found);
    if (!found)
        return false;
    std::vector<char> line(bytes.begin(), bytes.end());
    line.push_back('\0');
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    const bool ended = WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0;
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return ended;
}

class AnyFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        forgetProgramRegistry();
        leaveWindowsUnmanaged("Tolvar.exe");
        DeleteFileW((temporaryFolder() + L"Tq.dat").c_str());
    }
    void TearDown() override
    {
        stopProgram(program);
        forgetProgramRegistry();
    }

    // A first run from the folder, its exit and the uninstall entry's command: the data file beside the program,
    // the Run value naming it, and the script removing both.
    void firstRunAndUninstall(const std::wstring& folder)
    {
        program = startWide(folder);
        ASSERT_NE(nullptr, program.mainWindow);
        EXPECT_TRUE(waitUntil([&] { return exists(folder + L"Tq.dat"); })) << "no Tq.dat beside the program";
        EXPECT_FALSE(exists(temporaryFolder() + L"Tq.dat")) << "Tq.dat made in the folder it was started from";
        DWORD type = 0;
        const std::wstring run = runValue(type);
        EXPECT_EQ(DWORD{REG_SZ}, type);
        // Beyond MAX_PATH the value may name the short form of the same file.
        EXPECT_TRUE(run == folder + L"Tolvar.exe" || (folder.size() >= MAX_PATH && exists(run)))
            << "the Run value names " << narrow(run);
        EXPECT_EQ(1u, exitThroughMenu(program));
        stopProgram(program);

        ASSERT_TRUE(runUninstallEntry());
        EXPECT_FALSE(exists(folder + L"Tolvar.exe"));
        EXPECT_FALSE(exists(folder + L"Tq.dat"));
        EXPECT_TRUE(exists(folder + L"rasapi32.dll")) << "a file not the program's own";
        EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
    }

    Program program;
};

TEST_F(AnyFolder, AFolderTheCodePageCannotSpellHoldsTheDataAndIsNamedWhole)
{
    WideInstall install(temporaryFolder() + kPolishCyrillic + L"-" + std::to_wstring(GetCurrentProcessId()) + L"\\");
    ASSERT_TRUE(install.ready());
    firstRunAndUninstall(install.folder());
}

TEST_F(AnyFolder, AFolderBeyondMaxPathHoldsTheDataAndIsNamedWhole)
{
    std::wstring folder = temporaryFolder() + L"tolvar-deep-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
    while (folder.size() < MAX_PATH + 40)
        folder += std::wstring(49, L'd') + L"\\";
    WideInstall install(folder);
    ASSERT_TRUE(install.ready());
    firstRunAndUninstall(install.folder());
}

// The name the program holds for a data folder, worked out here as another build or version of the program would:
// FNV-1a over the UTF-16 units of the folder's long path in capitals, with its trailing backslash.
std::wstring dataFolderName(const std::string& folder)
{
    const std::wstring given(folder.begin(), folder.end());
    wchar_t full[1024] = {};
    GetLongPathNameW(given.c_str(), full, 1024);
    std::wstring path = full;
    CharUpperBuffW(&path[0], static_cast<DWORD>(path.size()));
    uint64_t hash = 0xcbf29ce484222325ull;
    for (const wchar_t unit : path) {
        hash = (hash ^ static_cast<uint16_t>(unit)) * 0x100000001b3ull;
    }
    wchar_t digits[17] = {};
    for (int i = 15; i >= 0; --i, hash >>= 4)
        digits[i] = L"0123456789abcdef"[hash & 0xF];
    return std::wstring(L"Global\\Tolvar-") + digits;
}

TEST_F(AnyFolder, AStartFindingItsDataFolderHeldElsewhereEndsAtOnceTouchingNothing)
{
    const std::unique_ptr<InstallFolder> install = freshInstallForThisTest("held-");
    // What a first instance in another user's session holds; Wine has one session, so this process stands in.
    const HANDLE held = CreateMutexW(nullptr, FALSE, dataFolderName(install->path()).c_str());
    ASSERT_NE(nullptr, held);
    program = startProgram(install->path(), false);
    const DWORD code = waitForExit(program, 10000);
    CloseHandle(held);
    EXPECT_EQ(1u, code);
    EXPECT_FALSE(fileExists(install->dataFile()));
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, kVeskKey));
    bool found = true;
    registryValue(HKEY_LOCAL_MACHINE, kRunKey, "Tolvar", nullptr, &found);
    EXPECT_FALSE(found);
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
    stopProgram(program);

    // Released, the same folder is the next start's.
    program = startProgram(install->path());
    ASSERT_NE(nullptr, program.mainWindow);
    EXPECT_EQ(1u, exitThroughMenu(program));
}

} // namespace
