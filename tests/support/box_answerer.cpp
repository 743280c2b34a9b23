// The scripted answerer of message boxes and dialogs: finds each new #32770 window of the process, checks it
// against the script and answers it.
#include "tests/support/kit.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace kit {

namespace {

constexpr DWORD kClosingTime = 5000; // an answered window still there after this long did not take its answer

struct DialogSearch {
    DWORD processId;
    std::vector<HWND> found;
};

BOOL CALLBACK collectDialog(HWND window, LPARAM context)
{
    DialogSearch& search = *reinterpret_cast<DialogSearch*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search.processId && IsWindowVisible(window) && classNameOf(window) == "#32770")
        search.found.push_back(window);
    return TRUE;
}

std::vector<HWND> visibleDialogs(DWORD processId)
{
    DialogSearch search{processId, {}};
    EnumWindows(collectDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool contains(const std::vector<HWND>& windows, HWND window)
{
    return std::find(windows.begin(), windows.end(), window) != windows.end();
}

void press(HWND window, int button)
{
    if (button == kCloseBox)
        PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    else
        PostMessageA(GetDlgItem(window, button), BM_CLICK, 0, 0);
}

// What the window shows: its caption, text, push buttons, default button and icon.
BoxSeen look(HWND window)
{
    BoxSeen seen;
    seen.caption = windowText(window);
    const HWND name = GetDlgItem(window, kFileNameCombo);
    seen.text = windowText(name != nullptr ? name : GetDlgItem(window, kMessageBoxText));
    for (HWND child = GetWindow(window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        const std::string kind = classNameOf(child);
        const LONG style = GetWindowLongA(child, GWL_STYLE);
        if (lstrcmpiA(kind.c_str(), "Button") == 0 && IsWindowVisible(child)) {
            const LONG type = style & BS_TYPEMASK;
            if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON)
                seen.buttons.push_back(GetDlgCtrlID(child));
            if (type == BS_DEFPUSHBUTTON)
                seen.defaultButton = GetDlgCtrlID(child);
        }
        // Message boxes give the icon static different ids on different systems.
        if (lstrcmpiA(kind.c_str(), "Static") == 0 && (style & SS_TYPEMASK) == SS_ICON && seen.icon == nullptr)
            seen.icon = reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
    }
    std::sort(seen.buttons.begin(), seen.buttons.end());
    return seen;
}

std::string describe(const BoxSeen& seen) { return seen.caption + "|" + seen.text; }

} // namespace

BoxAnswerer::BoxAnswerer(DWORD processId, std::vector<Box> script)
    : processId_(processId), script_(std::move(script)), before_(visibleDialogs(processId)),
      thread_([this] { run(); })
{
}

std::vector<BoxSeen> BoxAnswerer::finish(DWORD milliseconds)
{
    waitUntil([&] { return next_ >= script_.size(); }, milliseconds);
    stop();
    // What the test does next may rely on the answers having taken effect: the windows are gone.
    for (Answered& done : answered_)
        if (!waitUntil([&] { return !IsWindow(done.window) || !IsWindowVisible(done.window); }, kClosingTime))
            release(done);
    for (const std::string& problem : problems_)
        ADD_FAILURE() << problem;
    for (size_t step = next_; step < script_.size(); ++step)
        ADD_FAILURE() << "never appeared: " << script_[step].caption << "|" << script_[step].text;
    problems_.clear();
    next_ = script_.size();
    return seen_;
}

void BoxAnswerer::stop()
{
    running_ = false;
    if (thread_.joinable())
        thread_.join();
}

void BoxAnswerer::run()
{
    while (running_) {
        releaseStuck();
        if (const HWND window = newWindow()) {
            if (next_ >= script_.size()) {
                dismiss(window, "unexpected: ");
                continue;
            }
            const Box* box = fitting(script_[next_], window);
            if (box == nullptr) {
                dismiss(window, "unexpected, instead of " + script_[next_].caption + ": ");
                continue;
            }
            answer(*box, window);
            ++next_;
            continue;
        }
        Sleep(10);
    }
}

HWND BoxAnswerer::newWindow()
{
    // Under Wine without a window manager a closing window can stay visible for a while: an answered window is
    // never taken again.
    for (HWND window : visibleDialogs(processId_)) {
        const bool answered = std::any_of(answered_.begin(), answered_.end(),
                                          [&](const Answered& done) { return done.window == window; });
        if (!answered && !contains(before_, window))
            return window;
    }
    return nullptr;
}

const Box* BoxAnswerer::fitting(const Box& step, HWND window)
{
    const bool saveDialog = GetDlgItem(window, kFileNameCombo) != nullptr;
    if (windowText(window) == step.caption && saveDialog == !step.fileName.empty())
        return &step;
    for (const Box& other : step.otherwise)
        if (const Box* box = fitting(other, window))
            return box;
    return nullptr;
}

void BoxAnswerer::answer(const Box& box, HWND window)
{
    BoxSeen seen = look(window);
    if (!box.text.empty() && seen.text != box.text)
        problems_.push_back("the box " + box.caption + " said \"" + seen.text + "\" instead of \"" + box.text + "\"");
    if (box.whileOpen)
        box.whileOpen(window);
    if (!box.fileName.empty())
        SendMessageA(GetDlgItem(window, kFileNameCombo), WM_SETTEXT, 0,
                     reinterpret_cast<LPARAM>(box.fileName.c_str()));
    seen.answeredAt = std::chrono::steady_clock::now();
    seen_.push_back(seen);
    answered_.push_back(Answered{window, GetTickCount(), false});
    press(window, box.button);
}

void BoxAnswerer::dismiss(HWND window, const std::string& why)
{
    problems_.push_back(why + describe(look(window)));
    answered_.push_back(Answered{window, GetTickCount(), true});
    for (int button : {IDNO, IDCANCEL, IDOK}) {
        if (GetDlgItem(window, button) != nullptr) {
            press(window, button);
            return;
        }
    }
    press(window, kCloseBox);
}

void BoxAnswerer::release(Answered& done)
{
    if (!done.released)
        problems_.push_back("did not close after its answer: " + describe(look(done.window)));
    done.released = true;
    done.at = GetTickCount();
    for (int button : {IDCANCEL, IDNO, IDOK}) {
        if (GetDlgItem(done.window, button) != nullptr) {
            press(done.window, button);
            return;
        }
    }
}

void BoxAnswerer::releaseStuck()
{
    // Pressed again and again: a window may take an answer only to open another one in its place.
    for (Answered& done : answered_)
        if (GetTickCount() - done.at >= kClosingTime && IsWindow(done.window) && IsWindowVisible(done.window))
            release(done);
    answered_.erase(std::remove_if(answered_.begin(), answered_.end(),
                                   [](const Answered& done) { return !IsWindow(done.window); }),
                    answered_.end());
}

} // namespace kit
