// The store's protocol as core/store_protocol.md writes it down: journal, land, retire;
// and at a start, a journal replayed whole where it fits the data file or set aside where it does not.
#include "core/pager.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/clock.h"
#include "core/data_store.h"

namespace {

// After a failure, ticks let pass before the next try: a second of the 50 ms poll.
constexpr int kRetryTicks = 20;

// The store's state: the files, what waits for the data file, and how far the journal holds it.
struct Pager {
    const FileSeam* seam;          // the file system, nullptr before opening or where there is none
    bool settled;                  // the journal an ended process left has been dealt with
    FileState landed;              // the data file as the landed batches (or the last reading) left it
    std::deque<WriteBatch> pending; // batches not yet wholly in the data file, oldest first
    size_t written;                // of those, from the front, how many were written into the journal
    size_t journaled;              // of those, how many the journal holds flushed (never more than written)
    bool live;                     // the journal may hold whole batches: the data file changes only through it
    bool appendable;               // the live journal is of the current kind, so new batches may follow in it
    bool foreign;                  // a journal that does not fit the data file lies there, not yet set aside
    uint64_t journalEnd;           // bytes of the journal's header and written batches; 0 before a header
    uint32_t chain;                // the checksum the next batch in the journal is seeded with
    uint32_t journalsBegun;        // journals this process began, for the salt of the next
    bool dataUnflushed;            // the data file was written since it was last flushed
    int quietTicks;                // ticks still to let pass before a try from a tick
    bool figuresUnread;            // start-up's reading of the figures waits for the data file
    uint64_t readFailures;         // failed reads of the data file
    StoreResult readFailure;       // the latest failed read of any of the files
    StoreTrouble trouble;          // why data waits, and whether the user knows
    char setAsideName[16];         // where a journal that did not fit went, until the user is told
};

Pager pager{};

// A call failed: the episode begins (or goes on), and the next try from a tick waits a second.
void noteTrouble(StoreFile file, const FileResult& result)
{
    if (!pager.trouble.waiting) {
        pager.trouble.waiting = true;
        pager.trouble.since = calendarNow();
    }
    pager.trouble.file = file;
    pager.trouble.result = result;
    pager.quietTicks = kRetryTicks;
}

// The episode ends when nothing waits any more; a later one is told again.
void endEpisodeWhenClear()
{
    if (pager.settled && !pager.foreign && !pager.figuresUnread && pager.pending.empty()) {
        pager.trouble.waiting = false;
        pager.trouble.reported = false;
    }
}

// A whole file into `bytes`; false, with the failure noted, when it cannot be read.
bool readWholeFile(StoreFile file, std::vector<uint8_t>& bytes)
{
    const int64_t length = pager.seam->length(file);
    bytes.assign(length > 0 ? static_cast<size_t>(length) : 1, 0);
    size_t got = 0;
    // Read even when the length could not be learned: the read says why.
    const FileResult result = pager.seam->read(file, 0, bytes.data(), bytes.size(), got);
    if (!done(result) || length < 0) {
        const FileResult why = done(result) ? FileResult{FileOutcome::Failed, 0} : result;
        noteReadFailure(file, why);
        noteTrouble(file, why);
        return false;
    }
    bytes.resize(got);
    return true;
}

// Each header byte the base has or a write puts there, and the length between the shortest and the longest
// the writes lead through: the data file could have come from the base through them, landed in any part.
bool fitsFromBase(const JournalContents& journal, const FileState& file)
{
    FileState state = journal.base;
    uint64_t shortest = state.length;
    uint64_t longest = shortest;
    bool possible[kHeaderSize];
    for (size_t at = 0; at < kHeaderSize; ++at)
        possible[at] = file.header[at] == journal.base.header[at];
    // The last record is, byte by byte, one that a state of the same length ends with (or a zero of a record
    // landed in part): a copy of the log from before a Clear has the same header and length, not the same records.
    bool tailPossible[kRecordSize] = {};
    bool sameLength = false;
    const auto markTail = [&](const FileState& candidate) {
        if (candidate.length != file.length)
            return;
        sameLength = true;
        for (size_t at = 0; at < kRecordSize; ++at)
            tailPossible[at] = tailPossible[at] || candidate.tail[at] == file.tail[at] || file.tail[at] == 0;
    };
    markTail(state);
    for (const WriteBatch& batch : journal.batches)
        for (const PendingWrite& write : batch) {
            state = applyWrite(state, write);
            shortest = std::min(shortest, state.length);
            longest = std::max(longest, state.length);
            markTail(state);
            for (uint64_t at = write.offset; at < kHeaderSize; ++at)
                if (write.cut ? file.header[at] == 0
                              : at < write.offset + write.bytes.size() && write.bytes[at - write.offset] == file.header[at])
                    possible[at] = true;
        }
    const bool tailFits = !journal.hasBaseTail || !hasTail(file.length) || !sameLength ||
                          std::all_of(tailPossible, tailPossible + kRecordSize, [](bool byte) { return byte; });
    return tailFits && file.length >= shortest && file.length <= longest &&
           std::all_of(possible, possible + kHeaderSize, [](bool byte) { return byte; });
}

// A journal of the first kind names no state: it fits where the records it writes start no further than the
// file's end and the file ends no further than they do (a journal of Sum Ups alone always fits).
bool firstKindFits(const JournalContents& journal, const FileState& file)
{
    uint64_t lowest = UINT64_MAX;
    uint64_t highest = 0;
    for (const WriteBatch& batch : journal.batches)
        for (const PendingWrite& write : batch)
            if (!write.cut && write.offset >= kHeaderSize) {
                lowest = std::min(lowest, write.offset);
                highest = std::max(highest, write.offset + write.bytes.size());
            }
    // A file that ends inside the header holds no record yet: its records begin where the header ends.
    const uint64_t length = std::max<uint64_t>(file.length, kHeaderSize);
    return lowest == UINT64_MAX || (length >= lowest && length <= highest);
}

void setAsideJournal()
{
    const FileResult result = pager.seam->setAsideJournal(pager.setAsideName, sizeof pager.setAsideName);
    if (done(result)) {
        pager.foreign = false;
        return;
    }
    pager.setAsideName[0] = '\0';
    pager.foreign = true;
    noteTrouble(StoreFile::Journal, result);
}

bool retireJournal();

// Start: reads the journal an ended process left and the data file's state; false, changing nothing, while
// either cannot be read. A journal that fits is replayed whole: its batches go first.
bool settle()
{
    if (pager.settled || pager.seam == nullptr)
        return true;
    std::vector<uint8_t> bytes;
    FileState file;
    if (!readWholeFile(StoreFile::Journal, bytes))
        return false;
    if (!readFileState(file)) {
        noteTrouble(pager.readFailure.file, FileResult{pager.readFailure.outcome, pager.readFailure.error});
        return false;
    }
    pager.settled = true;
    pager.landed = file;
    // What the ended process wrote may not be on the disk yet: flushed before a journal takes it as its base.
    pager.dataUnflushed = file.length > 0;
    // What an interrupted Clear left beside the data file never took its place.
    pager.seam->remove(StoreFile::Fresh);
    const JournalContents journal = decodeJournal(bytes.data(), bytes.size());
    if (journal.kind == JournalKind::None) {
        // No whole batch: nothing to replay. But what it held before a cut that never reached the disk may come
        // back at a power loss, so it counts as live until it is deleted, or cut and flushed, here.
        pager.live = true;
        retireJournal();
        return true;
    }
    if (!(journal.hasBase ? fitsFromBase(journal, file) : firstKindFits(journal, file))) {
        setAsideJournal();
        return true;
    }
    // Batches queued before the journal was read follow its own.
    std::deque<WriteBatch> early = std::move(pager.pending);
    pager.pending.assign(journal.batches.begin(), journal.batches.end());
    pager.pending.insert(pager.pending.end(), early.begin(), early.end());
    pager.written = journal.batches.size();
    pager.journaled = 0;
    pager.live = true;
    pager.appendable = journal.kind == JournalKind::Current;
    pager.journalEnd = journal.end;
    pager.chain = journal.chain;
    pager.journalsBegun = journal.salt;
    return true;
}

bool flushData()
{
    if (!pager.dataUnflushed)
        return true;
    const FileResult flushed = pager.seam->flush(StoreFile::Data);
    if (!done(flushed)) {
        noteTrouble(StoreFile::Data, flushed);
        return false;
    }
    pager.dataUnflushed = false;
    return true;
}

bool journalRefused(const FileResult& result)
{
    pager.trouble.journalFailure = result;
    noteTrouble(StoreFile::Journal, result);
    return false;
}

// A new journal: the data file on the disk as it stands, its state the base, a salt of its own.
bool beginJournal()
{
    if (!flushData())
        return false;
    FileState base;
    if (!readFileState(base))
        base = pager.landed;
    pager.live = true;
    pager.appendable = true;
    const uint32_t salt = ++pager.journalsBegun ^ static_cast<uint32_t>(calendarNow());
    std::vector<uint8_t> bytes;
    const uint32_t chain = encodeJournalHeader(base, salt, bytes);
    const FileResult result = pager.seam->write(StoreFile::Journal, 0, bytes.data(), bytes.size());
    if (!done(result))
        return journalRefused(result);
    pager.journalEnd = bytes.size();
    pager.chain = chain;
    pager.written = 0;
    pager.journaled = 0;
    return true;
}

// Step 1: the batches not in the journal are appended after its last whole batch, then it is flushed. True when
// every pending batch is journaled. A failure changes nothing: the same bytes go to the same place next time.
bool journalPending()
{
    if (pager.journalEnd == 0 && !beginJournal())
        return false;
    while (pager.appendable && pager.written < pager.pending.size()) {
        std::vector<uint8_t> bytes;
        const uint32_t chain = encodeJournalBatch(pager.pending[pager.written], pager.chain, bytes);
        const FileResult result = pager.seam->write(StoreFile::Journal, pager.journalEnd, bytes.data(), bytes.size());
        if (!done(result))
            return journalRefused(result);
        pager.journalEnd += bytes.size();
        pager.chain = chain;
        ++pager.written;
    }
    if (pager.journaled < pager.written) {
        const FileResult flushed = pager.seam->flush(StoreFile::Journal);
        if (!done(flushed))
            return journalRefused(flushed);
        pager.journaled = pager.written;
    }
    pager.trouble.journalFailure = FileResult{FileOutcome::Done, 0};
    return pager.journaled == pager.pending.size();
}

FileResult writeToData(const PendingWrite& write)
{
    return write.cut ? pager.seam->setLength(StoreFile::Data, write.offset)
                     : pager.seam->write(StoreFile::Data, write.offset, write.bytes.data(), write.bytes.size());
}

// Writes the oldest batch into the data file; on a failure it stays first, to be written again whole.
bool landFront()
{
    const WriteBatch& batch = pager.pending.front();
    for (const PendingWrite& write : batch) {
        const FileResult result = writeToData(write);
        pager.dataUnflushed = true;
        if (!done(result)) {
            noteTrouble(StoreFile::Data, result);
            return false;
        }
    }
    pager.landed = applyWrites(pager.landed, batch, batch.size());
    pager.pending.pop_front();
    pager.written -= std::min<size_t>(pager.written, 1);
    pager.journaled -= std::min<size_t>(pager.journaled, 1);
    return true;
}

// Step 2: the journaled batches into the data file, oldest first.
void landJournaled()
{
    while (pager.journaled > 0 && landFront()) {
    }
}

// Step 4: the data file flushed with everything the journal held, then the journal deleted or emptied.
bool retireJournal()
{
    if (!flushData())
        return false;
    FileResult result = pager.seam->remove(StoreFile::Journal);
    // Where it cannot be deleted, it is cut to nothing, and the cut flushed: a power loss must not bring its
    // batches back over a file that has moved on.
    if (!done(result)) {
        const FileResult cut = pager.seam->setLength(StoreFile::Journal, 0);
        if (done(cut)) {
            // Empty now: a new journal begins at its start, while it stays live until the cut is flushed.
            pager.journalEnd = 0;
            result = pager.seam->flush(StoreFile::Journal);
        }
    }
    if (!done(result)) {
        noteTrouble(StoreFile::Journal, result);
        return false;
    }
    pager.live = false;
    pager.appendable = true;
    pager.journalEnd = 0;
    pager.written = 0;
    pager.journaled = 0;
    return true;
}

// One try of the four steps.
void advance()
{
    if (pager.seam == nullptr || !settle())
        return;
    if (pager.foreign)
        setAsideJournal();
    if (pager.foreign)
        return;
    if (!pager.pending.empty())
        journalPending();
    landJournaled();
    if (pager.journaled > 0)
        return; // the data file refused a journaled batch: it waits
    if (pager.pending.empty()) {
        if (pager.live)
            retireJournal();
        else
            flushData();
        return;
    }
    // The oldest batch is not in the journal: it waits for it. A journal of an earlier kind, every batch of its
    // own landed, gives way to a new one.
    if (pager.live && !pager.appendable && pager.written == 0 && retireJournal() && journalPending())
        landJournaled();
}

void tryNow()
{
    advance();
    endEpisodeWhenClear();
}

} // namespace

