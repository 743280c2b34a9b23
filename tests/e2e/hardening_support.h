// Helpers of the hardening and soak tests beyond the harness: data file images, connections, the
// detailed list with its Clear and export, and the program's own confirmations.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/e2e/harness.h"

namespace e2e {

using Bytes = std::vector<uint8_t>;

// Leaves the program's windows unmanaged by the X driver: without a window manager Wine otherwise
// waits two seconds for each closed box. Call before the program starts.
void leaveProgramWindowsUnmanaged();

// A whole data file: recognisable totals, this month's stamp, patterned reserved bytes, the count and
// `records` records of this month (day 1, one hour apart), each different from the others.
Bytes dataImage(int32_t count, int records);
// Record slots of an image that are wholly present.
int wholeSlots(size_t length);
// Whether slot `slot` of both images holds the same 32 bytes.
bool sameSlot(const Bytes& a, const Bytes& b, int slot);
// The first difference between the header's reserved bytes of `before` (where present) and `after`; -1 if none.
int changedReservedByte(const Bytes& before, const Bytes& after);

// A first start for a fresh user, ended through the program's own Exit; afterwards starts load the file.
bool firstStartAndExit(const std::string& folder);

// A connection that is up for `milliseconds` and then drops; waits until the data file differs
// from what it was before (or the time runs out) and returns whether it changed.
bool connectionOf(const std::string& folder, DWORD milliseconds);

// The detailed window, opened with the main menu's "Show detailed... All"; nullptr when none appears.
HWND openDetailsList(const Program& program);
// Rows of its list.
int listRows(HWND details);
// "Save in file" > "All": answers the save dialog with `path`, or the "No data" box.
// Returns the box's "caption|text", or "saved" when the dialog was answered.
std::string exportAll(const Program& program, HWND details, const std::string& path);
// "Clear" > "Until current month", confirmed; returns the confirmation's "caption|text".
std::string clearUntilCurrentMonth(const Program& program, HWND details);

} // namespace e2e
