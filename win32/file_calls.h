// The wide file and folder calls the data file and the program's folder make, each falling back to its ANSI twin
// where the system only stubs it (Windows 95, 98 and ME answer ERROR_CALL_NOT_IMPLEMENTED).
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

// The wide calls themselves, one pointer each, so that a test can make them answer as Windows 9x does. The ones
// older systems lack or stub are looked up when first used, never imported.
struct WideFileCalls {
    decltype(&CreateFileW) createFile;             // opens or makes a file
    decltype(&DeleteFileW) deleteFile;             // deletes a file
    decltype(&MoveFileW) moveFile;                 // renames, never over an existing name
    BOOL(WINAPI* moveFileEx)(LPCWSTR, LPCWSTR, DWORD); // renames with flags; nullptr where the system has none
    // a file's attributes and length, asked of the file itself; nullptr where the system has none (Windows 95)
    BOOL(WINAPI* getFileAttributesEx)(LPCWSTR, GET_FILEEX_INFO_LEVELS, LPVOID);
    decltype(&FindFirstFileW) findFirstFile;       // a file's entry in its folder, where the above is missing
    decltype(&CreateDirectoryW) createDirectory;   // makes one folder
    decltype(&CopyFileW) copyFile;                 // copies a whole file
    decltype(&SetCurrentDirectoryW) setCurrentDirectory; // enters a folder
    decltype(&GetModuleFileNameW) getModuleFileName;     // the executable's path
    decltype(&GetShortPathNameW) getShortPathName;       // the 8.3 form of a path
    decltype(&CreateMutexW) createMutex;           // a named mutex
};

// The table in use; a test may replace entries and must put the old ones back.
WideFileCalls& wideFileCalls();

// The path in the ANSI code page for the ANSI twin: "\\?\" dropped, at most MAX_PATH - 1 characters, every
// character spelt; false otherwise.
bool ansiPath(const std::wstring& path, std::string& spelt);

// Each call below makes the wide call and, where that is not implemented, the ANSI one with the path spelt in the
// code page; the system's error code stays for the caller (ERROR_CALL_NOT_IMPLEMENTED where neither can).
HANDLE createFileAt(const std::wstring& path, DWORD access, DWORD share, DWORD disposition, DWORD flags);
bool deleteFileAt(const std::wstring& path);
// Renames `from` to `to`; `replace` lets it take the place of an existing `to`, as one step where the system
// can, else by setting the old one aside as `aside`, which is deleted once `from` is in place.
bool moveFileTo(const std::wstring& from, const std::wstring& to, bool replace, const std::wstring& aside);
// The file's length and attributes (answered also while another process holds it).
bool findFileEntry(const std::wstring& path, uint64_t& length, DWORD& attributes);
bool createFolderAt(const std::wstring& path);
bool copyFileTo(const std::wstring& from, const std::wstring& to);
bool enterFolder(const std::wstring& path);
// The executable's path, at any length; "" when neither call can say.
std::wstring moduleFileName();
// GetShortPathName's answer as it counts: the characters written, or the size needed, or 0.
DWORD shortPathName(const std::wstring& path, wchar_t* buffer, DWORD size);
// A named mutex, not owned; the name is ASCII.
HANDLE createNamedMutex(const std::wstring& name);
