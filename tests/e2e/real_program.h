// Drives the real Tolvar.exe from outside, as a user and the system would: its install folder, the simulated
// remote-access service, the process, its tray icon and its detailed list. The kit (tests/support/kit.h) holds
// the files, registry, data-file images, window lookup and the message-box answerer.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "tests/support/kit.h"

namespace e2e {

// A fresh install folder holding Tolvar.exe and the simulated rasapi32.dll, removed with its files at the end.
class InstallFolder {
public:
    // Makes %TEMP%\tolvar-e2e-<name>-<process id> with the two files.
    explicit InstallFolder(const std::string& name);
    // The folder with a trailing backslash, as the program names its own.
    const std::string& path() const { return path_; }
    std::string dataFile() const { return path_ + "Tq.dat"; }

private:
    kit::ScratchFolder folder_;
    std::string path_;
};

// For a test of its own: a fresh user (nothing left in the registry by earlier runs, the program's windows
// unmanaged) and an install folder named by `prefix` and the running test's name.
std::unique_ptr<InstallFolder> freshInstallForThisTest(const std::string& prefix);

// The simulated service's answers: `connections` active connections, the first in `state`
// ("connected", "disconnected" or a number). No control file means no connection.
void setService(const std::string& folder, int connections, const char* state);
void clearService(const std::string& folder);

struct Program {
    PROCESS_INFORMATION process{}; // the started process
    HWND mainWindow = nullptr;     // its statistics window, once found
};

// Starts Tolvar.exe of the folder (current directory elsewhere) and waits for its statistics window.
Program startProgram(const std::string& folder, bool waitForWindow = true);
// Waits for the process to end; returns its exit code, or STILL_ACTIVE after the timeout.
DWORD waitForExit(Program& program, DWORD milliseconds);
// Ends the process if it still runs and closes its handles.
void stopProgram(Program& program);
// Exit through the program's command and its confirmation; the exit code, or STILL_ACTIVE.
DWORD exitThroughMenu(Program& program);
// A first start for a fresh user, ended through the program's own Exit; afterwards starts load the file.
bool firstStartAndExit(const std::string& folder);

// Runs `command` with the Unix shell outside Wine (as root, so it may mount) and waits for it to end; its exit
// status, or -1 when it could not be started or did not end within `milliseconds`. No double quotes in it.
int unixShell(const std::string& command, DWORD milliseconds = 30000);
// The Windows form of a Linux path (Z:\...), as Wine maps the root file system.
std::string windowsPath(const std::string& linuxPath);
// A Linux folder beside the build's programs, for what a test mounts or links there.
std::string buildFolder();

// Icons in the notification area (Wine's stand-alone tray under Xvfb, or a virtual desktop's taskbar).
int trayIconCount();

// A connection that is up for `milliseconds` and then drops; waits until the data file differs
// from what it was before (or the time runs out) and returns whether it changed.
bool connectionOf(const std::string& folder, DWORD milliseconds);

// The detailed window, opened with the main menu's "Show detailed... All"; nullptr when none appears.
HWND openDetailsList(const Program& program);
// Rows of its list.
int listRows(HWND details);
// "Save in file" > "All": answers the save dialog with `path`, or the "No data" box.
// Returns the box's "caption|text", or "saved" when the dialog was answered.
std::string exportAll(const Program& program, HWND details, const std::string& path);
// "Clear" > "Until current month", confirmed; returns the confirmation's "caption|text".
std::string clearUntilCurrentMonth(const Program& program, HWND details);

} // namespace e2e
