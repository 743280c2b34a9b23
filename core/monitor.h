// The connection monitor run by every timer tick.
#pragma once

// Timer identifiers of the statistics window.
constexpr int kFastTimer = 1; // 50 ms: notices connections and their end
constexpr int kSlowTimer = 2; // 1000 ms: also runs the automatic month check

// One tick: the month check on the slow timer when enabled, then the status source and the state change.
void pollConnection(int timerId);
// A connection first seen: start time, floating timer, "Connected..." and the reserved log slot.
void beginConnection();
// Advances and reprices the live duration, at most once per clock second.
void advanceConnection();
// Closes the live connection into the totals and the log, and shows "No connection".
void endConnection();
