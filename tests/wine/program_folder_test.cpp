// The program's folder at any length and in any letters, and the name that keeps one writer per data folder.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "win32/program_folder.h"

namespace {

std::wstring temporaryFolder()
{
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH, temp);
    return temp;
}

std::wstring currentDirectory()
{
    wchar_t path[1024] = {};
    GetCurrentDirectoryW(1024, path);
    return path;
}

TEST(ProgramFile, IsPlainUpToTheLimitAndInLongFormBeyondIt)
{
    const std::wstring longest = L"C:\\" + std::wstring(MAX_PATH - 6, L'x') + L"\\";
    setProgramFolder(longest.c_str());
    EXPECT_EQ(longest + L"T", programFile(L"T")) << "259 characters fit without the prefix";
    EXPECT_EQ(L"\\\\?\\" + longest + L"Tq.dat", programFile(L"Tq.dat"));
    const std::wstring share = L"\\\\server\\share\\" + std::wstring(300, L'y') + L"\\";
    setProgramFolder(share.c_str());
    EXPECT_EQ(L"\\\\?\\UNC\\server\\share\\" + std::wstring(300, L'y') + L"\\Tq.jnl", programFile(L"Tq.jnl"));

    // A real folder that deep: its file is written and read back, and it becomes current (or its short form).
    std::wstring deep = temporaryFolder() + L"tolvar-deep-" + std::to_wstring(GetCurrentProcessId());
    std::vector<std::wstring> levels;
    for (levels.push_back(deep); deep.size() < 400; levels.push_back(deep))
        deep += L"\\" + std::wstring(49, L'd');
    for (const std::wstring& level : levels)
        ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + level).c_str(), nullptr));
    setProgramFolder((deep + L"\\").c_str());
    const HANDLE file =
        CreateFileW(programFile(L"Tq.dat").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    CloseHandle(file);
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(programFile(L"Tq.dat").c_str()));
    enterProgramFolder();
    EXPECT_TRUE(currentDirectory() == deep || currentDirectory() == shortPath(deep));
    SetCurrentDirectoryW(temporaryFolder().c_str());
    DeleteFileW(programFile(L"Tq.dat").c_str());
    for (auto level = levels.rbegin(); level != levels.rend(); ++level)
        RemoveDirectoryW((L"\\\\?\\" + *level).c_str());
    setProgramFolder(L"");
}

TEST(ProgramFolder, IsSpeltInTheCodePageWholeOrByItsShortPath)
{
    std::string spelt;
    EXPECT_TRUE(ansiSpelling(L"C:\\Tolvar \xE9t\xE9\\", spelt) && spelt == "C:\\Tolvar \xE9t\xE9\\") << GetACP();
    // A best-fit stand-in ("L" for the Polish letter) would name another folder.
    EXPECT_FALSE(ansiSpelling(L"C:\\\x141\xF3\x64\x17A\\", spelt));

    const std::wstring folder = temporaryFolder() + L"\x41C\x43E\x441\x43A\x432\x430\\";
    if (!CreateDirectoryW(folder.c_str(), nullptr))
        GTEST_SKIP() << "Wine names Unix files in this process's locale, which lacks these letters: run with LANG=C.UTF-8";
    setProgramFolder(folder.c_str());
    enterProgramFolder();
    EXPECT_EQ(folder, currentDirectory() + L"\\");
    const std::string ansi = ansiFolder(folder);
    EXPECT_TRUE(ansi.empty() || GetFileAttributesA(ansi.c_str()) != INVALID_FILE_ATTRIBUTES) << ansi;
    SetCurrentDirectoryW(temporaryFolder().c_str());
    RemoveDirectoryW(folder.c_str());
    setProgramFolder(L"");
}

TEST(DataFolderLock, OneNamePerFolderHeldByOneProcess)
{
    const std::wstring folder = temporaryFolder() + L"Tolvar Lock " + std::to_wstring(GetCurrentProcessId()) + L"\\";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    const std::wstring name = dataFolderLockName(folder.c_str());
    EXPECT_EQ(0u, name.find(L"Global\\Tolvar-"));
    std::wstring upper = folder;
    CharUpperW(&upper[0]);
    for (const std::wstring& spelling : {upper, folder.substr(0, folder.size() - 1), shortPath(folder)})
        EXPECT_EQ(name, dataFolderLockName(spelling.c_str()));
    EXPECT_NE(name, dataFolderLockName((temporaryFolder() + L"Tolvar Lock\\").c_str()));

    EXPECT_TRUE(claimDataFolder(folder.c_str()));
    EXPECT_FALSE(claimDataFolder(upper.c_str())) << "held by this process for its life";
    RemoveDirectoryW(folder.c_str());
}

} // namespace
