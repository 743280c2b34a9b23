// The test kit shared by the in-process Wine tests and the end-to-end tests: scratch folders and files, the
// registry, data-file images, the clock, window lookup, off-screen pictures and one scripted answerer for message
// boxes and dialogs.
#pragma once

#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "core/layout.h"

namespace kit {

using Bytes = std::vector<uint8_t>;

// Files.

// A fresh, empty folder under the temporary folder, current while entered; removed with its files when left.
class ScratchFolder {
public:
    ScratchFolder() = default;
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    ~ScratchFolder() { leave(); }

    // Makes %TEMP%\<name>-<process id> anew and the current directory; false when either step fails.
    bool enter(const std::string& name);
    // Back to the directory that was current before enter(); the folder goes with the files in it.
    void leave();
    // The folder while entered, without a trailing backslash; else empty.
    const std::string& path() const { return path_; }
    // The path of a file in the folder.
    std::string file(const char* name) const { return path_ + "\\" + name; }

private:
    void removeFiles();

    std::string path_;
    char previous_[MAX_PATH + 1] = {};
};

// The test program's folder with a trailing backslash.
std::string moduleFolder();
// The whole file, read while others may hold it open; empty when it cannot be opened.
Bytes fileBytes(const std::string& path);
// The whole file as text.
std::string fileText(const std::string& path);
// Creates or replaces the file with exactly these bytes; false when it cannot be written whole.
bool writeFile(const std::string& path, const Bytes& bytes);
bool fileExists(const std::string& path);
// Closes `handle` (a file another test holds open) from a thread of its own after `milliseconds`; the thread's
// handle, to wait for.
HANDLE closeHandleLater(HANDLE handle, DWORD milliseconds);
// Bytes each unlike its neighbours, and unlike the same place under another salt, so that any moved byte shows.
Bytes patterned(size_t length, unsigned salt = 0);

// Registry.

inline constexpr char kVeskKey[] = "Software\\Vesk";
inline constexpr char kSettingsKey[] = "Software\\Vesk\\Tolvar\\1.0";  // "Settings" and "Settings1"
inline constexpr char kPlacementKey[] = "Software\\Vesk\\Tolvar\\2.0"; // the detailed window's "Place"
inline constexpr char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tolvar";
inline constexpr char kAppDefaultsKey[] = "Software\\Wine\\AppDefaults";

// Deletes the key with everything below it; a missing key is fine.
void deleteKeyTree(HKEY root, const std::string& path);
bool keyExists(HKEY root, const char* path);
// The value's bytes as stored, terminators included; empty, with `found` false, when key or value is missing.
Bytes registryValue(HKEY root, const char* path, const char* name, DWORD* type = nullptr, bool* found = nullptr);
// Stores the value, making the key when it is missing; false when either step fails.
bool setRegistryValue(HKEY root, const char* path, const char* name, DWORD type, const Bytes& bytes);
// Removes the value; a missing key or value is fine.
void deleteRegistryValue(HKEY root, const char* path, const char* name);
// Everything a run of the program leaves in the registry: HKCU\Software\Vesk, the Run value, the uninstall entry.
void forgetProgramRegistry();
// Leaves the windows of the program `exeName` unmanaged by Wine's X driver: without a window manager Wine
// otherwise waits up to two seconds for every hidden window. Read when the program's first window is made.
bool leaveWindowsUnmanaged(const char* exeName);

// Stores the value under the open key and reads it back as the registry hands it to a reader; false when it
// cannot be stored.
bool storeAndReadBack(HKEY key, const char* name, DWORD type, const Bytes& bytes, Bytes& readBack);

// Puts a value back as it was (or removes it, when there was none) at the end of the scope.
class SavedValue {
public:
    SavedValue(HKEY root, const char* path, const char* name);
    SavedValue(const SavedValue&) = delete;
    SavedValue& operator=(const SavedValue&) = delete;
    ~SavedValue();

private:
    HKEY root_;
    std::string path_, name_;
    Bytes bytes_;
    DWORD type_ = 0;
    bool found_ = false;
};

// The clock.

// The present local time as the system gives it, read apart from the program's own clock.
SystemTime localNow();
// Day 1 of the month `back` months and `yearsBack` years before this one, at 10:20:30.
SystemTime monthsBefore(unsigned back, unsigned yearsBack = 0);

// Data-file images.

// A data file's bytes, field by field; what is not given stays zero, and the count is the number of records.
class DataImage {
public:
    DataImage& totals(const CounterBlock& totals);
    DataImage& stamp(const SystemTime& stamp);
    // Patterns the reserved header bytes, so that any write over them shows.
    DataImage& markedReserve();
    DataImage& count(int32_t count);
    DataImage& records(const std::vector<ConnectionRecord>& records);
    Bytes bytes() const;

private:
    CounterBlock totals_{};
    SystemTime stamp_{};
    bool marked_ = false;
    bool counted_ = false;
    int32_t count_ = 0;
    std::vector<ConnectionRecord> records_;
};

// `n` records of this month (day 1, one hour apart), each different from the others.
std::vector<ConnectionRecord> recordsOfThisMonth(int n);
// What the damage tests start from: recognisable totals, this month's stamp, the marked reserve, `count` as the
// stored count and `records` records of this month.
Bytes storedImage(int32_t count, int records);

// Fields of an image; what the image does not hold whole reads as zero (the count as -1).
CounterBlock fileCounters(const Bytes& bytes);
int32_t fileRecordCount(const Bytes& bytes);
ConnectionRecord fileRecord(const Bytes& bytes, int index);
// Record slots of an image of this length that are wholly present.
int wholeSlots(size_t length);
// Whether slot `slot` is whole in both images and holds the same bytes.
bool sameSlot(const Bytes& a, const Bytes& b, int slot);
// The first reserved header byte that `before` holds and `after` lacks or holds otherwise; -1 when none.
int changedReservedByte(const Bytes& before, const Bytes& after);

// Windows and messages.

std::string windowText(HWND window);
std::string classNameOf(HWND window);
// A top-level window of the process with this class (and title, when given), or nullptr.
HWND findWindowOf(DWORD processId, const char* className, const char* title = nullptr);
// Waits for such a window to appear; nullptr when none did.
HWND waitForWindowOf(DWORD processId, const char* className, const char* title = nullptr,
                     DWORD milliseconds = 10000);
// Waits until no window of the process has this class; true when none is left.
bool waitForNoWindowOf(DWORD processId, const char* className, DWORD milliseconds = 10000);

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

// Dispatches every message waiting in this thread's queue.
void drainMessages();
// Dispatches this thread's messages for at least `milliseconds`, and at least once.
void pumpMessages(DWORD milliseconds);
// Takes a waiting WM_QUIT from the queue and gives its exit code; false when none waits.
bool quitPosted(WPARAM& code);
// Registers a window class on this module; false when the name is taken.
bool registerWindowClass(const char* name, WNDPROC procedure, UINT style, HBRUSH background, HICON icon = nullptr,
                         HCURSOR cursor = nullptr, const char* menu = nullptr);

// A picture off the screen, in the screen's format, that drawing routines draw on and tests read back.
class OffScreen {
public:
    // `width` × `height` pixels, all of `background`.
    OffScreen(int width, int height, COLORREF background);
    OffScreen(const OffScreen&) = delete;
    OffScreen& operator=(const OffScreen&) = delete;
    ~OffScreen();

