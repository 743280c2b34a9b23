// The data file "Tq.dat" and its side files on Win32: the file seam the store works on.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "win32/data_file.h"

#include "core/file_seam.h"
#include "win32/file_calls.h"
#include "win32/program_folder.h"

namespace {

// In the data folder, by their full names at any length (by bare names, in the current directory, until the
// program's folder is known).
std::wstring filePath(StoreFile file)
{
    switch (file) {
    case StoreFile::Journal: return dataFile(L"Tq.jnl");
    case StoreFile::Fresh: return dataFile(L"Tq.new");
    case StoreFile::SetAside:
    case StoreFile::Data: break;
    }
    return dataFile(L"Tq.dat");
}

// Where the old data file waits while the fresh one takes its name on a system that cannot rename over a file.
std::wstring oldDataPath() { return dataFile(L"Tq.old"); }

// SetFilePointer with a zero high part reaches this far; nothing is positioned beyond it.
constexpr uint64_t kReachableEnd = uint64_t{1} << 32;

// How long a read waits for another process that holds the file (a backup, a virus scanner, a viewer) to
// let go, in tries 10 ms apart. Writes do not wait: what they could not store stays pending until a later tick.
constexpr int kSharingTries = 10;

bool heldByOther(DWORD error) { return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION; }

constexpr FileResult kDone{FileOutcome::Done, 0};

// The outcome of the call that just failed, with the system's code.
FileResult lastFailure()
{
    const DWORD error = GetLastError();
    return FileResult{heldByOther(error) ? FileOutcome::Held : FileOutcome::Failed, error};
}

// No sharing: another process cannot open the file while an operation holds it.
HANDLE openFile(StoreFile file, DWORD access, DWORD disposition, int tries)
{
    for (int attempt = 1;; ++attempt) {
        const HANDLE handle = createFileAt(filePath(file), access, 0, disposition, FILE_ATTRIBUTE_NORMAL);
        if (handle != INVALID_HANDLE_VALUE || !heldByOther(GetLastError()) || attempt >= tries)
            return handle;
        Sleep(10);
    }
}

// A failed seek must not leave the file pointer at 0, where a write would land in the header.
bool seekTo(HANDLE file, uint64_t offset)
{
    if (offset > kReachableEnd)
        return false;
    LONG high = static_cast<LONG>(offset >> 32);
    SetLastError(NO_ERROR);
    const DWORD low = SetFilePointer(file, static_cast<LONG>(offset & 0xFFFFFFFFu), &high, FILE_BEGIN);
    return low != INVALID_SET_FILE_POINTER || GetLastError() == NO_ERROR;
}

// Closes the handle, keeping the failure of the call before it (if any) as the answer.
FileResult closeWith(HANDLE handle, bool done)
{
    const FileResult result = done ? kDone : lastFailure();
    CloseHandle(handle);
    return result.outcome == FileOutcome::Done || result.error != 0 ? result
                                                                     : FileResult{FileOutcome::Failed, ERROR_WRITE_FAULT};
}

FileResult writeFile(StoreFile file, uint64_t offset, const uint8_t* bytes, size_t size)
{
    const HANDLE handle = openFile(file, GENERIC_WRITE, OPEN_ALWAYS, 1);
    if (handle == INVALID_HANDLE_VALUE)
        return lastFailure();
    DWORD written = 0;
    bool done = seekTo(handle, offset) && WriteFile(handle, bytes, static_cast<DWORD>(size), &written, nullptr);
    // A write that took fewer bytes than asked ran out of room.
    if (done && written != size) {
        SetLastError(ERROR_DISK_FULL);
        done = false;
    }
    return closeWith(handle, done);
}

FileResult readFile(StoreFile file, uint64_t offset, uint8_t* bytes, size_t size, size_t& got)
{
    got = 0;
    // Reading must not create a missing side file; the data file is made by the first operation of any kind.
    const HANDLE handle =
        openFile(file, GENERIC_READ, file == StoreFile::Data ? OPEN_ALWAYS : OPEN_EXISTING, kSharingTries);
    if (handle == INVALID_HANDLE_VALUE)
        return file != StoreFile::Data && GetLastError() == ERROR_FILE_NOT_FOUND ? kDone : lastFailure();
    DWORD read = 0;
    const bool done = seekTo(handle, offset) && ReadFile(handle, bytes, static_cast<DWORD>(size), &read, nullptr);
    got = done ? read : 0;
    return closeWith(handle, done);
}

FileResult setFileLength(StoreFile file, uint64_t length)
{
    const HANDLE handle = openFile(file, GENERIC_WRITE, OPEN_ALWAYS, 1);
    if (handle == INVALID_HANDLE_VALUE)
        return lastFailure();
    return closeWith(handle, seekTo(handle, length) && SetEndOfFile(handle));
}

// The system writes the file's cached data to the disk, whichever handle wrote it.
FileResult flushFile(StoreFile file)
{
    const HANDLE handle = openFile(file, GENERIC_WRITE, OPEN_EXISTING, 1);
    if (handle == INVALID_HANDLE_VALUE)
        return lastFailure();
    return closeWith(handle, FlushFileBuffers(handle) != FALSE);
}

int64_t fileLength(StoreFile file)
{
    // Asked of the folder, not of an open handle, so the answer comes even while another process holds it.
    uint64_t length = 0;
    DWORD attributes = 0;
    if (!findFileEntry(filePath(file), length, attributes))
        return GetLastError() == ERROR_FILE_NOT_FOUND ? 0 : -1;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return -1;
    return static_cast<int64_t>(length);
}

FileResult removeFile(StoreFile file)
{
    if (deleteFileAt(filePath(file)) || GetLastError() == ERROR_FILE_NOT_FOUND)
        return kDone;
    return lastFailure();
}

FileResult replaceDataFile()
{
    // The fresh file was flushed before; the rename itself is written through to the disk.
    if (moveFileTo(filePath(StoreFile::Fresh), filePath(StoreFile::Data), true, oldDataPath()))
        return kDone;
    const FileResult failure = lastFailure();
    // Renaming over a file another process has open is refused as access denied.
    return failure.error == ERROR_ACCESS_DENIED ? FileResult{FileOutcome::Held, failure.error} : failure;
}

FileResult setAsideJournal(char* name, size_t size)
{
    // The first free name of nine; a name in use is never replaced.
    for (int number = 1; number <= 9; ++number) {
        wchar_t target[16];
        std::swprintf(target, sizeof target / sizeof target[0], L"Tq-%d.jnl", number);
        if (moveFileTo(filePath(StoreFile::Journal), dataFile(target), false, std::wstring())) {
            std::snprintf(name, size, "Tq-%d.jnl", number);
            return kDone;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS && GetLastError() != ERROR_FILE_EXISTS)
            return lastFailure();
    }
    return FileResult{FileOutcome::Failed, ERROR_FILE_EXISTS};
}

// A replacement in three renames that was cut short: the old data file set aside and no new one in its place
// gets its name back; one left over beside a data file in place goes.
void finishReplacement()
{
    uint64_t length = 0;
    DWORD attributes = 0;
    if (!findFileEntry(oldDataPath(), length, attributes))
        return;
    if (findFileEntry(filePath(StoreFile::Data), length, attributes))
        deleteFileAt(oldDataPath());
    else
        moveFileTo(oldDataPath(), filePath(StoreFile::Data), false, std::wstring());
}

const FileSeam kWin32Files{writeFile,  readFile,   setFileLength,   flushFile,
                           fileLength, removeFile, replaceDataFile, setAsideJournal};

// How long start-up waits for another process to let go of the data file, in tries 50 ms apart: what it
// reads then (the totals, the stamp, the count) is otherwise read at a later tick.
constexpr int kStartupTries = 100;

} // namespace

// Asked by the first data-file operation, which start-up makes after moving to the executable's folder.
const FileSeam* dataFileSeam()
{
    finishReplacement();
    for (int attempt = 1; attempt < kStartupTries; ++attempt) {
        const HANDLE probe = openFile(StoreFile::Data, GENERIC_READ, OPEN_ALWAYS, 1);
        if (probe != INVALID_HANDLE_VALUE) {
            CloseHandle(probe);
            break;
        }
        if (!heldByOther(GetLastError()))
            break;
        Sleep(50);
    }
    return &kWin32Files;
}

std::wstring storeFilePath(StoreFile file) { return filePath(file); }
