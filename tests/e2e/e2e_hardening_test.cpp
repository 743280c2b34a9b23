// The real program on a data file that cannot be opened and a currency symbol that does not fit: it runs on and
// loses nothing it stored. Cut and scrambled data files and odd record counts are tried in-process under the
// program's own start-up (tests/wine/hardening_test.cpp); stored values of odd lengths and types where they are
// read (tests/wine/settings_store_test.cpp, details_window_test.cpp); a data file held by another process,
// end-to-end in tests/e2e/e2e_data_safety_test.cpp.
#include <gtest/gtest.h>

#include <shlwapi.h>

#include <memory>
#include <string>

#include "res/resource.h"
#include "tests/e2e/real_program.h"

using namespace e2e;
using namespace kit;

namespace {

const char kInternationalKey[] = "Control Panel\\International";

// A folder of its own for each test, after one first start so that later starts load the data file.
class Damaged : public ::testing::Test {
protected:
    void SetUp() override
    {
        install = freshInstallForThisTest("harden-");
        folder = install->path();
        ASSERT_TRUE(firstStartAndExit(folder));
        DeleteFileA(dataFile().c_str());
    }

    void TearDown() override
    {
        stopProgram(program);
        clearService(folder);
        SetFileAttributesA(exportFile().c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(exportFile().c_str());
    }

    std::string dataFile() const { return folder + "Tq.dat"; }
    std::string exportFile() const { return folder + "export.txt"; }

    void start()
    {
        program = startProgram(folder);
        ASSERT_NE(program.mainWindow, nullptr) << "the program did not start";
    }


    bool alive() { return waitForExit(program, 0) == STILL_ACTIVE && IsWindow(program.mainWindow); }

    std::unique_ptr<InstallFolder> install;
    std::string folder;
    Program program;
};

// As root Wine ignores read-only attributes; a folder named like the data file makes every open of it fail.
TEST_F(Damaged, ADataFileThatCannotBeOpenedLeavesTheProgramRunning)
{
    RemoveDirectoryA(dataFile().c_str());
    ASSERT_TRUE(CreateDirectoryA(dataFile().c_str(), nullptr));
    start();
    EXPECT_FALSE(connectionOf(folder, 1200));
    ASSERT_TRUE(alive());
    const HWND details = openDetailsList(program);
    ASSERT_NE(details, nullptr);
    EXPECT_EQ(listRows(details), 0);
    EXPECT_EQ(exportAll(program, details, exportFile()), "No data|Nothing to save.");
    // The log cannot be replaced, and the user is told so.
    BoxAnswerer boxes(program.process.dwProcessId, {{"Clear?", "", IDYES}, {"Clear?", "", IDOK}});
    PostMessageA(details, WM_COMMAND, IDC_DETAILS_CLEAR_UNTIL_CURRENT_MONTH, 0);
    const std::vector<BoxSeen> seen = boxes.finish(5000);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_NE(seen[1].text.find("nothing was cleared"), std::string::npos) << seen[1].text;
    ASSERT_TRUE(alive());
    EXPECT_TRUE(PathIsDirectoryA(dataFile().c_str()));
    EXPECT_EQ(exitThroughMenu(program), 1u);
    RemoveDirectoryA(dataFile().c_str());
}

// A user currency symbol of seven characters does not fit the program's six: the program runs on
// without a symbol.
class LongCurrencySymbol : public Damaged {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(setRegistryValue(HKEY_CURRENT_USER, kInternationalKey, "sCurrency", REG_SZ,
                                     Bytes{'E', 'U', 'R', 'O', '-', 'D', 'M', 0}));
        Damaged::SetUp();
    }

    SavedValue symbol{HKEY_CURRENT_USER, kInternationalKey, "sCurrency"}; // made before SetUp changes it
};

TEST_F(LongCurrencySymbol, LeavesEveryWindowAndTheExportWithoutASymbol)
{
    start();
    PostMessageA(program.mainWindow, WM_COMMAND, IDC_TRAY_SHOW_STATISTICS, 0);
    ASSERT_TRUE(waitUntil([&] { return IsWindowVisible(program.mainWindow) != FALSE; }, 5000));
    ASSERT_TRUE(connectionOf(folder, 1200));
    ASSERT_TRUE(alive());

    const HWND details = openDetailsList(program);
    ASSERT_NE(details, nullptr);
    EXPECT_EQ(listRows(details), 1);
    ASSERT_EQ(exportAll(program, details, exportFile()), "saved");
    ASSERT_TRUE(waitUntil([&] { return fileExists(exportFile()); }, 5000));
    const Bytes text = fileBytes(exportFile());
    const std::string exported(text.begin(), text.end());
    EXPECT_NE(exported.find(" | 0.0000 \r\n"), std::string::npos) << exported;
    EXPECT_EQ(exported.find("EURO"), std::string::npos) << exported;

    std::string label;
    BoxAnswerer boxes(program.process.dwProcessId,
                      {{"Settings", "", IDC_CANCEL, "", [&](HWND settings) {
                            label = windowText(GetDlgItem(settings, IDC_PER_MIN_COMMON));
                        }}});
    PostMessageA(program.mainWindow, WM_COMMAND, IDC_STATISTICS_SETTINGS, 0);
    ASSERT_EQ(boxes.finish(5000).size(), 1u);
    EXPECT_EQ(label, "/min");
    ASSERT_TRUE(alive());
    EXPECT_EQ(exitThroughMenu(program), 1u);
}

} // namespace