    HDC dc() const { return dc_; }
    // The whole picture, as a client rectangle: left and top 0.
    const RECT& rect() const { return rect_; }
    COLORREF pixel(int x, int y) const { return GetPixel(dc_, x, y); }
    // The pixels of `area`, row by row.
    std::vector<COLORREF> pixels(const RECT& area) const;
    // How many pixels of `area` are of `colour`.
    int count(const RECT& area, COLORREF colour) const;

private:
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ oldBitmap_;
    RECT rect_;
};

// Where typed characters go: at the caret, or over the whole text, which is selected first.
enum class Typing { AtCaret, OverText };
// Focuses the edit and sends the characters one by one as WM_CHAR, as the keyboard would.
void typeKeys(HWND edit, const char* keys, Typing where);

// Message boxes and dialogs.

inline constexpr int kMessageBoxText = 0xFFFF; // the id of a message box's text static
inline constexpr int kFileNameCombo = 0x47c;   // the id of a save dialog's file name box
inline constexpr int kCloseBox = -1;           // an answer: the caption's close box instead of a button

// One window the script expects, and its answer.
struct Box {
    Box(std::string caption, std::string text, int button, std::string fileName = "",
        std::function<void(HWND)> whileOpen = nullptr, std::vector<Box> otherwise = {})
        : caption(std::move(caption)), text(std::move(text)), button(button), fileName(std::move(fileName)),
          whileOpen(std::move(whileOpen)), otherwise(std::move(otherwise))
    {
    }

