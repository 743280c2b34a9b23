// Set-up and probes the in-process Wine tests share: files, clock, registry, messages, windows and message boxes.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/state.h"

namespace wine {

inline constexpr char kVeskKey[] = "Software\\Vesk";
inline constexpr char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tolvar";
inline constexpr char kPlacementKey[] = "Software\\Vesk\\Tolvar\\2.0"; // holds the detailed window's "Place"
inline constexpr int kMessageBoxText = 0xFFFF; // the id of a message box's text static
inline constexpr int kFileNameCombo = 0x47c;   // the id of a save dialog's file name box

// Files.

// The test program's folder with a trailing backslash: where the program keeps its data file.
std::string moduleFolder();
// Tq.dat in moduleFolder(), where a start of the program in this process reads and writes it.
std::string dataFilePath();
// The whole file, or nothing when it cannot be opened.
std::vector<uint8_t> fileBytes(const std::string& path);
// Replaces the file with `size` bytes; false when it cannot be created or written whole.
bool writeFileBytes(const std::string& path, const void* data, size_t size);
// A data file's bytes: the totals, the count as stored, then the records from the header's end on.
std::vector<uint8_t> logImage(const std::vector<ConnectionRecord>& records, int32_t storedCount,
                              const CounterBlock& totals = CounterBlock{});

// A fresh, empty folder under the temporary folder, current while entered; removed with its files when left.
class ScratchFolder {
public:
    ScratchFolder() = default;
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    ~ScratchFolder() { leave(); }

    // Makes %TEMP%\<name>-<process id> anew and the current directory; false when either step fails.
    bool enter(const char* name);
    // Back to the directory that was current before enter(); the folder goes with the files in it.
    void leave();
    // The folder while entered, else empty.
    const std::string& path() const { return path_; }

private:
    void remove();

    std::string path_;
    char previous_[MAX_PATH + 1] = {};
};

// Clock.

// The present local time as the system gives it, read apart from the program's own clock.
SystemTime localNow();
// Day 1 of the month `back` months and `yearsBack` years before this one, at 10:20:30.
SystemTime monthsBefore(unsigned back, unsigned yearsBack = 0);

// Registry.

// Deletes the key with everything below it; a missing key is fine.
void deleteKeyTree(HKEY root, const std::string& path);
// Whether the key can be opened.
bool keyExists(HKEY root, const char* path);
// The value's bytes as stored, terminators included; empty, with `found` false, when key or value is missing.
std::vector<uint8_t> registryValue(HKEY root, const char* path, const char* name, DWORD* type = nullptr,
                                   bool* found = nullptr);
// Stores the value, making the key when it is missing; false when either step fails.
bool setRegistryValue(HKEY root, const char* path, const char* name, DWORD type, const void* data, size_t size);
// Removes the value; a missing key or value is fine.
void deleteRegistryValue(HKEY root, const char* path, const char* name);
// Removes the machine-wide Run value "Tolvar".
void deleteRunValue();
// The placement key as every start makes sure of it, without a stored "Place".
void freshPlacementKey();
// Everything a start leaves behind: HKCU\Software\Vesk, the Run value, the uninstall entry and the data file.
void forgetEarlierRuns();

// The program in this process.

// Zeroes the process-wide records as a fresh process has them.
void zeroRecords();
// A start as the entry point makes it, on zeroed records: the module handle, then initApplication()'s result.
bool startApplication();
// What the program's end destroys, plus what a later start in the same process needs undone.
void endApplication();
// Makes the folder the program's own, as a start from it would: exeDirectory, with a trailing backslash.
void takeAsProgramFolder(const std::string& folder);
// Gives the currency symbol as a successful locale lookup leaves it: the text and its length with the NUL.
void useCurrencySymbol(const char* symbol);
// Whether the tray menu's item of this command is grayed.
bool trayItemGrayed(UINT command);

// Messages and windows.

// Dispatches every message waiting in this thread's queue.
void drainMessages();
// Dispatches this thread's messages for at least `milliseconds`, and at least once.
void pumpMessages(DWORD milliseconds);
// Takes a waiting WM_QUIT from the queue and gives its exit code; false when none waits.
bool quitPosted(WPARAM& code);
// Registers a class for a test's own window on this module; false when the name is taken.
bool registerWindowClass(const char* name, WNDPROC procedure, UINT style, HBRUSH background, HICON icon = nullptr,
                         HCURSOR cursor = nullptr, const char* menu = nullptr);
// Registers "Counter" as the program does, for tests that open the timer strip without a start.
bool registerTimerStripClass();
// Registers "Details" as the program does, for tests that open the detailed window without a start.
bool registerDetailsClass();
// The program's state as the detailed window's tests start from it: the "Details" class, no stored placement,
// "$", zeroed records, default settings with cost calculation as given and two decimals, the filter All.
void prepareDetailsWindow(int32_t calculateCost);
// Rows of the detailed window's list.
int detailsRowCount();
// The window's whole text.
std::string windowText(HWND window);
// The name of the window's class.
std::string classNameOf(HWND window);

// Where typed characters go: at the caret, or over the whole text, which is selected first.
enum class Typing { AtCaret, OverText };
// Focuses the edit and sends the characters one by one as WM_CHAR, as the keyboard would.
void typeKeys(HWND edit, const char* keys, Typing where);

// Message boxes and dialogs.

// What a message box showed, read while it was open.
struct BoxSeen {
    bool found = false;
    std::string caption;
    std::string text;      // the text static's
    bool yes = false;
    bool no = false;
    bool okOrCancel = false;
    int defaultButton = 0; // the id of the default push button, 0 when none
    HICON icon = nullptr;  // the icon its icon static shows, whatever that static's id
};

// A visible #32770 window owned by `owner`, or nullptr.
HWND findOwnedBox(HWND owner);
// A visible #32770 window of the thread that `accept` takes, or nullptr.
HWND findThreadBox(DWORD thread, const std::function<bool(HWND)>& accept);
// findOwnedBox() tried for up to five seconds.
HWND waitForOwnedBox(HWND owner);
// What the open box shows: caption, text, buttons, default button and icon.
BoxSeen readMessageBox(HWND box);
// Runs `open` on this thread while a second one reads the box it opens, owned by `owner`, and presses `answer`.
BoxSeen answerOwnedBox(HWND owner, int answer, const std::function<void()>& open);

// Until stopped, presses `answer` on every message box owned by `owner`, noting "caption|text" of each.
class MessageBoxWatcher {
public:
    MessageBoxWatcher(HWND owner, int answer);
    MessageBoxWatcher(const MessageBoxWatcher&) = delete;
    MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;
    ~MessageBoxWatcher() { stop(); }

    // Ends the watching; the boxes seen so far stay readable.
    void stop();
    // The boxes seen so far, oldest first.
    std::vector<std::string> seen();

private:
    void watch();

    HWND owner_;
    int answer_;
    std::atomic<bool> running_{true};
    std::mutex mutex_;
    std::vector<std::string> seen_;
    std::thread thread_; // last, so that it starts on a whole object
};

} // namespace wine
