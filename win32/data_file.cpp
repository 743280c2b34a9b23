// The data file "Tq.dat": each operation opens, positions, transfers one field (or one run of records) and closes.
#include <windows.h>

#include "core/ports.h"
#include "core/layout.h"

namespace {

// Opened by its bare name, so it lies in the current directory (the executable's from start-up on).
const char kDataFileName[] = "Tq.dat";

// SetFilePointer with a zero high part reaches this far; a record slot beyond it is left alone.
constexpr uint64_t kReachableEnd = uint64_t{1} << 32;

// How long an operation waits for another process that holds the file (a backup, a virus scanner, a
// viewer) to let go, in tries 10 ms apart: a record must not be lost to a glance at the file.
constexpr int kSharingTries = 10;

// No sharing: another process cannot open the file while an operation holds it.
HANDLE openDataFile(DWORD access)
{
    for (int attempt = 1;; ++attempt) {
        const HANDLE file =
            CreateFileA(kDataFileName, access, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_SHARING_VIOLATION || attempt == kSharingTries)
            return file;
        Sleep(10);
    }
}

// A failed seek must not leave the file pointer at 0, where a write would land in the header.
bool seekTo(HANDLE file, uint64_t offset)
{
    LONG high = static_cast<LONG>(offset >> 32);
    SetLastError(NO_ERROR);
    const DWORD low = SetFilePointer(file, static_cast<LONG>(offset & 0xFFFFFFFFu), &high, FILE_BEGIN);
    return low != INVALID_SET_FILE_POINTER || GetLastError() == NO_ERROR;
}

// One write of `size` bytes at `offset`; an open or seek that fails loses the write without notice.
void writeAt(uint64_t offset, const uint8_t* bytes, DWORD size)
{
    const HANDLE file = openDataFile(GENERIC_WRITE);
    if (file == INVALID_HANDLE_VALUE)
        return;
    if (seekTo(file, offset)) {
        DWORD written = 0;
        WriteFile(file, bytes, size, &written, nullptr);
    }
    CloseHandle(file);
}

// One read of up to `size` bytes at `offset`; returns how many arrived (0 when the file could not be opened).
DWORD readAt(uint64_t offset, uint8_t* bytes, DWORD size)
{
    const HANDLE file = openDataFile(GENERIC_READ);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    DWORD read = 0;
    if (seekTo(file, offset) && !ReadFile(file, bytes, size, &read, nullptr))
        read = 0;
    CloseHandle(file);
    return read;
}

// Whether the whole 32-byte slot of record `index` lies where the file can be positioned.
bool slotReachable(int64_t index)
{
    return index >= 0 && recordOffset(index) + kRecordSize <= kReachableEnd;
}

} // namespace

void writeCounterBlock()
{
    uint8_t bytes[kCounterBlockSize];
    encodeCounterBlock(accounting.counterBlock, bytes);
    writeAt(kCounterBlockOffset, bytes, sizeof bytes);
}

void readCounterBlock()
{
    uint8_t bytes[kCounterBlockSize];
    const DWORD read = readAt(kCounterBlockOffset, bytes, sizeof bytes);
    overlayCounterBlock(accounting.counterBlock, bytes, read);
}

void writeMonthStamp()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    const SystemTime stamp{now.wYear, now.wMonth,  now.wDayOfWeek, now.wDay,
                           now.wHour, now.wMinute, now.wSecond,    now.wMilliseconds};
    uint8_t bytes[kSystemTimeSize];
    encodeSystemTime(stamp, bytes);
    writeAt(kMonthStampOffset, bytes, sizeof bytes);
}

bool readMonthStamp(SystemTime& stamp)
{
    // Bytes that do not arrive keep the caller's values, as with the other short reads.
    uint8_t bytes[kSystemTimeSize];
    encodeSystemTime(stamp, bytes);
    const DWORD read = readAt(kMonthStampOffset, bytes, sizeof bytes);
    stamp = decodeSystemTime(bytes);
    return read == kSystemTimeSize;
}

