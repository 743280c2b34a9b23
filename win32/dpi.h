// The screen's and each window's dots per inch, looked up at run time, and what a window keeps for its DPI.
#pragma once

#include <windows.h>

// The DPI every fixed pixel measure of the program is given for.
constexpr UINT kDefaultDpi = 96;

// Sent by the system when a window moves to a monitor of another DPI (or that monitor's DPI changes): wParam's
// low word the new DPI, lParam the suggested window rectangle. The second reaches child windows afterwards.
// The headers' level of the program predates both.
constexpr UINT kWmDpiChanged = 0x02E0;
constexpr UINT kWmDpiChangedAfterParent = 0x02E3;

// Declares the process per-monitor aware through whichever call this system has, newest first. Older systems lack
// them, and a system may refuse (the manifest has declared it already, or another policy holds): never fatal.
void declareDpiAwareness();

// The DPI of the primary screen, which windows not yet created are sized for.
UINT systemDpi();
// The DPI of the monitor the window is on; the screen's where the system cannot tell monitors apart.
UINT dpiOfWindow(HWND window);

// A measure of `pixels` at the default DPI, at `dpi`.
int scaled(int pixels, UINT dpi);
// A system metric at `dpi`: the system's own answer where it has one, else the metric at the system's DPI scaled.
int metricForDpi(int index, UINT dpi);

// A font of the face of DEFAULT_GUI_FONT a painted window uses: `height` pixels at the default DPI, or, with a
// metric, that metric's height; and its weight.
struct WindowFontRecipe {
    int height; // cell height at the default DPI; unused with a metric
    int metric; // a system metric (SM_CYCAPTION) giving the height at the window's DPI, or 0
    int weight; // FW_NORMAL or FW_BOLD
};

// What a window keeps for the DPI it is laid out and painted for, from its creation to its last message: its
// fonts are made once for that DPI instead of at every paint.
constexpr int kMaxWindowFonts = 4;
struct WindowScale {
    UINT dpi;                     // the DPI the window is laid out and painted for
    HFONT fonts[kMaxWindowFonts]; // its fonts at that DPI, in the order of the recipes it was made with
    const WindowFontRecipe* recipes;  // those recipes, each font's height and weight at the default DPI
    int fontCount;                // how many of them
};

// Makes the window's record, with its fonts for `dpi`, and keeps it on the window; returns it (null when the window
// refused it, which then paints at the default DPI with fonts made per paint).
WindowScale* attachWindowScale(HWND window, UINT dpi, const WindowFontRecipe* recipes, int count);
// The window's record, or null for a window without one.
WindowScale* windowScaleOf(HWND window);
// The window's fonts made anew for `dpi`; the old ones deleted.
void rescaleWindow(HWND window, UINT dpi);
// Frees the window's record and its fonts; called at the window's last message.
void detachWindowScale(HWND window);
// The DPI a window with a record paints for; the default DPI for one without.
UINT paintDpiOf(HWND window);
// The handling of WM_DPICHANGED common to the program's windows: new fonts for the new DPI, the window moved to
// the system's suggested rectangle, and everything repainted.
void applyDpiChange(HWND window, WPARAM wParam, LPARAM lParam);
