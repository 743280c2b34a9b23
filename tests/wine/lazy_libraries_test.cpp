// The rarely needed system libraries: a start maps neither, the detailed window maps only the common controls,
// and a library that cannot be loaded is reported in a box while the program goes on.
#include <windows.h>

#include <gtest/gtest.h>

#include "tests/wine/in_process.h"
#include "win32/lazy_libraries.h"
#include "win32/program_records.h"

namespace {

bool mapped(const char* library) { return GetModuleHandleA(library) != nullptr; }

TEST(LazyLibraries, AStartMapsNeitherAndTheDetailedWindowOnlyTheCommonControls)
{
    inproc::forgetEarlierRuns();
    kit::ScratchFolder scratch;
    ASSERT_TRUE(scratch.enter("tolvar-lazy"));
    ASSERT_TRUE(inproc::startApplication());
    EXPECT_FALSE(mapped("comctl32.dll"));
    EXPECT_FALSE(mapped("comdlg32.dll"));

    openDetails(All);
    ASSERT_TRUE(IsWindow(details.window));
    EXPECT_TRUE(IsWindow(details.list));
    EXPECT_TRUE(mapped("comctl32.dll"));
    EXPECT_FALSE(mapped("comdlg32.dll"));

    DestroyWindow(details.window);
    inproc::endApplication();
    inproc::forgetEarlierRuns();
}

TEST(LazyLibraries, AMissingLibraryOrFunctionIsReportedAndTriedAgainAtTheNextUse)
{
    const HWND owner = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    const std::string missingLibraryText =
        "The system library tolvar-missing.dll could not be loaded (error 126).\n\nNothing was done.";
    LazyFunction missingLibrary{"tolvar-missing.dll", "Anything", "Nothing was done.", nullptr};
    LazyFunction missingFunction{"kernel32.dll", "TolvarMissing", "Nothing was done.", nullptr};
    kit::BoxAnswerer answerer({{"Tolvar", missingLibraryText, IDOK},
                               {"Tolvar", missingLibraryText, IDOK},
                               {"Tolvar",
                                "The system library kernel32.dll could not be loaded (error 127).\n\nNothing was done.",
                                IDOK}});
    EXPECT_EQ(nullptr, resolveOnFirstUse(missingLibrary, owner));
    EXPECT_EQ(nullptr, resolveOnFirstUse(missingLibrary, owner));
    EXPECT_EQ(nullptr, resolveOnFirstUse(missingFunction, owner));
    EXPECT_EQ(3u, answerer.finish().size());

    LazyFunction present{"kernel32.dll", "GetTickCount", "Nothing was done.", nullptr};
    EXPECT_EQ(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetTickCount"), resolveOnFirstUse(present, owner));
    DestroyWindow(owner);
}

} // namespace
