// The floating timer strip.
#pragma once

#include <windows.h>

#include "core/settings.h"

LRESULT CALLBACK timerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// showTimerWindow, timerWindowExists, paintTimer and destroyTimerWindow are the display seams of core/display.h.

// The strip's picture: `client` filled black and `seconds` as hours, minutes and seconds over it, red above the
// per-connection time limit of `block`, else green, in a font and at a height made for a strip `captionHeight`
// pixels tall. The strip's own paint draws the same with the font it keeps for its DPI.
void drawTimerStrip(HDC dc, const RECT& client, int captionHeight, double seconds, const SettingsBlock& block);
// The strip's text for `seconds` and its length, and whether it is drawn in the warning colour; the strip's
// accessible object reads the same.
int timerStripText(double seconds, char* text, size_t size);
bool timerStripWarns(double seconds, const SettingsBlock& block);
