// Clearing the connection log and exporting it as text.
#pragma once

#include "core/log_format.h"

void clearLog(ClearMode mode);
void exportLog(ViewFilter filter);
