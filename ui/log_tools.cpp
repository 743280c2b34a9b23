// Clear and Save in file of the detailed window.
#include <windows.h>

#include "ui/log_tools.h"

void clearLog(ClearMode) {}
void exportLog(ViewFilter) {}
