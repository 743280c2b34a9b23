// Month tests and the fixed-format texts of the detailed list and the export.
#include "ui/log_format.h"

bool inCurrentMonth(const SystemTime& start, const SystemTime& today) { return start.wMonth == today.wMonth; }

bool inLastMonth(const SystemTime& start, const SystemTime& today)
{
    if (start.wMonth + 1 == today.wMonth)
        return true;
    return today.wMonth == 1 && start.wMonth == 12 && today.wYear - start.wYear == 1;
}
