// The detailed statistics window: the list of logged connections and its remembered placement.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "core/layout.h"
#include "core/log_format.h"

// The placement to and from its stored bytes; a shorter value fills only its leading bytes.
void encodeDetailPlacement(const DetailPlacement& value, uint8_t out[kDetailPlacementSize]);
void overlayDetailPlacement(DetailPlacement& target, const uint8_t* bytes, size_t length);

// Creates the window when it is closed, then fills it; an open window is only refilled.
void openDetails(ViewFilter filter);
// Sets the title and rebuilds the rows of the filter from the stored log.
void fillDetails(ViewFilter filter);
LRESULT CALLBACK detailsWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