const FileSeam* pagerSeam() { return pager.seam; }

const std::deque<WriteBatch>& pendingBatches() { return pager.pending; }

void queueBatch(WriteBatch batch)
{
    if (batch.empty() || pager.seam == nullptr)
        return;
    pager.pending.push_back(std::move(batch));
    tryNow();
}

void noteReadFailure(StoreFile file, const FileResult& result)
{
    if (file == StoreFile::Data)
        ++pager.readFailures;
    pager.readFailure = StoreResult{result.outcome, file, result.error};
}

bool readFileState(FileState& state)
{
    state = FileState{};
    size_t got = 0;
    // Read first: a file that cannot be opened says why, which its length cannot.
    FileResult result = pager.seam->read(StoreFile::Data, 0, state.header, kHeaderSize, got);
    const int64_t length = pager.seam->length(StoreFile::Data);
    if (done(result) && length < 0)
        result = FileResult{FileOutcome::Failed, 0};
    if (!done(result)) {
        noteReadFailure(StoreFile::Data, result);
        return false;
    }
    state.length = std::max<uint64_t>(static_cast<uint64_t>(length), got);
    if (hasTail(state.length)) {
        result = pager.seam->read(StoreFile::Data, state.length - kRecordSize, state.tail, kRecordSize, got);
        if (!done(result) || got != kRecordSize) {
            noteReadFailure(StoreFile::Data, done(result) ? FileResult{FileOutcome::Failed, 0} : result);
            return false;
        }
    }
    return true;
}

