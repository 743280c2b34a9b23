// Fuzzes the amount checks of the settings dialog with any text: a valid text stays valid once normalised,
// normalising twice changes nothing, and the display text of any double is bounded.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "core/money.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (isValidAmount(text)) {
        const std::string once = normalizeAmount(text);
        if (!isValidAmount(once) || normalizeAmount(once) != once)
            __builtin_trap();
    }

    if (size >= 8) {
        double value;
        std::memcpy(&value, data, sizeof value);
        char shown[kMoneyTextSize];
        formatMoney(value, shown, sizeof shown);
        if (std::memchr(shown, '\0', sizeof shown) == nullptr)
            __builtin_trap();
    }
    return 0;
}
