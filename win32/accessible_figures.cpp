// The accessible objects of the statistics window and the timer strip, in raw COM: each figure a child named by
// its row and column with its drawn text as value, read from the same texts, places and colours as the paint.
#include "win32/accessible_figures.h"

#include <ole2.h>
#include <oleacc.h>

#include <cstring>
#include <cwchar>
#include <new>

#include "core/display.h"
#include "core/settings.h"
#include "core/state.h"
#include "core/text.h"
#include "win32/lazy_libraries.h"
#include "win32/program_records.h"
#include "win32/statistics_window.h"
#include "win32/timer_window.h"

namespace {

// The statistics window's children: the table row by row, each row's time then cost, then the status line.
constexpr LONG kTableChildren = kStatisticsRows * kStatisticsColumns;
constexpr LONG kStatusChild = kTableChildren + 1;
constexpr LONG kMostChildren = kStatusChild;
// The current connection's row: gray and empty while no connection is shown.
constexpr int kLiveRow = 0;
// The least time between two announcements of one figure, in milliseconds.
constexpr DWORD kAnnouncePause = 1000;
// Where each window keeps its object.
const char kObjectProperty[] = "TolvarFigures";

// Room for a row label and a column header; for a cost, a blank and the currency symbol.
constexpr size_t kNameSize = 64;
constexpr size_t kValueSize = kCostTextSize + 8;

// The accessibility calls, none of them imported, each looked up when first needed: the program starts and
// counts where they are missing (Windows 95 has neither oleacc nor NotifyWinEvent), only unheard there.
struct AccessibilityCalls {
    LazyFunction lresultFromObject;          // oleacc: hands the object to the client that asked
    LazyFunction accessibleObjectFromWindow; // oleacc: the window's standard object, the parent of ours
    LazyFunction coInitialize;               // ole32: COM on the window thread before the first object
    LazyFunction coDisconnectObject;         // ole32: ends the other processes' hold when the window goes
    LazyFunction sysAllocStringLen;          // oleaut32: the texts handed out
    LazyFunction notifyWinEvent;             // user32: the announcements
    bool comStarted;                         // CoInitialize has answered on the window thread
    bool silent;                             // NotifyWinEvent was looked for in vain: no announcements
};
AccessibilityCalls calls = {{"oleacc.dll", "LresultFromObject", nullptr, nullptr},
                            {"oleacc.dll", "AccessibleObjectFromWindow", nullptr, nullptr},
                            {"ole32.dll", "CoInitialize", nullptr, nullptr},
                            {"ole32.dll", "CoDisconnectObject", nullptr, nullptr},
                            {"oleaut32.dll", "SysAllocStringLen", nullptr, nullptr},
                            {"user32.dll", "NotifyWinEvent", nullptr, nullptr},
                            false,
                            false};

// Through a plain function-pointer type, so that the compiler accepts the change of signature.
template <typename Function> Function call(LazyFunction& lazy)
{
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(resolveOnFirstUse(lazy, nullptr)));
}

bool comStarted()
{
    if (!calls.comStarted) {
        const auto coInitialize = call<HRESULT(WINAPI*)(LPVOID)>(calls.coInitialize);
        // A thread already in the multi-threaded apartment can hand out objects as well.
        const HRESULT result = coInitialize != nullptr ? coInitialize(nullptr) : E_NOTIMPL;
        calls.comStarted = SUCCEEDED(result) || result == RPC_E_CHANGED_MODE;
    }
    return calls.comStarted;
}

// `length` characters of `text` in the ANSI code page, as drawn, after what `out` holds.
void appendAnsi(wchar_t* out, size_t size, const char* text, int length)
{
    const size_t used = std::wcslen(out);
    const int room = static_cast<int>(size - used - 1);
    // With no room the call would only measure; a text that does not fit whole is left out.
    const int written = length > 0 && room > 0 ? MultiByteToWideChar(CP_ACP, 0, text, length, out + used, room) : 0;
    out[used + static_cast<size_t>(written > 0 ? written : 0)] = L'\0';
}

