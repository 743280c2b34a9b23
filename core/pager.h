// The protocol that keeps the data file whole (core/store_protocol.md): batches journaled, landed, the journal
// retired, and a journal an ended process left replayed whole. What the store's other files ask of it.
#pragma once

#include <deque>

#include "core/file_seam.h"
#include "core/journal_format.h"

// Starts afresh on `seam`, as a new process does, and settles what an ended one left.
void pagerOpen(const FileSeam* seam);
// The file system the store works on; nullptr when there is none.
const FileSeam* pagerSeam();
// The batches not yet wholly in the data file, oldest first: readers lay them over the file.
const std::deque<WriteBatch>& pendingBatches();
// Queues a batch behind everything pending and tries at once to journal and land it.
void queueBatch(WriteBatch batch);
// A read of `file` failed: counted, and kept to be named.
void noteReadFailure(StoreFile file, const FileResult& result);
// Whether the data file may be replaced now (nothing waits, no journal lives); else `why` names the file at fault.
bool mayReplaceData(StoreResult& why);
// The data file was replaced whole and stands as `now`.
void dataReplaced(const FileState& now);
// The data file's length and header as they stand; false when they cannot be read (counted as a failed read).
bool readFileState(FileState& state);
