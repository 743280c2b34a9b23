// The program's folder at any length and in any letters: its files, the current directory, its ANSI spelling
// and the machine-wide name that keeps one writer per data folder.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "win32/program_folder.h"

namespace {

const wchar_t kPolishCyrillic[] = L"\x141\xF3\x64\x17A \x41C\x43E\x441\x43A\x432\x430";

std::wstring temporaryFolder()
{
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH, temp);
    return temp;
}

// A folder made for the test, its parents too, removed with what the test left in it; `path` ends with a backslash.
class MadeFolder {
public:
    explicit MadeFolder(const std::wstring& path) : path_(path)
    {
        for (size_t slash = path.find(L'\\', 3); slash != std::wstring::npos; slash = path.find(L'\\', slash + 1)) {
            const std::wstring level = path.substr(0, slash);
            if (CreateDirectoryW(asked(level).c_str(), nullptr))
                made_.push_back(level);
        }
    }
    ~MadeFolder()
    {
        SetCurrentDirectoryW(temporaryFolder().c_str());
        DeleteFileW(asked(path_ + L"Tq.dat").c_str());
        for (auto level = made_.rbegin(); level != made_.rend(); ++level)
            RemoveDirectoryW(asked(*level).c_str());
    }
    bool made() const { return GetFileAttributesW(asked(path_).c_str()) != INVALID_FILE_ATTRIBUTES; }

    // The form the wide calls take at any length.
    static std::wstring asked(const std::wstring& path) { return path.size() < MAX_PATH ? path : L"\\\\?\\" + path; }

private:
    std::wstring path_;
    std::vector<std::wstring> made_;
};

// A folder path of about `length` characters under the temporary folder, in levels of 50.
std::wstring deepFolder(size_t length)
{
    std::wstring path = temporaryFolder() + L"tolvar-deep-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
    while (path.size() < length)
        path += std::wstring(49, L'd') + L"\\";
    return path;
}

bool sameFile(const std::wstring& a, const std::wstring& b)
{
    BY_HANDLE_FILE_INFORMATION first{}, second{};
    for (auto [path, information] : {std::pair{&a, &first}, std::pair{&b, &second}}) {
        const HANDLE handle = CreateFileW(MadeFolder::asked(*path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                          nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (handle == INVALID_HANDLE_VALUE)
            return false;
        GetFileInformationByHandle(handle, information);
        CloseHandle(handle);
    }
    return first.nFileIndexLow == second.nFileIndexLow && first.nFileIndexHigh == second.nFileIndexHigh &&
           first.dwVolumeSerialNumber == second.dwVolumeSerialNumber;
}

std::wstring currentDirectory()
{
    wchar_t path[4096] = {};
    GetCurrentDirectoryW(4096, path);
    std::wstring folder = path;
    if (folder.back() != L'\\')
        folder += L'\\';
    return folder;
}

TEST(ProgramFile, IsNamedPlainlyUpToTheLimitAndInLongFormBeyondIt)
{
    setProgramFolder(L"C:\\Tolvar\\");
    EXPECT_EQ(L"C:\\Tolvar\\Tq.dat", programFile(L"Tq.dat"));
    EXPECT_STREQ(L"C:\\Tolvar\\", programFolder());

    const std::wstring longest = L"C:\\" + std::wstring(MAX_PATH - 6, L'x') + L"\\";
    setProgramFolder(longest.c_str());
    EXPECT_EQ(longest + L"T", programFile(L"T")) << "259 characters still fit without the prefix";
    EXPECT_EQ(L"\\\\?\\" + longest + L"Tq.dat", programFile(L"Tq.dat"));

    const std::wstring share = L"\\\\server\\share\\" + std::wstring(300, L'y') + L"\\";
    setProgramFolder(share.c_str());
    EXPECT_EQ(L"\\\\?\\UNC\\server\\share\\" + std::wstring(300, L'y') + L"\\Tq.jnl", programFile(L"Tq.jnl"));
    setProgramFolder(L"");
}

TEST(ProgramFile, WritesAndReadsInAFolderBeyondMaxPath)
{
    const std::wstring path = deepFolder(400);
    MadeFolder folder(path);
    ASSERT_TRUE(folder.made());
    setProgramFolder(path.c_str());
    const std::wstring file = programFile(L"Tq.dat");
    const HANDLE written = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, written);
    DWORD count = 0;
    EXPECT_TRUE(WriteFile(written, "Tq", 2, &count, nullptr));
    CloseHandle(written);
    EXPECT_EQ(2u, count);
    WIN32_FILE_ATTRIBUTE_DATA data{};
    ASSERT_TRUE(GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &data));
    EXPECT_EQ(2u, data.nFileSizeLow);

    enterProgramFolder();
    EXPECT_TRUE(sameFile(currentDirectory(), path)) << "the current directory is the deep folder or its short form";
    setProgramFolder(L"");
}