    std::string caption;     // checked: a window of another caption is unexpected
    std::string text;        // checked when not empty: a message box's text, or the name a save dialog suggests
    int button = IDOK;       // pressed to answer, or kCloseBox
    std::string fileName;    // not empty: the window is a save dialog and this name is entered first
    std::function<void(HWND)> whileOpen; // looks at the open window, on the answerer's thread, before the answer
    std::vector<Box> otherwise; // windows that may come in this one's place, each with its own answer
};

// What an answered window showed.
struct BoxSeen {
    std::string caption;
    std::string text;         // a message box's text, or the name a save dialog suggested
    std::vector<int> buttons; // ids of its visible push buttons, in ascending order
    int defaultButton = 0;    // the id of the default push button, 0 when none
    HICON icon = nullptr;     // what its icon static shows
    std::chrono::steady_clock::time_point answeredAt;
};

// Answers the dialog windows (#32770) that a process opens, from a thread of its own, as the script says, in its
// order. A window of an unexpected caption or text, one more than the script holds, and one that does not close
// after its answer are test failures; each is dismissed, so that nothing blocks the process for ever.
class BoxAnswerer {
public:
    // The windows of this process, for tests that open them in-process.
    explicit BoxAnswerer(std::vector<Box> script) : BoxAnswerer(GetCurrentProcessId(), std::move(script)) {}
    BoxAnswerer(DWORD processId, std::vector<Box> script);
    BoxAnswerer(const BoxAnswerer&) = delete;
    BoxAnswerer& operator=(const BoxAnswerer&) = delete;
    ~BoxAnswerer() { stop(); }

    // Waits until the script is answered or the time is up, then stops and waits until the answered windows are
    // gone; reports what went against the script as test failures and gives what the answered windows showed.
    std::vector<BoxSeen> finish(DWORD milliseconds = 15000);

private:
    struct Answered {
        HWND window;
        DWORD at;
        bool released; // pressed again by the answerer, after the script's answer or a dismissal
    };

    void run();
    HWND newWindow();
    // The step's window or one of its alternatives that fits the window; nullptr when none does.
    static const Box* fitting(const Box& step, HWND window);
    void answer(const Box& box, HWND window);
    void dismiss(HWND window, const std::string& why);
    // Presses the window's first button of Cancel, No and OK, noting once that it kept open after its answer.
    void release(Answered& done);
    // Releases the answered windows that are still open after the time a window takes to close.
    void releaseStuck();
    void stop();

    DWORD processId_;
    std::vector<Box> script_;
    std::vector<HWND> before_;  // windows open when the answerer started: not the script's
    std::vector<Answered> answered_;
    std::vector<BoxSeen> seen_;
    std::vector<std::string> problems_;
    std::atomic<size_t> next_{0}; // the script's next step
    std::atomic<bool> running_{true};
    std::thread thread_; // last, so that it starts on a whole object
};

} // namespace kit
