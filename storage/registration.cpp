// Writes the Run value, the uninstall script and the uninstall entry.
#include <windows.h>

#include "storage/registration.h"

void registerAutostart() {}
void registerUninstall(const char*) {}
