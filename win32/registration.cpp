// Writes the Run value, the uninstall script and the uninstall entry.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "core/inf_text.h"
#include "win32/program_folder.h"
#include "win32/registration.h"

namespace {

const char kRunKeyPath[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kUninstallKeyPath[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tolvar";
const char kProgramName[] = "Tolvar";
const char kInfInWindows[] = "\\INF\\Tolvar.inf";
const char kUninstallCommand[] = "RunDll32 advpack.dll,LaunchINFSectionEx ";
const char kUninstallSection[] = ",Uninstall";
// The longest name the script deletes.
const char kLongestFileName[] = "Tolvar.exe";

// Room for the Windows directory as the system reports it.
constexpr DWORD kWindowsDirectorySize = 272;
// Room for the script's path: the Windows directory and "\INF\Tolvar.inf".
constexpr size_t kInfPathSize = kWindowsDirectorySize + sizeof kInfInWindows;
// Room for the uninstall command around that path.
constexpr size_t kCommandSize = sizeof kUninstallCommand + kInfPathSize + sizeof kUninstallSection;

// Opens (or creates) a machine-wide key for writing; nullptr when that is not allowed.
HKEY createMachineKey(const char* path)
{
    char noClass[] = "";
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, noClass, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return nullptr;
    return key;
}

// Stores a string value with its terminating NUL.
void setString(HKEY key, const char* name, const char* text)
{
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                   static_cast<DWORD>(std::strlen(text) + 1));
}

// The script's full path under the Windows directory; false when it does not fit.
bool buildInfPath(char (&path)[kInfPathSize])
{
    char windows[kWindowsDirectorySize] = {};
    const UINT length = GetWindowsDirectoryA(windows, sizeof windows);
    if (length == 0 || length >= sizeof windows)
        return false;
    const int written = std::snprintf(path, sizeof path, "%s%s", windows, kInfInWindows);
    return written > 0 && static_cast<size_t>(written) < sizeof path;
}

bool runningOnWindowsNt()
{
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExA(&version);
    return version.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

// Text mode turns every "\n" into CR LF, the line end the INF installer expects.
bool writeInfFile(const char* path, const char* installDirectory)
{
    std::FILE* file = std::fopen(path, "wt");
    if (file == nullptr)
        return false;
    const std::string text = uninstallInfText(runningOnWindowsNt(), installDirectory);
    const bool complete = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return std::fclose(file) == 0 && complete;
}

// UTF-8 to UTF-16; "" when the text is not UTF-8.
std::wstring fromUtf8(const std::string& text)
{
    const int units = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                                          nullptr, 0);
    if (units <= 0)
        return std::wstring();
    std::wstring wide(static_cast<size_t>(units), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), &wide[0], units);
    return wide;
}

std::string toUtf8(const std::wstring& text)
{
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    if (length <= 0)
        return std::string();
    std::string narrow(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &narrow[0], length, nullptr, nullptr);
    return narrow;
}

// The same script in UTF-16LE after a byte-order mark, for a folder the code page cannot spell: the INF installer
// reads such a script whole, where an 8-bit one would name a folder that does not exist.
bool writeWideInfFile(const char* path, const std::wstring& installDirectory)
{
    const std::wstring text = fromUtf8(uninstallInfText(runningOnWindowsNt(), toUtf8(installDirectory).c_str()));
    if (text.empty())
        return false;
    std::string bytes = "\xFF\xFE";
    for (const wchar_t unit : text) {
        if (unit == L'\n')
            bytes += std::string("\r\0", 2);
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>((unit >> 8) & 0xFF);
    }
    std::FILE* file = std::fopen(path, "wb");
    if (file == nullptr)
        return false;
    const bool complete = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && complete;
}

// The script in the form that names `installDirectory` so that the installer finds it.
bool writeScript(const char* path, const wchar_t* installDirectory)
{
    std::wstring folder = installDirectory != nullptr ? installDirectory : L"";
    // The INF installer builds each file's path within MAX_PATH: a longer folder goes by its short form.
    if (folder.size() + sizeof kLongestFileName >= MAX_PATH) {
        const std::wstring shortened = shortPath(folder);
        if (!shortened.empty())
            folder = shortened.back() == L'\\' ? shortened : shortened + L'\\';
    }
    std::string spelt;
    if (ansiSpelling(folder, spelt))
        return writeInfFile(path, spelt.c_str());
    return writeWideInfFile(path, folder);
}

// The path the Run value names: the executable's own where the code page spells it (8-bit, as ever), else in
// full through the wide call; a path too long for the system to start a program by is named by its short form.
void setRunValue(HKEY key)
{
    std::wstring path = executablePath();
    std::string spelt;
    if (path.empty() || (ansiSpelling(path, spelt) && spelt.size() < MAX_PATH)) {
        // One byte more than the largest path, kept zero, so a cut-off path is still terminated.
        char ansiPath[MAX_PATH + 1] = {};
        GetModuleFileNameA(nullptr, ansiPath, MAX_PATH);
        setString(key, kProgramName, ansiPath);
        return;
    }
    if (path.size() >= MAX_PATH) {
        const std::wstring shortened = shortPath(path);
        if (!shortened.empty() && shortened.size() < MAX_PATH)
            path = shortened;
    }
    RegSetValueExW(key, L"Tolvar", 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                   static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t)));
}

} // namespace

void registerAutostart()
{
    const HKEY key = createMachineKey(kRunKeyPath);
    if (key == nullptr)
        return;
    setRunValue(key);
    RegCloseKey(key);
}

void registerUninstall(const wchar_t* installDirectory)
{
    char infPath[kInfPathSize];
    if (!buildInfPath(infPath))
        return;
    // An entry whose command names a script that is not there would uninstall nothing.
    if (!writeScript(infPath, installDirectory))
        return;
    char command[kCommandSize];
    std::snprintf(command, sizeof command, "%s%s%s", kUninstallCommand, infPath, kUninstallSection);
    const HKEY key = createMachineKey(kUninstallKeyPath);
    if (key == nullptr)
        return;
    setString(key, "DisplayName", kProgramName);
    setString(key, "UnInstallString", command);
    RegCloseKey(key);
}
