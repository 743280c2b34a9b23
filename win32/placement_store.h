// The detailed window's placement in the per-user registry, as the value "Place".
#pragma once

#include "core/settings.h"

// Creates the placement's key when it is missing; run at every start.
void ensurePlacementKey();
// Reads "Place" over `placement`, a short value filling only its leading bytes; false when the key or the value
// cannot be read, and `placement` is then untouched.
bool loadPlacement(DetailPlacement& placement);
// Stores `placement` as "Place"; nothing when the key cannot be opened.
void storePlacement(const DetailPlacement& placement);
