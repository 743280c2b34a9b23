// The spreadsheet files: the currency symbol in UTF-8 for their headers, and writing one whole.
#pragma once

#include <windows.h>

#include <string>

#include "core/csv_export.h"

// The user's currency symbol, which the locale lookup gives in the ANSI code page, as UTF-8.
std::string currencySymbolUtf8();
// The cost style of the settings in force, with that symbol.
CsvCostStyle csvCostStyle();
// Whether a name the save dialog returned, or the filter chosen in it (1-based), asks for CSV.
bool namesCsvFile(const char* path, DWORD filterIndex);
// Creates or replaces the file with exactly these bytes; false, with nothing left behind, when it cannot be
// written whole.
bool writeCsvFile(const char* path, const std::string& bytes);