void appendAnsi(wchar_t* out, size_t size, const char* text) { appendAnsi(out, size, text, lstrlenA(text)); }

// One figure as its window shows it now.
struct Figure {
    wchar_t name[kNameSize];
    wchar_t value[kValueSize];
    RECT place;  // where it is drawn, in client coordinates
    DWORD role;  // ROLE_SYSTEM_CELL in the table, else ROLE_SYSTEM_STATICTEXT
    DWORD state; // STATE_SYSTEM_ALERT_HIGH in the warning colour, STATE_SYSTEM_UNAVAILABLE gray and empty
};

// "Current connection: Time": the row's label and the column's header as drawn.
void nameByCell(Figure& figure, int row, int column)
{
    appendAnsi(figure.name, kNameSize, statisticsRowLabel(row));
    appendAnsi(figure.name, kNameSize, " ");
    appendAnsi(figure.name, kNameSize, statisticsColumnHeader(column));
}

void describeStatusLine(HWND window, bool connected, Figure& figure)
{
    const char* text = statisticsStatusText(connected);
    appendAnsi(figure.name, kNameSize, text);
    appendAnsi(figure.value, kValueSize, text);
    RECT client;
    GetClientRect(window, &client);
    figure.place = statisticsStatusBox(client);
    figure.role = ROLE_SYSTEM_STATICTEXT;
}

// A figure of the table; a cost reads with the currency symbol drawn beside its cell.
void describeTableFigure(LONG child, bool connected, Figure& figure)
{
    const int row = static_cast<int>(child - 1) / kStatisticsColumns;
    const int column = static_cast<int>(child - 1) % kStatisticsColumns;
    const SettingsBlock& block = settings.block;
    nameByCell(figure, row, column);
    figure.place = statisticsCellInside(row, column);
    figure.role = ROLE_SYSTEM_CELL;
    if ((row == kLiveRow && !connected) || (column == kCostColumn && block.calculateCost == 0)) {
        figure.state = STATE_SYSTEM_UNAVAILABLE;
        return;
    }
    const StatisticsFigures figures = statisticsFiguresNow(connected);
    const double value = column == kCostColumn ? figures.costs[row] : figures.seconds[row];
    char text[kCostTextSize];
    appendAnsi(figure.value, kValueSize, text, statisticsFigureText(column, value, block.tariffCommon, text, sizeof text));
    if (column == kCostColumn) {
        appendAnsi(figure.value, kValueSize, " ");
        appendAnsi(figure.value, kValueSize, shell.currencySymbol, currencySymbolDrawnLength());
    }
    if (statisticsFigureWarns(block, row, column, value))
        figure.state = STATE_SYSTEM_ALERT_HIGH;
}

// The strip shows the current connection's time, and is named so.
void describeStrip(HWND window, Figure& figure)
{
    const double seconds = accounting.liveConnection.curConnSeconds;
    nameByCell(figure, kLiveRow, kTimeColumn);
    char text[kDurationTextSize];
    appendAnsi(figure.value, kValueSize, text, timerStripText(seconds, text, sizeof text));
    GetClientRect(window, &figure.place);
    figure.role = ROLE_SYSTEM_STATICTEXT;
    if (timerStripWarns(seconds, settings.block))
        figure.state = STATE_SYSTEM_ALERT_HIGH;
}

LONG childCount(FigureSet set) { return set == FigureSet::Statistics ? kStatusChild : 1; }

Figure describe(HWND window, FigureSet set, LONG child)
{
    Figure figure = {};
    if (set == FigureSet::TimerStrip)
        describeStrip(window, figure);
    else if (child == kStatusChild)
        describeStatusLine(window, statisticsShowsConnection(), figure);
    else
        describeTableFigure(child, statisticsShowsConnection(), figure);
    return figure;
}

