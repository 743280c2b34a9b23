// Display text, validation and normalisation of money amounts.
#include "core/money.h"

#include <cstdio>

void trimMoneyZeros(std::string& text)
{
    if (text.find('.') == std::string::npos)
        return;
    while (!text.empty() && text.back() == '0')
        text.pop_back();
    if (!text.empty() && text.back() == '.')
        text.pop_back();
}

void formatMoney(double value, char* out, size_t size)
{
    if (size == 0)
        return;
    char buffer[kMoneyTextSize];
    std::snprintf(buffer, sizeof buffer, "%.8f", value);
    std::string text(buffer);
    trimMoneyZeros(text);
    std::snprintf(out, size, "%s", text.c_str());
}

bool isAmountDigit(unsigned char c) { return c >= '0' && c <= '9'; }

bool isAmountLetter(unsigned char c)
{
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))
        return true;
    switch (c) {
    case 0x83: // f with hook
    case 0x8A: // S caron
    case 0x8C: // OE
    case 0x8E: // Z caron
    case 0x9A: // s caron
    case 0x9C: // oe
    case 0x9E: // z caron
    case 0x9F: // Y diaeresis
    case 0xAA: // feminine ordinal
    case 0xB5: // micro sign
    case 0xBA: // masculine ordinal
        return true;
    default:
        // The accented capitals and small letters, less the multiplication and division signs.
        return c >= 0xC0 && c != 0xD7 && c != 0xF7;
    }
}

bool isValidAmount(const std::string& text)
{
    if (text.empty())
        return false;
    bool pointSeen = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (isAmountLetter(c))
            return false;
        if (isAmountDigit(c))
            continue;
        // Neither letter nor digit: only a single point that has a digit before it.
        if (c != '.' || pointSeen || i == 0)
            return false;
        pointSeen = true;
    }
    return true;
}

std::string normalizeAmount(std::string text)
{
    if (text.find('.') != std::string::npos) {
        // The point stays, so "5.0" becomes "5." and "0.0" becomes "0.".
        while (!text.empty() && text.back() == '0')
            text.pop_back();
        while (text.size() > 1 && text[0] == '0' && text[1] != '.')
            text.erase(0, 1);
        return text;
    }
    if (text.size() > 1 && text[0] == '0') {
        const size_t firstNonZero = text.find_first_not_of('0');
        text.erase(0, firstNonZero == std::string::npos ? text.size() - 1 : firstNonZero);
    }
    return text;
}
