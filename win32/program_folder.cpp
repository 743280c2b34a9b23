// The program's folder as a wide path of any length, the files in it, and the one-writer claim on it.
#include "win32/program_folder.h"

#include <cstdint>
#include <vector>

#include "win32/file_calls.h"

namespace {

// The folder start-up found, kept wide: the ANSI calls lose letters the code page lacks and stop at MAX_PATH.
std::wstring& folderInUse()
{
    static std::wstring folder;
    return folder;
}

// Where the store's files are when that is not the program's folder (which cannot be written); empty otherwise.
std::wstring& dataFolderInUse()
{
    static std::wstring folder;
    return folder;
}

const wchar_t kLongPrefix[] = L"\\\\?\\";
const wchar_t kLongUncPrefix[] = L"\\\\?\\UNC\\";

bool startsWith(const std::wstring& text, const wchar_t* head) { return text.compare(0, wcslen(head), head) == 0; }

// The form the wide calls take beyond MAX_PATH: "\\?\C:\..." or "\\?\UNC\server\...".
std::wstring longForm(const std::wstring& path)
{
    if (path.size() < MAX_PATH || startsWith(path, kLongPrefix))
        return path;
    if (startsWith(path, L"\\\\"))
        return kLongUncPrefix + path.substr(2);
    return kLongPrefix + path;
}

// The ordinary form of what the system gave for a long-form path.
std::wstring withoutLongPrefix(const std::wstring& path)
{
    if (startsWith(path, kLongUncPrefix))
        return L"\\\\" + path.substr(wcslen(kLongUncPrefix));
    if (startsWith(path, kLongPrefix))
        return path.substr(wcslen(kLongPrefix));
    return path;
}

// Calls `query(buffer, size)`, which answers as GetShortPathNameW does, with room enough; "" when it fails.
template <typename Query> std::wstring askForPath(Query query)
{
    std::vector<wchar_t> buffer(MAX_PATH + 1);
    for (;;) {
        const DWORD length = query(buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return std::wstring();
        if (length < buffer.size())
            return withoutLongPrefix(std::wstring(buffer.data(), length));
        buffer.resize(length + 1);
    }
}

// Looked up when asked: Windows 95 and NT 4 lack the call, and an import would keep the program from loading there.
std::wstring longPathOf(const std::wstring& path)
{
    using LongPathName = DWORD(WINAPI*)(LPCWSTR, LPWSTR, DWORD);
    const auto getLongPathName = reinterpret_cast<LongPathName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetLongPathNameW")));
    if (getLongPathName == nullptr)
        return std::wstring();
    const std::wstring asked = longForm(path);
    return askForPath([&](wchar_t* buffer, DWORD size) { return getLongPathName(asked.c_str(), buffer, size); });
}

std::wstring withTrailingBackslash(std::wstring folder)
{
    if (!folder.empty() && folder.back() != L'\\')
        folder += L'\\';
    return folder;
}

} // namespace

const wchar_t* programFolder() { return folderInUse().c_str(); }

void setProgramFolder(const wchar_t* folder) { folderInUse() = folder != nullptr ? folder : L""; }

std::wstring programFile(const wchar_t* name) { return longForm(folderInUse() + name); }

const wchar_t* dataFolder() { return dataFolderInUse().empty() ? programFolder() : dataFolderInUse().c_str(); }

void setDataFolder(const wchar_t* folder) { dataFolderInUse() = folder != nullptr ? folder : L""; }

std::wstring dataFile(const wchar_t* name) { return longForm(dataFolder() + std::wstring(name)); }

std::wstring longFormOf(const std::wstring& path) { return longForm(path); }

std::wstring executablePath() { return withoutLongPrefix(moduleFileName()); }

std::wstring executableFolder()
{
    const std::wstring module = executablePath();
    const size_t lastSlash = module.rfind(L'\\');
    return lastSlash == std::wstring::npos ? std::wstring() : module.substr(0, lastSlash + 1);
}

std::wstring shortPath(const std::wstring& path)
{
    const std::wstring asked = longForm(path);
    return askForPath([&](wchar_t* buffer, DWORD size) { return shortPathName(asked, buffer, size); });
}

void enterProgramFolder()
{
    const std::wstring& folder = folderInUse();
    if (folder.empty() || enterFolder(folder))
        return;
    const std::wstring shortFolder = shortPath(folder);
    if (!shortFolder.empty())
        enterFolder(shortFolder);
}

bool ansiSpelling(const std::wstring& text, std::string& spelt)
{
    spelt.clear();
    if (text.empty())
        return true;
    const int units = static_cast<int>(text.size());
    BOOL lost = FALSE;
    const int length =
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), units, nullptr, 0, nullptr, &lost);
    if (length <= 0 || lost)
        return false;
    spelt.resize(static_cast<size_t>(length));
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), units, &spelt[0], length, nullptr, &lost);
    return !lost;
}

std::string ansiFolder(const std::wstring& folder)
{
    std::string spelt;
    if (ansiSpelling(folder, spelt) && spelt.size() <= MAX_PATH)
        return spelt;
    const std::wstring shortFolder = withTrailingBackslash(shortPath(folder));
    if (!shortFolder.empty() && ansiSpelling(shortFolder, spelt) && spelt.size() <= MAX_PATH)
        return spelt;
    return std::string();
}

std::wstring dataFolderLockName(const wchar_t* folder)
{
    // One spelling per folder: the long names of the path, in capitals, as the file system compares them.
    std::wstring canonical = longPathOf(folder);
    if (canonical.empty())
        canonical = folder;
    canonical = withTrailingBackslash(canonical);
    if (!canonical.empty())
        CharUpperBuffW(&canonical[0], static_cast<DWORD>(canonical.size()));
    // FNV-1a over the UTF-16 units: the same in the 32-bit and 64-bit builds.
    uint64_t hash = 14695981039346656037ull;
    for (const wchar_t unit : canonical) {
        hash ^= static_cast<uint16_t>(unit);
        hash *= 1099511628211ull;
    }
    std::wstring name = L"Global\\Tolvar-";
    for (int shift = 60; shift >= 0; shift -= 4)
        name += L"0123456789abcdef"[(hash >> shift) & 0xF];
    return name;
}

bool claimDataFolder(const wchar_t* folder)
{
    if (folder == nullptr || *folder == L'\0')
        return true;
    // Kept open until the process ends: the name exists as long as its holder runs.
    const HANDLE held = createNamedMutex(dataFolderLockName(folder));
    if (held == nullptr)
        // Another user's process holds it when its owner's security keeps this one out; a system without
        // machine-wide names leaves the per-session guard alone.
        return GetLastError() != ERROR_ACCESS_DENIED;
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(held);
        return false;
    }
    return true;
}
