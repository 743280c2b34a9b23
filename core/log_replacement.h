// Clear's new log: built beside the data file, flushed, and put in its place in one step.
#pragma once

#include <cstdint>

#include "core/file_seam.h"
#include "core/state.h"

// The data file as it stands with `count` records from offset 100 on and the count field set to `count`. On
// failure the old file stays as it was, and the result names the file at fault. Refused while writes wait or
// a journal lives.
StoreResult replaceDataFile(const ConnectionRecord* records, int32_t count);