HRESULT handOut(const wchar_t* text, BSTR* out)
{
    if (out == nullptr)
        return E_POINTER;
    const auto sysAllocStringLen = call<BSTR(WINAPI*)(const OLECHAR*, UINT)>(calls.sysAllocStringLen);
    *out = sysAllocStringLen != nullptr ? sysAllocStringLen(text, static_cast<UINT>(std::wcslen(text))) : nullptr;
    return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT noText(BSTR* out)
{
    if (out == nullptr)
        return E_POINTER;
    *out = nullptr;
    return S_FALSE;
}

void setChild(VARIANT* out, LONG child)
{
    out->vt = VT_I4;
    out->lVal = child;
}

// What one figure was last told as, and when.
struct Told {
    wchar_t value[kValueSize];
    DWORD state;
    DWORD at; // GetTickCount of the announcement
};

// The object of one window. It lives as long as the window or a client holds it; once the window is gone
// every question is answered CO_E_OBJNOTCONNECTED.
class FiguresObject final : public IAccessible {
public:
    FiguresObject(HWND window, FigureSet set) : window_(window), set_(set)
    {
        const DWORD now = GetTickCount();
        for (LONG child = 1; child <= childCount(set_); ++child)
            remember(child, describe(window_, set_, child), now - kAnnouncePause);
    }

    void disconnect() { window_ = nullptr; }

    void announceChanges()
    {
        // Looked for once only: every tick would load the library again where the call is missing.
        const auto notifyWinEvent =
            calls.silent ? nullptr : call<void(WINAPI*)(DWORD, HWND, LONG, LONG)>(calls.notifyWinEvent);
        calls.silent = notifyWinEvent == nullptr;
        if (notifyWinEvent == nullptr || window_ == nullptr)
            return;
        const DWORD now = GetTickCount();
        for (LONG child = 1; child <= childCount(set_); ++child) {
            const Figure figure = describe(window_, set_, child);
            const Told& told = told_[child - 1];
            const bool valueChanged = std::wcscmp(told.value, figure.value) != 0;
            const bool stateChanged = told.state != figure.state;
            if ((!valueChanged && !stateChanged) || now - told.at < kAnnouncePause)
                continue;
            remember(child, figure, now);
            if (valueChanged)
                notifyWinEvent(EVENT_OBJECT_VALUECHANGE, window_, OBJID_CLIENT, child);
            // The status line is named by its text.
            if (valueChanged && set_ == FigureSet::Statistics && child == kStatusChild)
                notifyWinEvent(EVENT_OBJECT_NAMECHANGE, window_, OBJID_CLIENT, child);
            if (stateChanged)
                notifyWinEvent(EVENT_OBJECT_STATECHANGE, window_, OBJID_CLIENT, child);
        }
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (object == nullptr)
            return E_POINTER;
        *object = nullptr;
        if (!IsEqualIID(iid, __uuidof(IUnknown)) && !IsEqualIID(iid, __uuidof(IDispatch)) &&
            !IsEqualIID(iid, __uuidof(IAccessible)))
            return E_NOINTERFACE;
        *object = static_cast<IAccessible*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const LONG left = InterlockedDecrement(&references_);
        if (left == 0)
            delete this;
        return static_cast<ULONG>(left);
    }

    // No type information: clients call the methods through the interface.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        if (count == nullptr)
            return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override
    {
        if (info != nullptr)
            *info = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }

    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override
    {
        if (parent == nullptr)
            return E_POINTER;
        *parent = nullptr;
        if (window_ == nullptr)
            return CO_E_OBJNOTCONNECTED;
        const auto fromWindow =
            call<HRESULT(WINAPI*)(HWND, DWORD, REFIID, void**)>(calls.accessibleObjectFromWindow);
        if (fromWindow == nullptr)
            return S_FALSE;
        return fromWindow(window_, static_cast<DWORD>(OBJID_WINDOW), __uuidof(IDispatch),
                          reinterpret_cast<void**>(parent));
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override
    {
        if (count == nullptr)
            return E_POINTER;
        *count = childCount(set_);
        return window_ != nullptr ? S_OK : CO_E_OBJNOTCONNECTED;
    }
    // The figures are simple elements, known by their child ids only.
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT id, IDispatch** child) override
    {
        if (child == nullptr)
            return E_POINTER;
        *child = nullptr;
        LONG which = 0;
        const HRESULT asked = childAsked(id, which);
        return FAILED(asked) ? asked : (which == CHILDID_SELF ? E_INVALIDARG : S_FALSE);
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT id, BSTR* name) override
    {
        LONG which = 0;
        const HRESULT asked = childAsked(id, which);
        if (FAILED(asked))
            return asked;
        if (which != CHILDID_SELF)
            return handOut(describe(window_, set_, which).name, name);
        char title[128];
        wchar_t text[128] = L"";
        appendAnsi(text, 128, title, GetWindowTextA(window_, title, sizeof title));
        return handOut(text, name);
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT id, BSTR* value) override
    {
        LONG which = 0;
        const HRESULT asked = childAsked(id, which);
        if (FAILED(asked))
            return asked;
        return which == CHILDID_SELF ? noText(value) : handOut(describe(window_, set_, which).value, value);
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT, BSTR* text) override { return noText(text); }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT id, VARIANT* role) override
    {
        LONG which = 0;
        const HRESULT asked = childAsked(id, which);
        if (FAILED(asked) || role == nullptr)
            return FAILED(asked) ? asked : E_POINTER;
        setChild(role, which == CHILDID_SELF ? ROLE_SYSTEM_CLIENT : describe(window_, set_, which).role);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT id, VARIANT* state) override
    {
        LONG which = 0;
        const HRESULT asked = childAsked(id, which);
        if (FAILED(asked) || state == nullptr)
            return FAILED(asked) ? asked : E_POINTER;
        DWORD flags = IsWindowVisible(window_) ? 0 : STATE_SYSTEM_INVISIBLE;
        if (which != CHILDID_SELF)
            flags |= STATE_SYSTEM_READONLY | describe(window_, set_, which).state;
        setChild(state, static_cast<LONG>(flags));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT, BSTR* text) override { return noText(text); }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT, LONG* topic) override
    {
        if (topic != nullptr)
            *topic = 0;
        return noText(file);
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT, BSTR* text) override { return noText(text); }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override { return nothing(focus); }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override { return nothing(selection); }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT, BSTR* text) override { return noText(text); }
    HRESULT STDMETHODCALLTYPE accSelect(LONG, VARIANT) override { return DISP_E_MEMBERNOTFOUND; }
    HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height, VARIANT id) override
    {
        LONG which = 0;
        const HRESULT asked = childAsked(id, which);
        if (FAILED(asked) || left == nullptr || top == nullptr || width == nullptr || height == nullptr)
            return FAILED(asked) ? asked : E_POINTER;
        RECT place;
        if (which == CHILDID_SELF)
            GetClientRect(window_, &place);
        else
            place = describe(window_, set_, which).place;
        MapWindowPoints(window_, HWND_DESKTOP, reinterpret_cast<POINT*>(&place), 2);
        *left = place.left;
        *top = place.top;
        *width = place.right - place.left;
        *height = place.bottom - place.top;
        return S_OK;
    }
    // Siblings in reading order; the first and last from the object itself.
    HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override
    {
        LONG which = 0;
        const HRESULT asked = childAsked(start, which);
        if (FAILED(asked) || end == nullptr)
            return FAILED(asked) ? asked : E_POINTER;
        end->vt = VT_EMPTY;
        LONG to = 0;
        if (which == CHILDID_SELF)
            to = direction == NAVDIR_FIRSTCHILD ? 1 : (direction == NAVDIR_LASTCHILD ? childCount(set_) : 0);
        else if (direction == NAVDIR_NEXT || direction == NAVDIR_PREVIOUS)
            to = which + (direction == NAVDIR_NEXT ? 1 : -1);
        if (to < 1 || to > childCount(set_))
            return S_FALSE;
        setChild(end, to);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* found) override
    {
        if (found == nullptr)
            return E_POINTER;
        found->vt = VT_EMPTY;
        if (window_ == nullptr)
            return CO_E_OBJNOTCONNECTED;
        POINT point = {x, y};
        RECT client;
        GetClientRect(window_, &client);
        ScreenToClient(window_, &point);
        if (!PtInRect(&client, point))
            return S_FALSE;
        LONG child = childCount(set_);
        for (; child > 0; --child) {
            const Figure figure = describe(window_, set_, child);
            if (PtInRect(&figure.place, point))
                break;
        }
        setChild(found, child);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT) override { return DISP_E_MEMBERNOTFOUND; }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

