// The boxes that tell the user what keeps data from the data file, naming the file at fault and the system's reason.
#pragma once

#include <windows.h>

#include "core/data_store.h"

// Opens the boxes a tick found due, one at a time (the statistics window runs it for WM_STORENOTICE).
void showStoreNotices();
// At Exit: says where data that could not be written is kept, or that it cannot be kept and why. Nothing is
// shown when everything is written.
void tellOfUnwrittenDataAtExit();
// Clear was refused: which file, and why.
void tellClearRefused(HWND owner, const StoreResult& result);
// Sum Up or Reset was asked for before the figures could be read.
void tellFiguresNotRead();
// The system's own text for `error`, or a plain one for a hold, into `out`.
void describeFailure(const FileResult& result, char* out, size_t size);
// The file's name beside the program.
const char* storeFileName(StoreFile file);
