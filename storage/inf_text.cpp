// Builds the uninstall script's text.
#include "storage/inf_text.h"

std::string uninstallInfText(bool, const char*) { return std::string(); }
