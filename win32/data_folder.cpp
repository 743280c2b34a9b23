// The data folder: the program's own where it takes files, else a per-user one, said once.
#include "win32/data_folder.h"

#include <windows.h>

#include <cstdio>
#include <vector>

#include "win32/file_calls.h"
#include "win32/program_folder.h"

namespace {

// The per-user folders of the shell, asked by their CSIDL numbers.
constexpr int kLocalAppData = 0x001c; // CSIDL_LOCAL_APPDATA
constexpr int kAppData = 0x001a;      // CSIDL_APPDATA
constexpr int kCreateIfMissing = 0x8000; // CSIDL_FLAG_CREATE

const char kToldKey[] = "Software\\Vesk\\Tolvar\\2.0";
// The per-user folder last said, as UTF-16 bytes (binary, so the registry converts nothing).
const char kToldValue[] = "DataFolder";

std::wstring withBackslash(std::wstring folder)
{
    if (!folder.empty() && folder.back() != L'\\')
        folder += L'\\';
    return folder;
}

// The ANSI text in UTF-16.
std::wstring fromAnsi(const char* text)
{
    wchar_t wide[MAX_PATH + 1] = {};
    return MultiByteToWideChar(CP_ACP, 0, text, -1, wide, MAX_PATH) > 1 ? std::wstring(wide) : std::wstring();
}

// Looked up at run time: shell32 of Windows 95 and NT 4 lacks the call, which shfolder.dll then gives; where the
// wide one is a stub (Windows 9x) the ANSI one answers.
std::wstring shellFolder(int which)
{
    using WideFolderPath = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPWSTR);
    using AnsiFolderPath = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPSTR);
    for (const char* library : {"shell32.dll", "shfolder.dll"}) {
        const HMODULE module = LoadLibraryA(library);
        if (module == nullptr)
            continue;
        const auto widePath =
            reinterpret_cast<WideFolderPath>(reinterpret_cast<void*>(GetProcAddress(module, "SHGetFolderPathW")));
        const auto ansiPath =
            reinterpret_cast<AnsiFolderPath>(reinterpret_cast<void*>(GetProcAddress(module, "SHGetFolderPathA")));
        wchar_t path[MAX_PATH + 1] = {};
        char ansi[MAX_PATH + 1] = {};
        std::wstring found;
        if (widePath != nullptr && widePath(nullptr, which | kCreateIfMissing, nullptr, 0, path) == 0)
            found = path;
        else if (ansiPath != nullptr && ansiPath(nullptr, which | kCreateIfMissing, nullptr, 0, ansi) == 0)
            found = fromAnsi(ansi);
        FreeLibrary(module);
        if (!found.empty())
            return found;
    }
    const wchar_t* variable = which == kLocalAppData ? L"LOCALAPPDATA" : L"APPDATA";
    wchar_t path[MAX_PATH + 1] = {};
    const DWORD length = GetEnvironmentVariableW(variable, path, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(path) : std::wstring();
}

