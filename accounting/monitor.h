// The connection monitor run by every timer tick.
#pragma once

// Timer identifiers of the statistics window.
constexpr int kFastTimer = 1; // 50 ms: notices connections and their end
constexpr int kSlowTimer = 2; // 1000 ms: also runs the automatic month check

void pollConnection(int timerId);
void beginConnection();
void advanceConnection();
void endConnection();
