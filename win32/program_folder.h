// The program's folder as a wide path of any length, the files in it, and the one-writer claim on it.
#pragma once

#include <windows.h>

#include <string>

// The program's folder in full, wide, any length, with a trailing backslash; empty before start-up finds it.
const wchar_t* programFolder();
// Makes `folder` (with a trailing backslash) the program's own, as start-up does from the executable's path;
// tests call it for their scratch folders.
void setProgramFolder(const wchar_t* folder);
// `name` in the program's folder, as a path the wide file calls take at any length ("\\?\" before a long one).
std::wstring programFile(const wchar_t* name);
// The folder of the store's files, with a trailing backslash: the program's own unless start-up chose another
// because that one cannot be written.
const wchar_t* dataFolder();
// Makes `folder` the store's (empty: the program's own again).
void setDataFolder(const wchar_t* folder);
// `name` in the data folder, as programFile() gives it.
std::wstring dataFile(const wchar_t* name);
// `path` as the wide calls take it at any length.
std::wstring longFormOf(const std::wstring& path);

// The running executable's path, and its folder with a trailing backslash, at any length (through the ANSI call
// where the wide one is not implemented); empty when the system cannot say.
std::wstring executablePath();
std::wstring executableFolder();
// The short (8.3) form of an existing path, at any length; empty where the volume keeps none.
std::wstring shortPath(const std::wstring& path);
// Makes the program's folder the current directory; a folder too long for that is entered by its short path.
void enterProgramFolder();
// The folder spelt in the ANSI code page with a trailing backslash, at most MAX_PATH characters: the folder
// itself where the code page spells it, else its short path where the volume has one that it spells, else "".
std::string ansiFolder(const std::wstring& folder);
// `text` in the ANSI code page; false when a character has no spelling there (no best-fit stand-ins).
bool ansiSpelling(const std::wstring& text, std::string& spelt);

// The machine-wide name that one process at a time holds for the data in `folder`: the same for every spelling
// of the folder (short or long, any case), different for different folders.
std::wstring dataFolderLockName(const wchar_t* folder);
// Takes that name for the rest of the process's life; false when another process, in any session, holds it.
bool claimDataFolder(const wchar_t* folder);
