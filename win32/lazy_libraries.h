// The common controls and the common dialogs, loaded on first use: a program that only sits in the tray
// never maps them (nor what they pull in), only one whose detailed window or save dialog is opened.
#pragma once

#include <windows.h>

#include <commdlg.h>

// One function of a system library that is loaded when the function is first needed, and then kept.
struct LazyFunction {
    const char* library;  // the DLL's file name
    const char* function; // its exported name
    const char* loss;     // what the user cannot do without it, for the message; null: missing without a word
    FARPROC address;      // the function once found; null until then
};

// The function's address, loading its library on the first call; null after a message box owned by
// `owner` when the library or the function cannot be found (null without one for a function without a loss).
// A later call tries again.
FARPROC resolveOnFirstUse(LazyFunction& lazy, HWND owner);

// Loads the common controls and registers their window classes; false, after the message, when they are missing.
bool loadCommonControls(HWND owner);
// The save dialog of the common dialogs; FALSE, after the message, when they are missing.
BOOL runSaveDialog(OPENFILENAMEA* dialog);
