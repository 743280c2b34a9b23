// Registration with the system: the Run value, the uninstall entry and the script file, byte for byte, and the
// script carried out by the system's INF installer.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/inf_text.h"
#include "win32/registration.h"
#include "tests/wine/in_process.h"

namespace {

using kit::kRunKey;
using kit::kUninstallKey;

std::string windowsDirectory()
{
    char path[MAX_PATH] = {};
    GetWindowsDirectoryA(path, sizeof path);
    return path;
}

std::string infPath() { return windowsDirectory() + "\\INF\\Tolvar.inf"; }

// The raw bytes of a machine-wide value, NUL included; `found` false when it is absent.
std::string machineValue(const char* keyPath, const char* name, DWORD* type = nullptr, bool* found = nullptr)
{
    const std::vector<uint8_t> bytes = kit::registryValue(HKEY_LOCAL_MACHINE, keyPath, name, type, found);
    return std::string(bytes.begin(), bytes.end());
}

bool keyExists(const char* keyPath) { return kit::keyExists(HKEY_LOCAL_MACHINE, keyPath); }

std::string fileContents(const std::string& path)
{
    const std::vector<uint8_t> bytes = kit::fileBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

std::string withCrLf(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

// Each test starts with neither the Run value, the uninstall entry nor the script.
class Registration : public ::testing::Test {
protected:
    void SetUp() override { removeAll(); }
    void TearDown() override { removeAll(); }

private:
    static void removeAll()
    {
        kit::deleteRegistryValue(HKEY_LOCAL_MACHINE, kRunKey, "Tolvar");
        kit::deleteKeyTree(HKEY_LOCAL_MACHINE, kUninstallKey);
        DeleteFileA(infPath().c_str());
    }
};

TEST_F(Registration, AutostartNamesThisExecutableWithItsNul)
{
    const std::string older = "C:\\Old\\Tolvar.exe";
    ASSERT_TRUE(kit::setRegistryValue(HKEY_LOCAL_MACHINE, kRunKey, "Tolvar", REG_SZ,
                                      kit::Bytes(older.c_str(), older.c_str() + older.size() + 1)));

    registerAutostart();
    char module[MAX_PATH + 1] = {};
    GetModuleFileNameA(nullptr, module, MAX_PATH);
    DWORD type = 0;
    EXPECT_EQ(std::string(module) + '\0', machineValue(kRunKey, "Tolvar", &type));
    EXPECT_EQ(DWORD{REG_SZ}, type);
    EXPECT_FALSE(keyExists(kUninstallKey)) << "a later start writes only the Run value";
    EXPECT_EQ(std::string(), fileContents(infPath()));
}

TEST_F(Registration, UninstallEntryHandsTheScriptToTheInstaller)
{
    registerUninstall(L"C:\\Program Files\\Tolvar\\");
    DWORD type = 0;
    EXPECT_EQ(std::string("Tolvar") + '\0', machineValue(kUninstallKey, "DisplayName", &type));
    EXPECT_EQ(DWORD{REG_SZ}, type);
    EXPECT_EQ("RunDll32 advpack.dll,LaunchINFSectionEx " + windowsDirectory() + "\\INF\\Tolvar.inf,Uninstall" + '\0',
              machineValue(kUninstallKey, "UnInstallString", &type));
    EXPECT_EQ(DWORD{REG_SZ}, type);
    bool found = true;
    machineValue(kRunKey, "Tolvar", nullptr, &found);
    EXPECT_FALSE(found) << "the Run value is registerAutostart's";
}

TEST_F(Registration, ScriptIsWrittenWithCrLfAndTheNtSignature)
{
    registerUninstall(L"C:\\Program Files\\Tolvar\\");
    const std::string bytes = fileContents(infPath());
    EXPECT_EQ(withCrLf(uninstallInfText(true, "C:\\Program Files\\Tolvar\\")), bytes);
    EXPECT_EQ(0, bytes.compare(0, 39, "[Version]\r\nSignature = \"$Windows NT$\"\r\n"));
    EXPECT_NE(std::string::npos, bytes.find("\r\n[DirA]\r\n,,,,\"C:\\Program Files\\Tolvar\\\"\r\n\r\n"));
    size_t lineEnds = 0;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n') {
            ++lineEnds;
            EXPECT_TRUE(i > 0 && bytes[i - 1] == '\r') << "bare LF at " << i;
        }
    }
    EXPECT_EQ(51u, lineEnds);
    EXPECT_EQ(std::string::npos, bytes.find('\0'));
    EXPECT_EQ("EndPrompt = \"Uninstall comleted!\"\r\n", bytes.substr(bytes.size() - 35));
}

TEST_F(Registration, AnOlderScriptIsReplacedAsAWhole)
{
    const std::string older(10000, 'x');
    ASSERT_TRUE(kit::writeFile(infPath(), kit::Bytes(older.begin(), older.end())));
    registerUninstall(L"C:\\T\\");
    EXPECT_EQ(withCrLf(uninstallInfText(true, "C:\\T\\")), fileContents(infPath()));
}

TEST_F(Registration, NoEntryPointsAtAScriptThatCouldNotBeWritten)
{
    // A folder in the script's place makes the file impossible to create.
    ASSERT_TRUE(CreateDirectoryA(infPath().c_str(), nullptr));
    registerUninstall(L"C:\\T\\");
    RemoveDirectoryA(infPath().c_str());
    EXPECT_FALSE(keyExists(kUninstallKey));
}

// Runs the uninstall entry's command as the system would, and waits for it.
bool runUninstallCommand()
{
    std::string line = machineValue(kUninstallKey, "UnInstallString");
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    const bool ended = WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0;
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return ended;
}

// The form the wide calls take at any length.
std::wstring asked(const std::wstring& path) { return path.size() < MAX_PATH ? path : L"\\\\?\\" + path; }

class UninstallFromAnyFolder : public Registration, public ::testing::WithParamInterface<std::wstring> {
};

// Through the system's INF installer, in a folder the ANSI code page spells, in ones it cannot (Polish and Cyrillic
// letters, Chinese ones) and in one beyond MAX_PATH.
TEST_P(UninstallFromAnyFolder, TheInstallerRemovesTheProgramWithItsDataAndSideFilesAndNothingElse)
{
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = temp + GetParam();
    const std::vector<std::wstring> ours = {L"Tolvar.exe", L"Tq.dat",   L"Tq.jnl",   L"Tq.new",   L"Tq-1.jnl",
                                            L"Tq-2.jnl",   L"Tq-3.jnl", L"Tq-4.jnl", L"Tq-5.jnl", L"Tq-6.jnl",
                                            L"Tq-7.jnl",   L"Tq-8.jnl", L"Tq-9.jnl"};
    const std::vector<std::wstring> theirs = {L"keep.txt", L"Tq.dat.txt", L"Tq-10.jnl"};
    std::vector<std::wstring> levels;
    for (size_t slash = folder.find(L'\\', 3); slash != std::wstring::npos; slash = folder.find(L'\\', slash + 1))
        if (CreateDirectoryW(asked(folder.substr(0, slash)).c_str(), nullptr))
            levels.push_back(folder.substr(0, slash));
    if (GetFileAttributesW(asked(folder).c_str()) == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "Wine names Unix files in this process's locale, which lacks these letters: run with LANG=C.UTF-8";
    for (const std::vector<std::wstring>* names : {&ours, &theirs})
        for (const std::wstring& name : *names)
            CloseHandle(
                CreateFileW(asked(folder + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));

    registerUninstall(folder.c_str());
    ASSERT_TRUE(runUninstallCommand());
    for (const std::vector<std::wstring>* names : {&ours, &theirs}) {
        for (const std::wstring& name : *names) {
            EXPECT_EQ(names == &theirs, DeleteFileW(asked(folder + name).c_str()) != FALSE)
                << std::string(name.begin(), name.end());
        }
    }
    EXPECT_FALSE(keyExists(kUninstallKey));
    for (auto level = levels.rbegin(); level != levels.rend(); ++level)
        RemoveDirectoryW(asked(*level).c_str());
}

std::string folderKind(const ::testing::TestParamInfo<std::wstring>& info)
{
    const char* const kinds[] = {"Plain", "PolishCyrillic", "Chinese", "BeyondMaxPath"};
    return kinds[info.index];
}

INSTANTIATE_TEST_SUITE_P(Folders, UninstallFromAnyFolder,
                         ::testing::Values(L"tolvar-inf\\",
                                           L"tolvar \x141\xF3\x64\x17A \x41C\x43E\x441\x43A\x432\x430\\",
                                           L"tolvar \x6258\x5C14\x74E6\\",
                                           L"tolvar-inf-deep\\" + std::wstring(300, L'd').replace(100, 1, L"\\")
                                               .replace(200, 1, L"\\") + L"\\"),
                         folderKind);

} // namespace
