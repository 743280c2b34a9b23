// The amount check against the system's own classification of the ANSI code page's characters.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "core/money.h"

namespace {

// The check as the system's calls would make it: letters refused, other non-alphanumerics refused but for
// one point after the first character, and whatever the system calls alphanumeric but not a letter taken.
bool validBySystemCalls(const std::string& text)
{
    bool pointSeen = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (IsCharAlphaA(c))
            return false;
        if (IsCharAlphaNumericA(c))
            continue;
        if (c != '.' || pointSeen || i == 0)
            return false;
        pointSeen = true;
    }
    return !text.empty();
}

// The two agree on every character but those the system calls digits beyond 0-9 (the superscripts), which the
// conversion of the amount would stop at; the check refuses them.
TEST(AmountClasses, TheCheckAgreesWithTheSystemsClassesButForItsOtherDigits)
{
    if (GetACP() != 1252)
        GTEST_SKIP() << "the expected differences are those of code page 1252";
    std::string differ;
    for (int c = 1; c < 256; ++c) {
        for (const std::string& text : {std::string(1, static_cast<char>(c)), "1" + std::string(1, static_cast<char>(c))}) {
            if (isValidAmount(text) != validBySystemCalls(text) && differ.find(static_cast<char>(c)) == std::string::npos)
                differ += static_cast<char>(c);
        }
    }
    EXPECT_EQ(differ, "\xB2\xB3\xB9");
    EXPECT_FALSE(isValidAmount("1\xB2"));
}

} // namespace
