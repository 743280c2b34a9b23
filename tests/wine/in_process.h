// The program's own code run in the test's process: a start and an end as the entry point makes them, and the
// state the windows' tests start from. The kit (tests/support/kit.h) holds everything else.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "tests/support/kit.h"

namespace inproc {

// Tq.dat in the test program's folder, where a start of the program in this process reads and writes it.
std::string dataFilePath();
// Everything a start leaves behind: the program's registry entries and the data file.
void forgetEarlierRuns();
// Zeroes the process-wide records as a fresh process has them.
void zeroRecords();
// A start as the entry point makes it, on zeroed records: the module handle, then initApplication()'s result.
bool startApplication();
// What the program's end destroys, plus what a later start in the same process needs undone.
void endApplication();
// Makes the folder the program's own, as a start from it would: exeDirectory and programFolder(), with a
// trailing backslash.
void takeAsProgramFolder(const std::string& folder);
// Gives the currency symbol as a successful locale lookup leaves it: the text and its length with the NUL.
void useCurrencySymbol(const char* symbol);
// Whether the tray menu's item of this command is grayed.
bool trayItemGrayed(UINT command);
// Registers "Counter" as the program does, for tests that open the timer strip without a start.
bool registerTimerStripClass();
// Registers "Details" as the program does, for tests that open the detailed window without a start.
bool registerDetailsClass();
// The program's state as the detailed window's tests start from it: the "Details" class, no stored placement,
// "$", zeroed records, default settings with cost calculation as given and two decimals, the filter All.
void prepareDetailsWindow(int32_t calculateCost);
// Rows of the detailed window's list.
int detailsRowCount();
// Tq.dat in the current folder holding these records (and the count of them) after these totals, with the
// record count in memory to match, as a program that stored them has it.
void logOf(const std::vector<ConnectionRecord>& records, const CounterBlock& totals = CounterBlock{});

} // namespace inproc
