// Writes the Run value, the uninstall script and the uninstall entry.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "core/inf_text.h"
#include "win32/registration.h"

namespace {

const char kRunKeyPath[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kUninstallKeyPath[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tolvar";
const char kProgramName[] = "Tolvar";
const char kInfInWindows[] = "\\INF\\Tolvar.inf";
const char kUninstallCommand[] = "RunDll32 advpack.dll,LaunchINFSectionEx ";
const char kUninstallSection[] = ",Uninstall";

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

} // namespace

void registerAutostart()
{
    // One byte more than the largest path, kept zero, so a cut-off path is still terminated.
    char path[MAX_PATH + 1] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    const HKEY key = createMachineKey(kRunKeyPath);
    if (key == nullptr)
        return;
    setString(key, kProgramName, path);
    RegCloseKey(key);
}

void registerUninstall(const char* installDirectory)
{
    char infPath[kInfPathSize];
    if (!buildInfPath(infPath))
        return;
    // An entry whose command names a script that is not there would uninstall nothing.
    if (!writeInfFile(infPath, installDirectory))
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