void writeRecordCount()
{
    uint8_t bytes[kRecordCountSize];
    putI32(bytes, accounting.recordCount);
    writeAt(kRecordCountOffset, bytes, sizeof bytes);
}

void readRecordCount()
{
    uint8_t bytes[kRecordCountSize];
    const DWORD read = readAt(kRecordCountOffset, bytes, sizeof bytes);
    overlayRecordCount(accounting.recordCount, bytes, read);
}

int32_t wholeRecordsInFile()
{
    // Asked of the directory, not of an open handle, so the answer comes even while another process holds
    // the file.
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(kDataFileName, GetFileExInfoStandard, &data))
        return GetLastError() == ERROR_FILE_NOT_FOUND ? 0 : -1;
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return -1;
    const uint64_t size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    const uint64_t reachable = size < kReachableEnd ? size : kReachableEnd;
    if (reachable <= kHeaderSize)
        return 0;
    return static_cast<int32_t>((reachable - kHeaderSize) / kRecordSize);
}

bool readRecord(int32_t index, ConnectionRecord& record)
{
    // A slot that is not wholly in the file (count stored without its record, the live connection's
    // reserved slot, a failed open) reads as an empty record, so callers can tell it and skip it.
    record = ConnectionRecord{};
    if (!slotReachable(index))
        return false;
    uint8_t bytes[kRecordSize];
    if (readAt(recordOffset(index), bytes, sizeof bytes) != kRecordSize)
        return false;
    record = decodeRecord(bytes);
    return true;
}

void appendRecord(ConnectionRecord record)
{
    // The caller has already counted the record; with no slot counted there is none to fill,
    // and slot -1 would overwrite the header.
    const int64_t index = static_cast<int64_t>(accounting.recordCount) - 1;
    if (accounting.recordCount < 1 || !slotReachable(index))
        return;
    uint8_t bytes[kRecordSize];
    encodeRecord(record, bytes);
    writeAt(recordOffset(index), bytes, sizeof bytes);
}

int32_t readRecords(int32_t first, int32_t count, ConnectionRecord* out)
{
    if (count <= 0 || !slotReachable(first))
        return 0;
    const HANDLE file = openDataFile(GENERIC_READ);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    int32_t done = 0;
    if (seekTo(file, recordOffset(first))) {
        // Read in blocks so that a count larger than the file costs nothing more than the file holds.
        uint8_t block[kRecordSize * 256];
        while (done < count && slotReachable(static_cast<int64_t>(first) + done)) {
            const int32_t wanted = count - done < 256 ? count - done : 256;
            DWORD read = 0;
            if (!ReadFile(file, block, static_cast<DWORD>(wanted * kRecordSize), &read, nullptr))
                break;
            const int32_t whole = static_cast<int32_t>(read / kRecordSize);
            for (int32_t i = 0; i < whole; ++i)
                out[done + i] = decodeRecord(block + i * kRecordSize);
            done += whole;
            if (whole < wanted)
                break;
        }
    }
    CloseHandle(file);
    return done;
}

void rewriteLog(const ConnectionRecord* records, int32_t count)
{
    const HANDLE file = openDataFile(GENERIC_WRITE);
    if (file == INVALID_HANDLE_VALUE)
        return;
    if (seekTo(file, kHeaderSize) && SetEndOfFile(file)) {
        uint8_t block[kRecordSize * 256];
        for (int32_t done = 0; done < count && slotReachable(done);) {
            const int32_t chunk = count - done < 256 ? count - done : 256;
            for (int32_t i = 0; i < chunk; ++i)
                encodeRecord(records[done + i], block + i * kRecordSize);
            DWORD written = 0;
            if (!WriteFile(file, block, static_cast<DWORD>(chunk * kRecordSize), &written, nullptr))
                break;
            done += chunk;
        }
    }
    CloseHandle(file);
}

void truncateLog()
{
    const HANDLE file = openDataFile(GENERIC_WRITE);
    if (file == INVALID_HANDLE_VALUE)
        return;
    if (seekTo(file, kHeaderSize))
        SetEndOfFile(file);
    CloseHandle(file);
}
