// The read-through view of the data file: its own bytes, with the writes of every pending batch laid over them.
#include "core/store_view.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/pager.h"

int64_t viewLength()
{
    const FileSeam* seam = pagerSeam();
    int64_t length = seam == nullptr ? 0 : seam->length(StoreFile::Data);
    for (const WriteBatch& batch : pendingBatches())
        for (const PendingWrite& write : batch) {
            if (write.cut)
                length = static_cast<int64_t>(write.offset);
            else if (length >= 0)
                length = std::max(length, static_cast<int64_t>(write.offset + write.bytes.size()));
        }
    return length;
}

size_t readView(uint64_t offset, uint8_t* bytes, size_t size)
{
    const FileSeam* seam = pagerSeam();
    std::vector<uint8_t> window(size, 0);
    size_t read = 0;
    bool fileRead = seam != nullptr;
    if (seam != nullptr) {
        const FileResult result = seam->read(StoreFile::Data, offset, window.data(), size, read);
        fileRead = done(result);
        if (!fileRead) {
            noteReadFailure(StoreFile::Data, result);
            read = 0;
        }
    }
    const std::deque<WriteBatch>& pending = pendingBatches();
    if (pending.empty()) {
        std::memcpy(bytes, window.data(), read);
        return read;
    }
    // The file's own bytes reach `end`; pending writes then change and extend them.
    int64_t end = static_cast<int64_t>(offset + read);
    if (fileRead && read == size)
        end = std::max(end, seam->length(StoreFile::Data));
    std::vector<bool> known(size, fileRead);
    for (const WriteBatch& batch : pending)
        for (const PendingWrite& write : batch) {
            if (write.cut) {
                for (uint64_t at = std::max(write.offset, offset); at < offset + size; ++at)
                    window[at - offset] = 0, known[at - offset] = true;
                end = static_cast<int64_t>(write.offset);
                continue;
            }
            const uint64_t from = std::max(write.offset, offset);
            const uint64_t to = std::min(write.offset + write.bytes.size(), offset + size);
            for (uint64_t at = from; at < to; ++at)
                window[at - offset] = write.bytes[at - write.offset], known[at - offset] = true;
            end = std::max(end, static_cast<int64_t>(write.offset + write.bytes.size()));
        }
    int64_t delivered = std::clamp<int64_t>(end - static_cast<int64_t>(offset), 0, static_cast<int64_t>(size));
    delivered = std::find(known.begin(), known.begin() + delivered, false) - known.begin();
    std::memcpy(bytes, window.data(), static_cast<size_t>(delivered));
    return static_cast<size_t>(delivered);
}
