// Money amounts in the settings dialog: their display text, validity and normalisation.
#pragma once

#include <cstddef>
#include <string>

// Room for "%.8f" of any double: 309 integer digits, a sign, a point, eight decimals and the NUL.
constexpr size_t kMoneyTextSize = 330;

// "%.8f" with trailing zeros and then a trailing point removed.
void formatMoney(double value, char* out, size_t size);

// When the text holds a point: drops trailing "0" characters, then a trailing point.
void trimMoneyZeros(std::string& text);

// How an amount's characters are classed, as the ANSI code page 1252 classes them: bytes that are letters in
// code page 1252 (A-Z, a-z and the accented and other letters above 0x7F) are letters, only 0-9 are digits,
// and every other byte (superscript digits included) is neither.
bool isAmountLetter(unsigned char c);
bool isAmountDigit(unsigned char c);

// True when the whole text is digits with at most one point, which does not come first.
bool isValidAmount(const std::string& text);

// The text of a valid amount without superfluous zeros: "012" -> "12", "5.0" -> "5.", "007.5" -> "7.5".
std::string normalizeAmount(std::string text);
