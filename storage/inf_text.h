// The text of the uninstall script handed to the system's INF installer.
#pragma once

#include <string>

// The six pieces of the script, lines 1 to 40 with "\n" line ends (a text-mode stream makes them CR LF).
// `windowsNt` selects the signature of line 2; `installDirectory` ends with a backslash.
std::string uninstallInfText(bool windowsNt, const char* installDirectory);
