// Clear's replacement of the data file: the new log written whole beside it, then moved into its place.
#include "core/log_replacement.h"

#include <algorithm>
#include <cstring>

#include "core/data_store.h"
#include "core/layout.h"
#include "core/pager.h"

namespace {

constexpr int64_t kReachableRecords = static_cast<int64_t>((kReachableEnd - kHeaderSize) / kRecordSize);

StoreResult failedOn(StoreFile file, const FileResult& result) { return StoreResult{result.outcome, file, result.error}; }

// Writes the new log beside the data file, cut to its own length (a stale file that could not be deleted may
// be longer), and flushes it.
FileResult writeFreshLog(const uint8_t (&header)[kHeaderSize], const ConnectionRecord* records, int32_t count)
{
    const FileSeam& seam = *pagerSeam();
    seam.remove(StoreFile::Fresh);
    FileResult result = seam.write(StoreFile::Fresh, 0, header, kHeaderSize);
    constexpr int32_t kBlock = 256;
    uint8_t block[kRecordSize * kBlock];
    const int32_t stored = static_cast<int32_t>(std::min<int64_t>(count, kReachableRecords));
    for (int32_t written = 0; done(result) && written < stored;) {
        const int32_t chunk = std::min(stored - written, kBlock);
        for (int32_t i = 0; i < chunk; ++i)
            encodeRecord(records[written + i], block + i * kRecordSize);
        result = seam.write(StoreFile::Fresh, recordOffset(written), block, static_cast<size_t>(chunk) * kRecordSize);
        written += chunk;
    }
    if (done(result))
        result = seam.setLength(StoreFile::Fresh, recordOffset(stored));
    return done(result) ? seam.flush(StoreFile::Fresh) : result;
}

} // namespace

StoreResult replaceDataFile(const ConnectionRecord* records, int32_t count)
{
    if (pagerSeam() == nullptr)
        return StoreResult{FileOutcome::Failed, StoreFile::Data, 0};
    // Anything still on its way to the old file would land in the new one at offsets that mean other things,
    // and a live journal would be replayed onto a log it was not written for.
    StoreResult refused{};
    if (!mayReplaceData(refused))
        return refused;
    // The header is kept byte for byte, as cutting the old file to it kept it; a short one grows with zeros.
    FileState file;
    if (!readFileState(file))
        return latestReadFailure();
    uint8_t header[kHeaderSize];
    std::memcpy(header, file.header, kHeaderSize);
    putI32(header + kRecordCountOffset, count);
    FileResult result = writeFreshLog(header, records, count);
    if (!done(result)) {
        pagerSeam()->remove(StoreFile::Fresh);
        return failedOn(StoreFile::Fresh, result);
    }
    result = pagerSeam()->replaceData();
    if (!done(result)) {
        pagerSeam()->remove(StoreFile::Fresh);
        return failedOn(StoreFile::Data, result);
    }
    FileState now{};
    std::memcpy(now.header, header, kHeaderSize);
    const int64_t stored = std::min<int64_t>(count, kReachableRecords);
    now.length = recordOffset(stored);
    if (stored > 0)
        encodeRecord(records[stored - 1], now.tail);
    dataReplaced(now);
    return StoreResult{FileOutcome::Done, StoreFile::Data, 0};
}
