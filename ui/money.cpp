// Display text, validation and normalisation of money amounts.
#include "ui/money.h"

void formatMoney(double, char* out, size_t size)
{
    if (size > 0)
        out[0] = '\0';
}
