// The data file "Tq.dat" and its side files on Win32: the file seam the store works on.
#include <windows.h>

#include "core/ports.h"

namespace {

// Opened by their bare names, so they lie in the current directory (the executable's from start-up on).
const char* fileName(StoreFile file)
{
    switch (file) {
    case StoreFile::Journal: return "Tq.jnl";
    case StoreFile::Fresh: return "Tq.new";
    case StoreFile::Data: break;
    }
    return "Tq.dat";
}

// SetFilePointer with a zero high part reaches this far; nothing is positioned beyond it.
constexpr uint64_t kReachableEnd = uint64_t{1} << 32;

// How long a read waits for another process that holds the file (a backup, a virus scanner, a viewer) to
// let go, in tries 10 ms apart. Writes do not wait: what they could not store stays pending until a later tick.
constexpr int kSharingTries = 10;

bool heldByOther(DWORD error) { return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION; }

// No sharing: another process cannot open the file while an operation holds it. The journal is written
// through, so a batch is on the disk before any of its writes reaches the data file.
HANDLE openFile(StoreFile file, DWORD access, int tries)
{
    const DWORD flags = FILE_ATTRIBUTE_NORMAL | (file == StoreFile::Journal ? FILE_FLAG_WRITE_THROUGH : 0);
    for (int attempt = 1;; ++attempt) {
        const HANDLE handle = CreateFileA(fileName(file), access, 0, nullptr, OPEN_ALWAYS, flags, nullptr);
        if (handle != INVALID_HANDLE_VALUE || !heldByOther(GetLastError()) || attempt >= tries)
            return handle;
        Sleep(10);
    }
}

FileOutcome openFailure() { return heldByOther(GetLastError()) ? FileOutcome::Held : FileOutcome::Failed; }

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

FileOutcome writeFile(StoreFile file, uint64_t offset, const uint8_t* bytes, size_t size)
{
    const HANDLE handle = openFile(file, GENERIC_WRITE, 1);
    if (handle == INVALID_HANDLE_VALUE)
        return openFailure();
    DWORD written = 0;
    const bool done = seekTo(handle, offset) &&
                      WriteFile(handle, bytes, static_cast<DWORD>(size), &written, nullptr) && written == size;
    CloseHandle(handle);
    return done ? FileOutcome::Done : FileOutcome::Failed;
}

int64_t readFile(StoreFile file, uint64_t offset, uint8_t* bytes, size_t size)
{
    // Reading must not create a missing side file.
    if (file != StoreFile::Data && GetFileAttributesA(fileName(file)) == INVALID_FILE_ATTRIBUTES)
        return 0;
    const HANDLE handle = openFile(file, GENERIC_READ, kSharingTries);
    if (handle == INVALID_HANDLE_VALUE)
        return -1;
    DWORD read = 0;
    if (!seekTo(handle, offset) || !ReadFile(handle, bytes, static_cast<DWORD>(size), &read, nullptr))
        read = 0;
    CloseHandle(handle);
    return read;
}

FileOutcome setFileLength(StoreFile file, uint64_t length)
{
    const HANDLE handle = openFile(file, GENERIC_WRITE, 1);
    if (handle == INVALID_HANDLE_VALUE)
        return openFailure();
    const bool done = seekTo(handle, length) && SetEndOfFile(handle);
    CloseHandle(handle);
    return done ? FileOutcome::Done : FileOutcome::Failed;
}

int64_t fileLength(StoreFile file)
{
    // Asked of the directory, not of an open handle, so the answer comes even while another process holds it.
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(fileName(file), GetFileExInfoStandard, &data))
        return GetLastError() == ERROR_FILE_NOT_FOUND ? 0 : -1;
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return -1;
    return static_cast<int64_t>((static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
}

bool removeFile(StoreFile file)
{
    return DeleteFileA(fileName(file)) || GetLastError() == ERROR_FILE_NOT_FOUND;
}

FileOutcome replaceDataFile()
{
    if (MoveFileExA(fileName(StoreFile::Fresh), fileName(StoreFile::Data),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return FileOutcome::Done;
    return GetLastError() == ERROR_ACCESS_DENIED || heldByOther(GetLastError()) ? FileOutcome::Held
                                                                                : FileOutcome::Failed;
}

const FileSeam kWin32Files{writeFile, readFile, setFileLength, fileLength, removeFile, replaceDataFile};

// How long start-up waits for another process to let go of the data file, in tries 50 ms apart: what it
// reads then (the totals, the stamp, the count) cannot wait for a later tick as writes can.
constexpr int kStartupTries = 100;

} // namespace

// Asked by the first data-file operation, which start-up makes after moving to the executable's folder.
const FileSeam* dataFileSeam()
{
    for (int attempt = 1; attempt < kStartupTries; ++attempt) {
        const HANDLE probe = openFile(StoreFile::Data, GENERIC_READ, 1);
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
