// DPI lookups through the calls each system has, found at run time, and the per-window fonts for a DPI.
#include "win32/dpi.h"

#include "win32/program_records.h"

namespace {

// The window property that holds a window's WindowScale.
const char kScaleProperty[] = "Tolvar.WindowScale";

// The newest declaration of awareness (Windows 10 1703): per monitor, version 2. Its context handle is -4.
using SetAwarenessContextCall = BOOL(WINAPI*)(HANDLE);
// Windows 8.1's, in shcore.dll; 2 is per monitor.
using SetAwarenessCall = HRESULT(WINAPI*)(int);
// Vista's: system aware only.
using SetDpiAwareCall = BOOL(WINAPI*)();
using DpiForWindowCall = UINT(WINAPI*)(HWND);
using DpiForSystemCall = UINT(WINAPI*)();
using MetricForDpiCall = int(WINAPI*)(int, UINT);

const HANDLE kPerMonitorAwareV2 = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4));
constexpr int kProcessPerMonitorAware = 2;

template <typename Call> Call user32Call(const char* name)
{
    // user32 is loaded for the whole life of any program with windows, so its handle needs no freeing.
    const HMODULE user32 = GetModuleHandleA("user32.dll");
    if (user32 == nullptr)
        return nullptr;
    return reinterpret_cast<Call>(reinterpret_cast<void*>(GetProcAddress(user32, name)));
}

UINT screenDpi()
{
    HDC screen = GetDC(nullptr);
    const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSX) : 0;
    if (screen != nullptr)
        ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : kDefaultDpi;
}

bool declaredThroughShcore()
{
    const HMODULE shcore = LoadLibraryA("shcore.dll");
    if (shcore == nullptr)
        return false;
    const auto call = reinterpret_cast<SetAwarenessCall>(
        reinterpret_cast<void*>(GetProcAddress(shcore, "SetProcessDpiAwareness")));
    const bool declared = call != nullptr && SUCCEEDED(call(kProcessPerMonitorAware));
    FreeLibrary(shcore);
    return declared;
}

void makeFonts(WindowScale& scale)
{
    HDC screen = GetDC(nullptr);
    for (int i = 0; i < scale.fontCount; ++i) {
        const WindowFontRecipe& recipe = scale.recipes[i];
        const int height = recipe.metric != 0 ? metricForDpi(recipe.metric, scale.dpi) : scaled(recipe.height, scale.dpi);
        scale.fonts[i] = createGuiFont(screen, height, recipe.weight);
    }
    ReleaseDC(nullptr, screen);
}

void deleteFonts(WindowScale& scale)
{
    for (int i = 0; i < scale.fontCount; ++i) {
        if (scale.fonts[i] != nullptr)
            DeleteObject(scale.fonts[i]);
        scale.fonts[i] = nullptr;
    }
}

} // namespace

void declareDpiAwareness()
{
    // Each refusal only means the next older way is tried; the program runs at whatever awareness it is given.
    const auto context = user32Call<SetAwarenessContextCall>("SetProcessDpiAwarenessContext");
    if (context != nullptr && context(kPerMonitorAwareV2) != FALSE)
        return;
    if (declaredThroughShcore())
        return;
    const auto aware = user32Call<SetDpiAwareCall>("SetProcessDPIAware");
    if (aware != nullptr)
        aware();
}

UINT systemDpi()
{
    const auto call = user32Call<DpiForSystemCall>("GetDpiForSystem");
    const UINT dpi = call != nullptr ? call() : 0;
    return dpi != 0 ? dpi : screenDpi();
}

UINT dpiOfWindow(HWND window)
{
    const auto call = user32Call<DpiForWindowCall>("GetDpiForWindow");
    const UINT dpi = call != nullptr && window != nullptr ? call(window) : 0;
    return dpi != 0 ? dpi : systemDpi();
}

int scaled(int pixels, UINT dpi) { return MulDiv(pixels, static_cast<int>(dpi), static_cast<int>(kDefaultDpi)); }

int metricForDpi(int index, UINT dpi)
{
    const auto call = user32Call<MetricForDpiCall>("GetSystemMetricsForDpi");
    if (call != nullptr)
        return call(index, dpi);
    return MulDiv(GetSystemMetrics(index), static_cast<int>(dpi), static_cast<int>(systemDpi()));
}

WindowScale* attachWindowScale(HWND window, UINT dpi, const WindowFontRecipe* recipes, int count)
{
    auto* scale = new WindowScale{};
    scale->dpi = dpi;
    scale->recipes = recipes;
    scale->fontCount = count < kMaxWindowFonts ? count : kMaxWindowFonts;
    makeFonts(*scale);
    if (SetPropA(window, kScaleProperty, scale) == FALSE) {
        deleteFonts(*scale);
        delete scale;
        return nullptr;
    }
    return scale;
}

WindowScale* windowScaleOf(HWND window) { return static_cast<WindowScale*>(GetPropA(window, kScaleProperty)); }

void rescaleWindow(HWND window, UINT dpi)
{
    WindowScale* scale = windowScaleOf(window);
    if (scale == nullptr || dpi == 0)
        return;
    deleteFonts(*scale);
    scale->dpi = dpi;
    makeFonts(*scale);
}

void detachWindowScale(HWND window)
{
    WindowScale* scale = static_cast<WindowScale*>(RemovePropA(window, kScaleProperty));
    if (scale == nullptr)
        return;
    deleteFonts(*scale);
    delete scale;
}

UINT paintDpiOf(HWND window)
{
    const WindowScale* scale = windowScaleOf(window);
    return scale != nullptr ? scale->dpi : kDefaultDpi;
}

void applyDpiChange(HWND window, WPARAM wParam, LPARAM lParam)
{
    rescaleWindow(window, LOWORD(wParam));
    const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
    if (suggested != nullptr)
        SetWindowPos(window, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(window, nullptr, TRUE);
}
