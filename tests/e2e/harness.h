// Drives the real Tolvar.exe from outside, as a user and the system would: install folders, the simulated
// remote-access service, the process, its windows and message boxes, the registry and the data file.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/layout.h"

namespace e2e {

// The Windows form of a Linux path (Z:\...), as Wine maps the root file system.
std::string windowsPath(const char* linuxPath);

// A fresh install folder holding Tolvar.exe and the simulated rasapi32.dll; ends with a backslash.
std::string makeInstallFolder(const char* name);

// The simulated service's answers: `connections` active connections, the first in `state`
// ("connected", "disconnected" or a number). No control file means no connection.
void setService(const std::string& folder, int connections, const char* state);
void clearService(const std::string& folder);

// Removes every registry entry the program writes, so that the next start is a first run.
void deleteProgramRegistry();

struct Program {
    PROCESS_INFORMATION process{};  // the started process
    HWND mainWindow = nullptr;      // its statistics window, once found
};

// Starts Tolvar.exe of the folder (current directory elsewhere) and waits for its statistics window.
Program startProgram(const std::string& folder, bool waitForWindow = true);
// Waits for the process to end; returns its exit code, or STILL_ACTIVE after the timeout.
DWORD waitForExit(Program& program, DWORD milliseconds);
// Ends the process if it still runs and closes its handles.
void stopProgram(Program& program);
// Exit through the program's command and its confirmation; the exit code, or STILL_ACTIVE.
DWORD exitThroughMenu(Program& program);

// A top-level window of the process with this class (and title, when given), or nullptr.
HWND findWindowOf(DWORD processId, const char* className, const char* title = nullptr);
// Waits for such a window to appear.
HWND waitForWindowOf(DWORD processId, const char* className, const char* title = nullptr,
                     DWORD milliseconds = 10000);
// Waits until no such window exists; true when it is gone.
bool waitForNoWindowOf(DWORD processId, const char* className, DWORD milliseconds = 10000);

// Icons in the notification area (Wine's stand-alone tray under Xvfb, or a virtual desktop's taskbar).
int trayIconCount();

// Message boxes: the text of the static 65535, the caption, the buttons and the default one.
struct MessageBoxInfo {
    HWND window = nullptr;
    std::string text;
    std::string caption;
    std::vector<int> buttons;  // ids of the visible push buttons
    int defaultButton = 0;     // id of the button with BS_DEFPUSHBUTTON
};
MessageBoxInfo waitForMessageBox(DWORD processId, DWORD milliseconds = 10000);
void pressButton(HWND box, int id);
// Presses the button and waits until the box is gone; true when it went.
bool answerBox(HWND box, int id, DWORD milliseconds = 5000);

// The data file and the registry as bytes.
std::vector<uint8_t> readFileBytes(const std::string& path);
// Creates or replaces the file with exactly these bytes.
bool writeBytes(const std::string& path, const std::vector<uint8_t>& bytes);
bool fileExists(const std::string& path);
bool readRegistryValue(HKEY root, const char* key, const char* name, std::vector<uint8_t>& data,
                       DWORD* type = nullptr);
// Stores an HKCU value of any type, making the key when it is missing.
bool setUserValue(const char* key, const char* name, DWORD type, const std::vector<uint8_t>& bytes);
bool registryKeyExists(HKEY root, const char* key);

// Header fields of a data file image.
CounterBlock fileCounters(const std::vector<uint8_t>& bytes);
int32_t fileRecordCount(const std::vector<uint8_t>& bytes);
ConnectionRecord fileRecord(const std::vector<uint8_t>& bytes, int index);

// Polls `condition` every 20 ms until it holds or the time runs out.
template <typename Condition> bool waitUntil(Condition condition, DWORD milliseconds = 10000)
{
    const DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > milliseconds)
            return false;
        Sleep(20);
    }
    return true;
}

} // namespace e2e
