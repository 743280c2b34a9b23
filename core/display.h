// What the heart asks of the display at fixed points; it uses nothing they return. The windows of win32/ are the
// real ones: each call invalidates what it changes, and the window's own paint draws it at once.
#pragma once

struct LimitNotice;

void paintConnected(bool full);   // statistics window, connected layout
void paintNotConnected();         // statistics window, idle layout
void invalidateStatistics();      // full repaint of the statistics window
void showTimerWindow();           // open the floating timer strip
bool timerWindowExists();         // whether a strip is open
void paintTimer();                // repaint the strip
void destroyTimerWindow();        // close the strip the monitor opened
void refreshDetailsIfOpen();      // refill an open detailed list with its current filter
void reportStoreTrouble();        // tell the user, once, of data that has waited long for the data file
void showLimitNotice(const LimitNotice& notice); // a word that a limit was passed, from the tray icon
