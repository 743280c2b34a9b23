// The figures of the statistics window and the timer strip for screen readers: an accessible object per window.
#pragma once

#include <windows.h>

// Which window's figures an object describes.
enum class FigureSet {
    Statistics, // the eight figures of the table, row by row, then the status line
    TimerStrip, // the strip's one time
};

// WM_GETOBJECT: the window's accessible object for OBJID_CLIENT, made at the first request and kept with the
// window; the default answer for other objects, or where the accessibility libraries are missing.
LRESULT answerFiguresObject(HWND window, FigureSet set, WPARAM wParam, LPARAM lParam);

// Tells accessibility clients of every figure of both windows whose text or warning changed, each figure at
// most once a second; a change held back is told at the first call after its second is over.
void announceFigureChanges();

// WM_DESTROY: the window lets go of its object; clients still holding it get CO_E_OBJNOTCONNECTED.
void releaseFiguresObject(HWND window);