bool mayReplaceData(StoreResult& why)
{
    tryNow();
    if (!pager.settled || !pager.pending.empty() || pager.foreign) {
        why = StoreResult{pager.trouble.result.outcome, pager.trouble.file, pager.trouble.result.error};
        return false;
    }
    if (pager.live) {
        const bool journalFailed = pager.trouble.file == StoreFile::Journal;
        why = StoreResult{FileOutcome::Held, StoreFile::Journal, journalFailed ? pager.trouble.result.error : 0};
        return false;
    }
    return true;
}

void dataReplaced(const FileState& now)
{
    pager.landed = now;
    pager.dataUnflushed = false;
}

void pagerOpen(const FileSeam* seam)
{
    pager = Pager{};
    pager.seam = seam;
    pager.appendable = true;
    tryNow();
}

void retryPendingWrites() { tryNow(); }

void retryPendingWritesAtTick()
{
    if (pager.quietTicks > 0) {
        --pager.quietTicks;
        return;
    }
    if (!pager.settled || pager.foreign || pager.live || !pager.pending.empty() || pager.dataUnflushed)
        tryNow();
}

bool dataStoreReady() { return pager.settled || pager.seam == nullptr; }

bool writesPending() { return !pager.pending.empty(); }

bool pendingWritesJournaled() { return pager.journaled == pager.pending.size(); }

bool everythingDurable()
{
    return pager.settled && pager.pending.empty() && !pager.live && !pager.foreign && !pager.dataUnflushed;
}

bool journalLeftOver() { return pager.live || pager.foreign; }

uint64_t dataFileReadFailures() { return pager.readFailures; }

StoreResult latestReadFailure() { return pager.readFailure; }

void noteFiguresUnread(bool unread)
{
    pager.figuresUnread = unread;
    if (unread)
        noteTrouble(pager.readFailure.file, FileResult{pager.readFailure.outcome, pager.readFailure.error});
    else
        endEpisodeWhenClear();
}

StoreTrouble storeTrouble() { return pager.trouble; }

void markTroubleReported() { pager.trouble.reported = true; }

bool takeSetAsideNotice(char* name, size_t size)
{
    if (pager.setAsideName[0] == '\0')
        return false;
    std::snprintf(name, size, "%s", pager.setAsideName);
    pager.setAsideName[0] = '\0';
    return true;
}
