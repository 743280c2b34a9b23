// Where the store's files lie, for the boxes that name them.
#pragma once

#include <string>

#include "core/file_seam.h"

// The full path the file seam opens `file` by (the first set-aside name for a set-aside journal).
std::wstring storeFilePath(StoreFile file);
