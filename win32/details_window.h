// The detailed statistics window: the list of logged connections and its remembered placement.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "core/layout.h"
#include "core/log_format.h"

// How the window was last left; stored little-endian as the registry value "Place".
struct DetailPlacement {
    int32_t gridState;       // "Show grid" menu state at closing: MF_CHECKED (8) or 0
    int32_t left;            // left edge of the normal-position rectangle
    int32_t top;             // top edge of the normal-position rectangle
    int32_t right;           // right edge of the normal-position rectangle
    int32_t bottom;          // bottom edge of the normal-position rectangle
    int32_t columnWidths[4]; // widths of "Date", "Time", "Duration" and "Cost" in pixels
    int32_t showCmd;         // show state at closing, used to show the window at the next opening
};
static_assert(sizeof(DetailPlacement) == kDetailPlacementSize, "the value \"Place\" is 40 bytes");

extern HWND detailsWindow;              // the window, or a handle that is no longer a window
extern HWND detailsList;                // its list view
extern DetailPlacement detailPlacement; // reloaded at each opening, stored at each closing
extern ViewFilter currentViewFilter;    // the filter the user chose last

// The placement to and from its stored bytes; a shorter value fills only its leading bytes.
void encodeDetailPlacement(const DetailPlacement& value, uint8_t out[kDetailPlacementSize]);
void overlayDetailPlacement(DetailPlacement& target, const uint8_t* bytes, size_t length);

// Creates the window when it is closed, then fills it; an open window is only refilled.
void openDetails(ViewFilter filter);
// Sets the title and rebuilds the rows of the filter from the stored log.
void fillDetails(ViewFilter filter);
LRESULT CALLBACK detailsWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