TEST(ProgramFolder, AFolderTheCodePageCannotSpellBecomesCurrentAndIsSpeltByItsShortPathOrNotAtAll)
{
    const std::wstring path = temporaryFolder() + kPolishCyrillic + L"\\";
    MadeFolder folder(path);
    ASSERT_TRUE(folder.made());
    setProgramFolder(path.c_str());
    enterProgramFolder();
    EXPECT_EQ(path, currentDirectory());

    std::string spelt;
    EXPECT_FALSE(ansiSpelling(path, spelt)) << "code page " << GetACP();
    const std::string ansi = ansiFolder(path);
    if (!ansi.empty()) {
        EXPECT_EQ('\\', ansi.back());
        EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(ansi.c_str())) << ansi;
        const std::wstring widened(ansi.begin(), ansi.end());
        EXPECT_TRUE(sameFile(widened, path)) << ansi << " is another folder";
    }
    setProgramFolder(L"");
}

TEST(ProgramFolder, AFolderTheCodePageSpellsKeepsItsExactBytes)
{
    const std::wstring path = L"C:\\Program Files\\Tolvar \xE9t\xE9\\";
    std::string spelt;
    ASSERT_TRUE(ansiSpelling(path, spelt));
    if (GetACP() == 1252) {
        EXPECT_EQ("C:\\Program Files\\Tolvar \xE9t\xE9\\", spelt);
    }
    EXPECT_EQ(spelt, ansiFolder(path));
    // A best-fit stand-in ("L" for the Polish letter) would name another folder.
    EXPECT_FALSE(ansiSpelling(L"C:\\\x141\xF3\x64\x17A\\", spelt));
}

TEST(DataFolderLock, EverySpellingOfOneFolderGivesOneNameAndOtherFoldersOthers)
{
    const std::wstring path = temporaryFolder() + L"Tolvar Lock Folder Name\\";
    MadeFolder folder(path);
    ASSERT_TRUE(folder.made());
    const std::wstring name = dataFolderLockName(path.c_str());
    EXPECT_EQ(0u, name.find(L"Global\\Tolvar-"));
    EXPECT_EQ(std::wstring::npos, name.find(L'\\', 7)) << "a kernel object name holds no further backslash";

    std::wstring upper = path;
    CharUpperBuffW(&upper[0], static_cast<DWORD>(upper.size()));
    EXPECT_EQ(name, dataFolderLockName(upper.c_str()));
    EXPECT_EQ(name, dataFolderLockName(path.substr(0, path.size() - 1).c_str())) << "without the backslash";
    const std::wstring shortened = shortPath(path);
    if (!shortened.empty() && shortened != path) {
        EXPECT_EQ(name, dataFolderLockName(shortened.c_str())) << "short form";
    }

    EXPECT_NE(name, dataFolderLockName((temporaryFolder() + L"Tolvar Lock Folder Nam\\").c_str()));
    EXPECT_NE(name, dataFolderLockName((temporaryFolder() + L"Tolvar Lock Folder Name2\\").c_str()));
}

TEST(DataFolderLock, IsTakenOnceAndRefusedWhileHeld)
{
    const std::wstring path = temporaryFolder() + L"tolvar-claim-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
    EXPECT_TRUE(claimDataFolder(path.c_str()));
    EXPECT_FALSE(claimDataFolder(path.c_str()));
    const HANDLE open = OpenMutexW(SYNCHRONIZE, FALSE, dataFolderLockName(path.c_str()).c_str());
    EXPECT_NE(nullptr, open) << "the name stays held";
    if (open != nullptr)
        CloseHandle(open);
    EXPECT_TRUE(claimDataFolder(L"")) << "no folder, nothing to guard";
}

} // namespace
