// The connection log as stored: which records a Clear keeps, Clear itself, and the log loaded as far as it goes
// or whole.
#pragma once

#include <cstdint>
#include <vector>

#include "core/file_seam.h"
#include "core/state.h"

// The records a Clear keeps.
enum ClearMode : int32_t { ClearAll = 0, ClearUntilCurrentMonth = 1, ClearUntilLastMonth = 2 };

// Whether a Clear in this mode keeps the record.
bool clearKeeps(ClearMode mode, const SystemTime& start, const SystemTime& today);
// Clear: stores again, in their order, the stored records the mode keeps, with their count; a live connection
// then has its slot right after them. When the whole log could not be read or the file could not be replaced
// (another program holds it, writes to it are still pending, the folder refuses the new file), the file and the
// count stay as they were and the result names the file at fault.
StoreResult clearStoredLog(ClearMode mode);

// The records actually stored among the first recordCount slots, oldest first. Reading stops at the first
// slot that is not wholly in the file, so the live connection's reserved slot and a count larger than the
// stored log yield no rows, and nothing is allocated by an unchecked count.
std::vector<ConnectionRecord> loadStoredLog();
// The same for Clear and the export, which must have every record or none: false when a read failed or the
// file delivered fewer records than it stores.
bool readWholeStoredLog(std::vector<ConnectionRecord>& records);
