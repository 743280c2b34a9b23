// Registration with the system: autostart at every start, uninstall script and entry on the first run.
#pragma once

void registerAutostart();
// `installDirectory` (with a trailing backslash) is the folder the script empties: an 8-bit script names it where
// the ANSI code page spells it, a UTF-16 one (with its byte-order mark) where it does not; a folder too long for
// the installer is named by its short form where the volume has one.
void registerUninstall(const wchar_t* installDirectory);
