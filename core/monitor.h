// The connection monitor run by every timer tick.
#pragma once

// What a tick is for: every tick polls the status source; the once-a-second one also runs the automatic month
// check when it is enabled and the check of passed limits.
enum class Tick { Poll, PollAndMonthCheck };

// One tick: the month check when it is that tick's and enabled, the limit notices on that tick, then the status
// source and the state change.
void pollConnection(Tick tick);
// A connection first seen: start time, floating timer, "Connected..." and the reserved log slot.
void beginConnection();
// Advances and reprices the live duration, at most once per clock second.
void advanceConnection();
// Closes the live connection into the totals and the log, and shows "No connection".
void endConnection();
