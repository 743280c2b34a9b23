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

// A file made in a folder whose path holds one of these is refused with `refusal`, as a folder the user may not
// write answers.
std::vector<std::wstring> refusedFolders;
DWORD refusal = ERROR_ACCESS_DENIED;

HANDLE WINAPI refusingCreateFile(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                 DWORD disposition, DWORD flags, HANDLE from)
{
    for (const std::wstring& folder : refusedFolders)
        if (std::wstring(path).find(folder) != std::wstring::npos && disposition != OPEN_EXISTING) {
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

bool endsWith(const std::wstring& text, const std::wstring& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

void removeFolderWithFiles(const std::wstring& folder)
{
    for (const wchar_t* name : {L"Tq.dat", L"Tq.jnl"})
        DeleteFileW((folder + name).c_str());
    RemoveDirectoryW(folder.c_str());
}

// The choice under each answer of the program's folder and of the per-user ones.
TEST(DataFolder, IsThePerUserOneOnlyWhileTheProgramsFolderRefusesNewFiles)
{
    EXPECT_EQ(L"C:\\Local\\VirtualStore\\Program Files\\Tolvar\\",
              virtualStoreFolder(L"C:\\Program Files\\Tolvar", L"C:\\Local"));
    EXPECT_EQ(L"", virtualStoreFolder(L"\\\\server\\share\\Tolvar\\", L"C:\\Local")) << "a share has no drive";
    struct Row {
        DWORD programAnswer;      // 0: the folder takes files
        bool virtualStoreRefuses; // the VirtualStore folder takes none either
        bool ownRefuses;          // nor Vesk\Tolvar in the application data
        const wchar_t* expected;  // the chosen folder's end; nullptr: the program's folder
    };
    const Row rows[] = {
        {0, false, false, nullptr},
        {ERROR_ACCESS_DENIED, false, false, L"\\VirtualStore\\"},
        {ERROR_WRITE_PROTECT, false, false, L"\\VirtualStore\\"},
        {ERROR_DISK_FULL, false, false, nullptr},
        {ERROR_ACCESS_DENIED, true, false, L"\\Vesk\\Tolvar\\"},
        {ERROR_ACCESS_DENIED, true, true, nullptr},
    };
    kit::ScratchFolder scratch;
    ASSERT_TRUE(scratch.enter("tolvar-choice"));
    WideFileCalls calls = wideFileCalls();
    calls.createFile = refusingCreateFile;
    const CallsReplaced replaced(calls);
    const std::wstring program = wide(scratch.path()) + L"\\";
    std::wstring virtualStore;
    for (const Row& row : rows) {
        refusal = row.programAnswer;
        refusedFolders.assign(1, row.programAnswer != 0 ? program : L"|");
        if (row.virtualStoreRefuses)
            refusedFolders.push_back(L"\\VirtualStore\\");
        if (row.ownRefuses)
            refusedFolders.push_back(L"\\Vesk\\Tolvar\\");
        const DataFolderChoice chosen = chooseDataFolder(program);
        const std::wstring tail = row.expected == nullptr ? program : row.expected;
        const std::wstring want = tail == L"\\VirtualStore\\" ? tail + program.substr(3) : tail;
        EXPECT_EQ(row.expected != nullptr, chosen.perUser) << &row - rows;
        EXPECT_TRUE(endsWith(chosen.folder, want)) << &row - rows;
        if (want != tail)
            virtualStore = chosen.folder;
        EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(chosen.folder.c_str())) << "made for the files";
    }
    refusedFolders.clear();
    removeFolderWithFiles(virtualStore);
}

// A per-user folder starts from the program folder's file once and is then its own; the box says where, once a folder.
TEST(DataFolder, StartsFromTheProgramsFileOnceAndIsSaidOncePerFolder)
{
    kit::forgetProgramRegistry();
    kit::ScratchFolder scratch;
    ASSERT_TRUE(scratch.enter("tolvar-seed"));
    const std::string programAnsi = scratch.path() + "\\program\\", ownAnsi = scratch.path() + "\\own\\";
    const std::wstring program = wide(programAnsi), own = wide(ownAnsi);
    ASSERT_TRUE(CreateDirectoryW(program.c_str(), nullptr) && CreateDirectoryW(own.c_str(), nullptr));
    const kit::Bytes stored = kit::patterned(132, 3), journal = kit::patterned(40, 4), ownFile = kit::patterned(164, 5);
    ASSERT_TRUE(kit::writeFile(programAnsi + "Tq.dat", stored) && kit::writeFile(programAnsi + "Tq.jnl", journal));
    const DataFolderChoice perUser{own, true};
    EXPECT_FALSE(seedDataFolder(DataFolderChoice{program, false}, program));
    EXPECT_TRUE(seedDataFolder(perUser, program));
    EXPECT_EQ(stored, kit::fileBytes(ownAnsi + "Tq.dat"));
    EXPECT_EQ(journal, kit::fileBytes(ownAnsi + "Tq.jnl"));
    ASSERT_TRUE(kit::writeFile(ownAnsi + "Tq.dat", ownFile));
    EXPECT_FALSE(seedDataFolder(perUser, program)) << "a per-user file of its own is never replaced";
    EXPECT_EQ(ownFile, kit::fileBytes(ownAnsi + "Tq.dat"));

    // A third box would be one more than the script holds.
    const std::string other = scratch.path() + "\\other\\";
    kit::BoxAnswerer boxes({{"Tolvar 2.2", "", IDOK}, {"Tolvar 2.2", "", IDOK}});
    for (const DataFolderChoice& told :
         {perUser, perUser, DataFolderChoice{program, false}, DataFolderChoice{wide(other), true}})
        tellDataFolderOnce(told, program, told.folder == own);
    const std::vector<kit::BoxSeen> seen = boxes.finish(5000);
    ASSERT_EQ(2u, seen.size());
    EXPECT_NE(std::string::npos, seen[0].text.find(programAnsi + "\n\nYour figures are kept in\n" + ownAnsi)) << seen[0].text;
    EXPECT_NE(std::string::npos, seen[0].text.find("Tq.dat of the program's folder")) << seen[0].text;
    EXPECT_NE(std::string::npos, seen[1].text.find("kept in\n" + other)) << seen[1].text;
    for (const std::wstring& folder : {program, own})
        removeFolderWithFiles(folder);
    kit::forgetProgramRegistry();
}

TEST(WithoutWideCalls, AConnectionIsStoredBesideTheProgramThroughTheAnsiCalls)
{
    kit::ScratchFolder scratch;
    ASSERT_TRUE(scratch.enter("tolvar-ansi"));
    const std::wstring folder = wide(scratch.path()) + L"\\";
    const CallsReplaced replaced(WideFileCalls{stubCreateFile, stubPath, stubTwoPaths, stubMoveEx, stubAttributes,
                                               stubFind, stubCreateDirectory, stubCopy, stubPath, stubModuleName,
                                               stubShortPath, stubMutex});

    // The folder answers.
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
