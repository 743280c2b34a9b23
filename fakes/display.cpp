// The fake display: each call recorded by name.
#include "core/display.h"
#include "core/limit_notice.h"
#include "fakes/world.h"

namespace {

void displayCall(const char* name)
{
    fake.calls.push_back(name);
    ++fake.paints;
}

} // namespace

void paintConnected(bool full) { displayCall(full ? "paintConnected(full)" : "paintConnected"); }
void paintNotConnected() { displayCall("paintNotConnected"); }
void invalidateStatistics() { displayCall("invalidateStatistics"); }
void showTimerWindow()
{
    displayCall("showTimerWindow");
    fake.timerWindowOpen = true;
}
bool timerWindowExists() { return fake.timerWindowOpen; }
void paintTimer() { displayCall("paintTimer"); }
void destroyTimerWindow()
{
    displayCall("destroyTimerWindow");
    fake.timerWindowOpen = false;
}
void refreshDetailsIfOpen() { displayCall("refreshDetailsIfOpen"); }
// The user is told through a box the native tests do not have; the store's own state is checked instead.
void reportStoreTrouble() {}
// Kept apart from the calls, so that sequences of paints read the same whether or not a limit was passed.
void showLimitNotice(const LimitNotice& notice)
{
    char text[kLimitNoticeSize];
    formatLimitNotice(notice, 60.0, "$", 1, text, sizeof text);
    fake.notices.push_back(text);
}
