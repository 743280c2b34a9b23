// The platform-free records match the operating system's own layouts byte for byte.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

#include "core/layout.h"
#include "core/clock.h"

static_assert(sizeof(SYSTEMTIME) == kSystemTimeSize, "a stored time is the system's record");

namespace {

// Every field down to the second in its place; the milliseconds too when asked.
void expectSameFields(const SystemTime& ours, const SYSTEMTIME& system, bool milliseconds)
{
    EXPECT_EQ(ours.wYear, system.wYear);
    EXPECT_EQ(ours.wMonth, system.wMonth);
    EXPECT_EQ(ours.wDayOfWeek, system.wDayOfWeek);
    EXPECT_EQ(ours.wDay, system.wDay);
    EXPECT_EQ(ours.wHour, system.wHour);
    EXPECT_EQ(ours.wMinute, system.wMinute);
    EXPECT_EQ(ours.wSecond, system.wSecond);
    if (milliseconds) {
        EXPECT_EQ(ours.wMilliseconds, system.wMilliseconds);
    }
}

} // namespace

// Data files written by earlier versions hold the month stamp and each record's start as the system's SYSTEMTIME
// was in memory.
TEST(PlatformLayout, AStoredTimeReadsAsTheSystemsRecordFieldForField)
{
    // A different value in every field, set by name: two fields out of the system's order fail.
    SYSTEMTIME system;
    system.wYear = 2024;
    system.wMonth = 12;
    system.wDayOfWeek = 2;
    system.wDay = 31;
    system.wHour = 23;
    system.wMinute = 59;
    system.wSecond = 58;
    system.wMilliseconds = 999;
    uint8_t stored[kSystemTimeSize];
    std::memcpy(stored, &system, sizeof stored);

    expectSameFields(decodeSystemTime(stored), system, true);
}

// The clock hands the heart the system's local time with every field in its place.
TEST(PlatformLayout, TheClockGivesTheSystemsLocalTimeFieldForField)
{
    SYSTEMTIME before, after;
    SystemTime ours;
    // Read again when a second turned over between the readings.
    do {
        GetLocalTime(&before);
        ours = localSystemTime();
        GetLocalTime(&after);
    } while (before.wSecond != after.wSecond);
    expectSameFields(ours, before, false);
}