// Makes the folder and the ones above it; true when it exists afterwards.
bool makeFolders(const std::wstring& folder)
{
    const std::wstring full = withBackslash(folder);
    for (size_t slash = full.find(L'\\', 3); slash != std::wstring::npos; slash = full.find(L'\\', slash + 1))
        createFolderAt(longFormOf(full.substr(0, slash)));
    uint64_t length = 0;
    DWORD attributes = 0;
    return findFileEntry(longFormOf(full.substr(0, full.size() - 1)), length, attributes) &&
           (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool usable(const std::wstring& folder) { return !folder.empty() && makeFolders(folder) && folderTakesNewFiles(folder); }

bool exists(const std::wstring& path)
{
    uint64_t length = 0;
    DWORD attributes = 0;
    return findFileEntry(longFormOf(path), length, attributes);
}

std::wstring toldFolder()
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kToldKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return std::wstring();
    std::vector<wchar_t> told(4096, L'\0');
    DWORD size = static_cast<DWORD>((told.size() - 1) * sizeof told[0]);
    DWORD type = 0;
    const bool read = RegQueryValueExA(key, kToldValue, nullptr, &type, reinterpret_cast<BYTE*>(told.data()), &size) ==
                      ERROR_SUCCESS && type == REG_BINARY;
    RegCloseKey(key);
    return read ? std::wstring(told.data(), size / sizeof told[0]) : std::wstring();
}

void rememberTold(const std::wstring& folder)
{
    char noClass[] = "";
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kToldKey, 0, noClass, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExA(key, kToldValue, 0, REG_BINARY, reinterpret_cast<const BYTE*>(folder.data()),
                   static_cast<DWORD>(folder.size() * sizeof folder[0]));
    RegCloseKey(key);
}

// The box's text, wide where the system shows wide boxes, else in the code page.
void showBox(const std::wstring& text)
{
    const wchar_t caption[] = L"Tolvar 2.2";
    if (MessageBoxW(nullptr, text.c_str(), caption, MB_OK | MB_ICONINFORMATION) != 0 ||
        GetLastError() != ERROR_CALL_NOT_IMPLEMENTED)
        return;
    std::string ansi;
    if (!ansiSpelling(text, ansi))
        ansi = "Tolvar keeps your figures in a folder of your own, as its folder cannot be written.";
    MessageBoxA(nullptr, ansi.c_str(), "Tolvar 2.2", MB_OK | MB_ICONINFORMATION);
}

} // namespace

bool folderTakesNewFiles(const std::wstring& folder)
{
    wchar_t name[48];
    std::swprintf(name, sizeof name / sizeof name[0], L"Tq-probe-%lu-%lu.tmp", GetCurrentProcessId(), GetTickCount());
    const std::wstring probe = longFormOf(withBackslash(folder) + name);
    const HANDLE file = createFileAt(probe, GENERIC_WRITE, 0, CREATE_NEW, FILE_ATTRIBUTE_TEMPORARY);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error != ERROR_ACCESS_DENIED && error != ERROR_WRITE_PROTECT;
    }
    CloseHandle(file);
    deleteFileAt(probe);
    return true;
}

std::wstring virtualStoreFolder(const std::wstring& programFolder, const std::wstring& localAppData)
{
    const bool drive = programFolder.size() >= 3 && programFolder[1] == L':' && programFolder[2] == L'\\';
    if (!drive || localAppData.empty())
        return std::wstring();
    return withBackslash(localAppData) + L"VirtualStore\\" + withBackslash(programFolder.substr(3));
}

DataFolderChoice chooseDataFolder(const std::wstring& programFolder)
{
    if (programFolder.empty() || folderTakesNewFiles(programFolder))
        return DataFolderChoice{programFolder, false};
    const std::wstring virtualStore = virtualStoreFolder(programFolder, shellFolder(kLocalAppData));
    if (usable(virtualStore))
        return DataFolderChoice{virtualStore, true};
    const std::wstring appData = shellFolder(kAppData);
    const std::wstring own = appData.empty() ? std::wstring() : withBackslash(appData) + L"Vesk\\Tolvar\\";
    if (usable(own))
        return DataFolderChoice{own, true};
    return DataFolderChoice{programFolder, false};
}

bool seedDataFolder(const DataFolderChoice& choice, const std::wstring& programFolder)
{
    if (!choice.perUser || exists(choice.folder + L"Tq.dat") || !exists(programFolder + L"Tq.dat"))
        return false;
    // The journal first: a data file without the journal it had would take that journal's batches for another's.
    if (exists(programFolder + L"Tq.jnl"))
        copyFileTo(longFormOf(programFolder + L"Tq.jnl"), longFormOf(choice.folder + L"Tq.jnl"));
    return copyFileTo(longFormOf(programFolder + L"Tq.dat"), longFormOf(choice.folder + L"Tq.dat"));
}

void tellDataFolderOnce(const DataFolderChoice& choice, const std::wstring& programFolder, bool seeded)
{
    if (!choice.perUser || toldFolder() == choice.folder)
        return;
    std::wstring text = L"Tolvar cannot write in its folder\n" + programFolder + L"\n\nYour figures are kept in\n" +
                        choice.folder;
    if (seeded)
        text += L"\n\nThey start from the Tq.dat of the program's folder, which stays as it is.";
    showBox(text);
    rememberTold(choice.folder);
}
