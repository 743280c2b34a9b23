// Registration with the system: autostart at every start, uninstall script and entry on the first run.
#pragma once

void registerAutostart();
void registerUninstall(const char* installDirectory);
