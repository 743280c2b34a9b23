// The journal's bytes: a header naming the data file's state it began from, then batches of writes, each with a
// checksum chained from the one before; and the two kinds earlier releases left.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/layout.h"

// The data file as a journal finds it: its header bytes (zero beyond its length), its length, and its last
// record, which tells one log from another of the same length and header (a copy from before a Clear).
struct FileState {
    uint8_t header[kHeaderSize]; // the first 100 bytes, zeros where the file is shorter
    uint64_t length;             // the whole file's length
    uint8_t tail[kRecordSize];   // the last 32 bytes where the file holds a record, else zeros
};
// Whether the file holds a record, so that its tail is one.
constexpr bool hasTail(uint64_t length) { return length >= kHeaderSize + kRecordSize; }
bool sameState(const FileState& a, const FileState& b);

// One write of a batch: bytes at an offset, or the data file cut to `offset` when `cut` is set.
struct PendingWrite {
    uint64_t offset;            // where the bytes go, or the new length
    bool cut;                   // a change of length rather than a write
    std::vector<uint8_t> bytes; // what to write
};
using WriteBatch = std::vector<PendingWrite>;

// The state after one write, and after the first `count` of `writes`, applied to `state`.
FileState applyWrite(FileState state, const PendingWrite& write);
FileState applyWrites(FileState state, const WriteBatch& writes, size_t count);

// Which kind of journal a file holds.
enum class JournalKind {
    None,    // empty, or no whole batch: nothing to replay
    Current, // "TQJ3": a header with the base and a salt, then chained batches
    Second,  // "TQJ2": each batch carried the data file's state before it
    First,   // "TQJ1": batches of writes alone
};

// What a journal holds, as far as it is whole.
struct JournalContents {
    JournalKind kind;                // the kind, None when no batch is whole
    bool hasBase;                    // the base below is known (not for the first kind)
    bool hasBaseTail;                // the base's tail is known (the current kind only)
    FileState base;                  // the data file when the journal began
    uint32_t salt;                   // the current kind's salt
    std::vector<WriteBatch> batches; // the whole batches, in order
    size_t end;                      // bytes they take with the header: the next batch goes there
    uint32_t chain;                  // the last whole batch's checksum (the header's when none): the next one's seed
};

// The header of a new journal, appended to `out`; returns the chain's first link.
uint32_t encodeJournalHeader(const FileState& base, uint32_t salt, std::vector<uint8_t>& out);
// One batch, appended to `out`, its checksum seeded with `chain`; returns its checksum, the next batch's seed.
uint32_t encodeJournalBatch(const WriteBatch& batch, uint32_t chain, std::vector<uint8_t>& out);
// Reads a journal of any kind: the whole batches from the start, up to the first that is torn or does not chain.
JournalContents decodeJournal(const uint8_t* bytes, size_t size);
// The batches a journal of the first or second kind held, in their own bytes; for the fuzzer and the tests of
// an upgrade. `before` is the second kind's state of the data file before each batch.
void encodeOlderJournalBatch(JournalKind kind, const FileState& before, const WriteBatch& batch,
                             std::vector<uint8_t>& out);
