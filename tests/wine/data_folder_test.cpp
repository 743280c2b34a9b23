// Where the store's files go when the program's folder cannot be written, and the store on a system whose wide
// file calls are stubs (Windows 95, 98, ME).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/data_store.h"
#include "core/layout.h"
#include "core/state.h"
#include "tests/wine/in_process.h"
#include "win32/data_folder.h"
#include "win32/file_calls.h"
#include "win32/program_folder.h"

namespace {

std::wstring wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

bool startsWith(const std::wstring& text, const std::wstring& head)
{
    return !head.empty() && text.compare(0, head.size(), head) == 0;
}

bool endsWith(const std::wstring& text, const std::wstring& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// Files made in folders below these are refused with `refusal`, as a folder the user may not write answers.
std::vector<std::wstring> refusedFolders;
DWORD refusal = ERROR_ACCESS_DENIED;

HANDLE WINAPI refusingCreateFile(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                 DWORD disposition, DWORD flags, HANDLE from)
{
    for (const std::wstring& folder : refusedFolders)
        if (startsWith(path, folder) && disposition != OPEN_EXISTING) {
            SetLastError(refusal);
            return INVALID_HANDLE_VALUE;
        }
    return CreateFileW(path, access, share, security, disposition, flags, from);
}

// Every wide call answers as the stubs of Windows 9x do.
void notImplemented() { SetLastError(ERROR_CALL_NOT_IMPLEMENTED); }
HANDLE WINAPI stubCreateFile(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE)
{
    notImplemented();
    return INVALID_HANDLE_VALUE;
}
BOOL WINAPI stubPath(LPCWSTR) { return notImplemented(), FALSE; }
BOOL WINAPI stubTwoPaths(LPCWSTR, LPCWSTR) { return notImplemented(), FALSE; }
BOOL WINAPI stubMoveEx(LPCWSTR, LPCWSTR, DWORD) { return notImplemented(), FALSE; }
BOOL WINAPI stubAttributes(LPCWSTR, GET_FILEEX_INFO_LEVELS, LPVOID) { return notImplemented(), FALSE; }
HANDLE WINAPI stubFind(LPCWSTR, LPWIN32_FIND_DATAW) { return notImplemented(), INVALID_HANDLE_VALUE; }
BOOL WINAPI stubCreateDirectory(LPCWSTR, LPSECURITY_ATTRIBUTES) { return notImplemented(), FALSE; }
BOOL WINAPI stubCopy(LPCWSTR, LPCWSTR, BOOL) { return notImplemented(), FALSE; }
DWORD WINAPI stubModuleName(HMODULE, LPWSTR, DWORD) { return notImplemented(), 0; }
DWORD WINAPI stubShortPath(LPCWSTR, LPWSTR, DWORD) { return notImplemented(), 0; }
HANDLE WINAPI stubMutex(LPSECURITY_ATTRIBUTES, BOOL, LPCWSTR) { return notImplemented(), nullptr; }

// Swaps the table for the test's time.
class CallsReplaced {
public:
    explicit CallsReplaced(const WideFileCalls& calls) : kept_(wideFileCalls()) { wideFileCalls() = calls; }
    ~CallsReplaced() { wideFileCalls() = kept_; }
    CallsReplaced(const CallsReplaced&) = delete;
    CallsReplaced& operator=(const CallsReplaced&) = delete;

private:
    WideFileCalls kept_;
};

void removeFolderWithFiles(const std::wstring& folder)
{
    for (const wchar_t* name : {L"Tq.dat", L"Tq.jnl", L"Tq.new", L"Tq.old"})
        DeleteFileW((folder + name).c_str());
    RemoveDirectoryW(folder.c_str());
}

TEST(DataFolder, VirtualStoreIsTheFolderWithoutItsDriveUnderTheUsersLocalData)
{
    const std::wstring local = L"C:\\users\\ann\\AppData\\Local";
    struct Row {
        const wchar_t* program;
        const wchar_t* expected;
    };
    const Row rows[] = {
        {L"C:\\Program Files\\Tolvar\\", L"C:\\users\\ann\\AppData\\Local\\VirtualStore\\Program Files\\Tolvar\\"},
        {L"D:\\Tolvar", L"C:\\users\\ann\\AppData\\Local\\VirtualStore\\Tolvar\\"},
        {L"E:\\", L"C:\\users\\ann\\AppData\\Local\\VirtualStore\\"},
        {L"\\\\server\\share\\Tolvar\\", L""},
        {L"", L""},
    };
    for (const Row& row : rows)
        EXPECT_EQ(row.expected, virtualStoreFolder(row.program, local)) << row.program;
    EXPECT_EQ(L"", virtualStoreFolder(L"C:\\Tolvar\\", L""));
}

// The choice under each answer of the program's folder and of the per-user ones.
TEST(DataFolder, IsThePerUserOneOnlyWhileTheProgramsFolderRefusesNewFiles)
{
    enum Where { Program, VirtualStore, OwnAppData };
    struct Row {
        DWORD programAnswer; // 0: the folder takes files
        bool virtualStoreRefuses;
        bool ownRefuses;
        Where expected;
    };
    const Row rows[] = {
        {0, false, false, Program},
        {ERROR_ACCESS_DENIED, false, false, VirtualStore},
        {ERROR_WRITE_PROTECT, false, false, VirtualStore},
        {ERROR_DISK_FULL, false, false, Program},
        {ERROR_ACCESS_DENIED, true, false, OwnAppData},
        {ERROR_ACCESS_DENIED, true, true, Program},
    };
    kit::ScratchFolder scratch;
    ASSERT_TRUE(scratch.enter("tolvar-choice"));
    WideFileCalls calls = wideFileCalls();
    calls.createFile = refusingCreateFile;
    const CallsReplaced replaced(calls);
    int number = 0;
    for (const Row& row : rows) {
        const std::wstring program = wide(scratch.path()) + L"\\row" + std::to_wstring(++number) + L"\\";
        ASSERT_TRUE(CreateDirectoryW(program.c_str(), nullptr));
        const std::wstring virtualTail = L"\\VirtualStore\\" + program.substr(3);
        refusedFolders.clear();
        refusal = row.programAnswer;
        if (row.programAnswer != 0)
            refusedFolders.push_back(program);
        // A refused per-user folder is known by the test only once the program has named it: ask once to learn.
        const DataFolderChoice first = chooseDataFolder(program);
        std::wstring virtualStore, own;
        if (first.perUser && endsWith(first.folder, virtualTail))
            virtualStore = first.folder;
        if (row.virtualStoreRefuses && !virtualStore.empty()) {
            refusedFolders.push_back(virtualStore);
            refusal = ERROR_ACCESS_DENIED;
        }
        const DataFolderChoice second = chooseDataFolder(program);
        if (second.perUser && endsWith(second.folder, L"\\Vesk\\Tolvar\\"))
            own = second.folder;
        if (row.ownRefuses && !own.empty())
            refusedFolders.push_back(own);
        const DataFolderChoice chosen = chooseDataFolder(program);

        switch (row.expected) {
        case Program:
            EXPECT_FALSE(chosen.perUser) << number;
            EXPECT_EQ(program, chosen.folder) << number;
            break;
        case VirtualStore:
            EXPECT_TRUE(chosen.perUser) << number;
            EXPECT_TRUE(endsWith(chosen.folder, virtualTail)) << number << " " << std::string(chosen.folder.begin(), chosen.folder.end());
            break;
        case OwnAppData:
            EXPECT_TRUE(chosen.perUser) << number;
            EXPECT_TRUE(endsWith(chosen.folder, L"\\Vesk\\Tolvar\\")) << number;
            break;
        }
        if (chosen.perUser) {
            EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(chosen.folder.c_str())) << "made for the files";
        }
        refusedFolders.clear();
        if (!virtualStore.empty())
            removeFolderWithFiles(virtualStore);
        RemoveDirectoryW(program.c_str());
    }
}

// A per-user folder starts from the program folder's file once, and is then its own; the box says where, once.
TEST(DataFolder, StartsFromTheProgramsFileOnceAndIsSaidOnce)
{
    kit::forgetProgramRegistry();
    kit::ScratchFolder scratch;
    ASSERT_TRUE(scratch.enter("tolvar-seed"));
    const std::wstring program = wide(scratch.path()) + L"\\program\\";
    const std::wstring own = wide(scratch.path()) + L"\\own\\";
    ASSERT_TRUE(CreateDirectoryW(program.c_str(), nullptr) && CreateDirectoryW(own.c_str(), nullptr));
    const kit::Bytes stored = kit::patterned(132, 3), journal = kit::patterned(40, 4), ownFile = kit::patterned(164, 5);
    const std::string programAnsi = scratch.path() + "\\program\\", ownAnsi = scratch.path() + "\\own\\";
    ASSERT_TRUE(kit::writeFile(programAnsi + "Tq.dat", stored) && kit::writeFile(programAnsi + "Tq.jnl", journal));

    EXPECT_FALSE(seedDataFolder(DataFolderChoice{program, false}, program));
    const DataFolderChoice perUser{own, true};
    EXPECT_TRUE(seedDataFolder(perUser, program));
    EXPECT_EQ(stored, kit::fileBytes(ownAnsi + "Tq.dat"));
    EXPECT_EQ(journal, kit::fileBytes(ownAnsi + "Tq.jnl"));
    ASSERT_TRUE(kit::writeFile(ownAnsi + "Tq.dat", ownFile));
    EXPECT_FALSE(seedDataFolder(perUser, program)) << "a per-user file of its own is never replaced";
    EXPECT_EQ(ownFile, kit::fileBytes(ownAnsi + "Tq.dat"));
    EXPECT_EQ(stored, kit::fileBytes(programAnsi + "Tq.dat"));

    {
        kit::BoxAnswerer boxes({{"Tolvar 2.2", "", IDOK}});
        tellDataFolderOnce(perUser, program, true);
        const std::vector<kit::BoxSeen> seen = boxes.finish(5000);
        ASSERT_EQ(1u, seen.size());
        EXPECT_NE(std::string::npos, seen[0].text.find(programAnsi)) << seen[0].text;
        EXPECT_NE(std::string::npos, seen[0].text.find("Your figures are kept in\n" + ownAnsi)) << seen[0].text;
        EXPECT_NE(std::string::npos, seen[0].text.find("Tq.dat")) << seen[0].text;
    }
    {
        kit::BoxAnswerer none({});
        tellDataFolderOnce(perUser, program, false);
        tellDataFolderOnce(DataFolderChoice{program, false}, program, false);
        none.finish(500);
    }
    const std::wstring other = wide(scratch.path()) + L"\\other\\";
    kit::BoxAnswerer again({{"Tolvar 2.2", "", IDOK}});
    tellDataFolderOnce(DataFolderChoice{other, true}, program, false);
    const std::vector<kit::BoxSeen> seenAgain = again.finish(5000);
    ASSERT_EQ(1u, seenAgain.size()) << "another folder is said again";
    EXPECT_NE(std::string::npos, seenAgain[0].text.find(scratch.path() + "\\other\\"));
    for (const std::wstring& folder : {program, own})
        removeFolderWithFiles(folder);
    kit::forgetProgramRegistry();
}

TEST(WithoutWideCalls, AConnectionIsStoredBesideTheProgramThroughTheAnsiCalls)
{
    kit::ScratchFolder scratch;
    ASSERT_TRUE(scratch.enter("tolvar-ansi"));
    const std::wstring folder = wide(scratch.path()) + L"\\";
    const std::wstring realExe = executableFolder();
    const CallsReplaced replaced(WideFileCalls{stubCreateFile, stubPath, stubTwoPaths, stubMoveEx, stubAttributes, stubFind,
                                               stubCreateDirectory, stubCopy, stubPath, stubModuleName,
                                               stubShortPath, stubMutex});

    // The folder answers.
    EXPECT_EQ(realExe, executableFolder());
    EXPECT_EQ(wide(kit::moduleFolder()), executableFolder());
    EXPECT_FALSE(shortPath(folder).empty());
    const DataFolderChoice chosen = chooseDataFolder(folder);
    EXPECT_FALSE(chosen.perUser);
    EXPECT_EQ(folder, chosen.folder);
    EXPECT_TRUE(claimDataFolder(folder.c_str()));
    EXPECT_FALSE(claimDataFolder(folder.c_str())) << "the ANSI mutex is held as the wide one is";
    setProgramFolder(folder.c_str());
    SetCurrentDirectoryA(kit::moduleFolder().c_str());
    enterProgramFolder();
    char current[MAX_PATH + 1] = {};
    GetCurrentDirectoryA(MAX_PATH, current);
    EXPECT_EQ(scratch.path(), std::string(current));

    // A first stamp, then a connection's end as the monitor stores it, then Clear keeping the one record.
    inproc::zeroRecords();
    openDataStore(dataFileSeam());
    writeMonthStamp();
    const ConnectionRecord record{{2026, 12, 1, 7, 21, 5, 9, 0}, 125.0, 0.75};
    accounting.recordCount = 1;
    beginWriteBatch();
    writeRecordCount();
    appendRecord(record);
    writeCounterBlock();
    endWriteBatch();
    EXPECT_FALSE(writesPending());
    EXPECT_EQ(1, wholeRecordsInFile());
    EXPECT_EQ(FileOutcome::Done, replaceLog(&record, 1).outcome);

    const kit::Bytes bytes = kit::fileBytes(scratch.file("Tq.dat"));
    ASSERT_EQ(recordOffset(1), bytes.size());
    EXPECT_EQ(1, getI32(bytes.data() + kRecordCountOffset));
    const ConnectionRecord back = decodeRecord(bytes.data() + kHeaderSize);
    EXPECT_EQ(125.0, back.seconds);
    EXPECT_EQ(0.75, back.cost);
    for (const char* gone : {"Tq.jnl", "Tq.new", "Tq.old"})
        EXPECT_FALSE(kit::fileExists(scratch.file(gone))) << gone;
    SetCurrentDirectoryA(kit::moduleFolder().c_str());
    setProgramFolder(L"");
}

} // namespace
