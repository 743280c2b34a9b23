// Money amounts in the settings dialog: their display text, validity and normalisation.
#pragma once

#include <cstddef>

// Room for "%.8f" of any double.
constexpr size_t kMoneyTextSize = 330;

// "%.8f" with trailing zeros and then a trailing point removed.
void formatMoney(double value, char* out, size_t size);
