// The data file read as though every pending batch had landed: what the lists, the export and the figures see.
#pragma once

#include <cstddef>
#include <cstdint>

// Reads up to `size` bytes at `offset` of the data file with the pending batches laid over it; returns how many
// the file would deliver. Where the file cannot be read, only the bytes pending writes supply are known, from
// the window's start on (the failed read is counted).
size_t readView(uint64_t offset, uint8_t* bytes, size_t size);
// The data file's length once what is pending has landed; -1 when unknown.
int64_t viewLength();