private:
    ~FiguresObject() = default;

    // The child a client names: CHILDID_SELF or one of the figures, while the window lives.
    HRESULT childAsked(const VARIANT& id, LONG& child) const
    {
        if (window_ == nullptr)
            return CO_E_OBJNOTCONNECTED;
        if (id.vt != VT_I4 || id.lVal < CHILDID_SELF || id.lVal > childCount(set_))
            return E_INVALIDARG;
        child = id.lVal;
        return S_OK;
    }

    HRESULT nothing(VARIANT* out) const
    {
        if (out == nullptr)
            return E_POINTER;
        out->vt = VT_EMPTY;
        return window_ != nullptr ? S_FALSE : CO_E_OBJNOTCONNECTED;
    }

    void remember(LONG child, const Figure& figure, DWORD at)
    {
        Told& told = told_[child - 1];
        static_assert(sizeof told.value == sizeof figure.value, "one size of value");
        std::memcpy(told.value, figure.value, sizeof told.value);
        told.state = figure.state;
        told.at = at;
    }

    LONG references_ = 1; // the window's own and the clients'
    HWND window_;         // null once the window is destroyed
    FigureSet set_;
    Told told_[kMostChildren] = {};
};

FiguresObject* objectOf(HWND window) { return static_cast<FiguresObject*>(GetPropA(window, kObjectProperty)); }

