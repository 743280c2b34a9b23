// The platform-free records match the operating system's own layouts byte for byte.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

#include "core/layout.h"

TEST(PlatformLayout, SystemTimeEncodesLikeTheSystemsRecord)
{
    SYSTEMTIME system;
    GetLocalTime(&system);
    SystemTime ours;
    std::memcpy(&ours, &system, sizeof ours);
    uint8_t encoded[kSystemTimeSize];
    encodeSystemTime(ours, encoded);
    EXPECT_EQ(0, std::memcmp(encoded, &system, sizeof system));
    EXPECT_EQ(ours.wYear, system.wYear);
    EXPECT_EQ(ours.wMilliseconds, system.wMilliseconds);
}
