// The text of the uninstall script handed to the system's INF installer.
#pragma once

#include <string>

// Lines 1 to 51 of the script with "\n" line ends (a text-mode stream makes them CR LF).
// `windowsNt` selects the signature of line 2; `installDirectory` ends with a backslash and goes
// into line 16 unchanged, byte for byte (ANSI for the 8-bit script, UTF-8 for a caller that makes it UTF-16).
std::string uninstallInfText(bool windowsNt, const char* installDirectory);