// The window's object, made at the first need; null when there is no memory for it.
FiguresObject* objectFor(HWND window, FigureSet set)
{
    FiguresObject* object = objectOf(window);
    if (object != nullptr)
        return object;
    object = new (std::nothrow) FiguresObject(window, set);
    if (object != nullptr && SetPropA(window, kObjectProperty, object) == FALSE) {
        object->Release();
        object = nullptr;
    }
    return object;
}

} // namespace

LRESULT answerFiguresObject(HWND window, FigureSet set, WPARAM wParam, LPARAM lParam)
{
    // The object id comes as 32 bits, which a 64-bit lParam may carry without their sign.
    if (static_cast<DWORD>(lParam) == static_cast<DWORD>(OBJID_CLIENT) && comStarted()) {
        const auto lresultFromObject = call<LRESULT(WINAPI*)(REFIID, WPARAM, LPUNKNOWN)>(calls.lresultFromObject);
        FiguresObject* object = lresultFromObject != nullptr ? objectFor(window, set) : nullptr;
        if (object != nullptr)
            return lresultFromObject(__uuidof(IAccessible), wParam, object);
    }
    return DefWindowProcA(window, WM_GETOBJECT, wParam, lParam);
}

void announceFigureChanges()
{
    if (shell.statisticsWindow != nullptr)
        if (FiguresObject* object = objectFor(shell.statisticsWindow, FigureSet::Statistics))
            object->announceChanges();
    if (timerWindowExists())
        if (FiguresObject* object = objectFor(shell.timerWindow, FigureSet::TimerStrip))
            object->announceChanges();
}

void releaseFiguresObject(HWND window)
{
    FiguresObject* object = objectOf(window);
    if (object == nullptr)
        return;
    RemovePropA(window, kObjectProperty);
    object->disconnect();
    // Only an object that was handed out has clients in other processes.
    if (calls.comStarted)
        if (const auto disconnect = call<HRESULT(WINAPI*)(LPUNKNOWN, DWORD)>(calls.coDisconnectObject))
            disconnect(object, 0);
    object->Release();
}
