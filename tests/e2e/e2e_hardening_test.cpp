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

// As root Wine ignores read-only attributes; a folder named like the data file makes every open of it fail. The
// program keeps running, tells once that the file cannot be read, refuses the export and Clear naming it, and at
// Exit says that the connection that ended meanwhile could not be counted.
TEST_F(Damaged, ADataFileThatCannotBeOpenedLeavesTheProgramRunning)
{
    RemoveDirectoryA(dataFile().c_str());
    ASSERT_TRUE(CreateDirectoryA(dataFile().c_str(), nullptr));
    start();
    BoxAnswerer waiting(program.process.dwProcessId, {{"Tolvar 2.2", "", IDOK}});
    EXPECT_FALSE(connectionOf(folder, 1200));
    ASSERT_TRUE(alive());
    const std::vector<BoxSeen> told = waiting.finish(15000);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].text.find("Tq.dat could not be read:\n"), 0u) << told[0].text;
    EXPECT_EQ(told[0].text.find("Error 0"), std::string::npos) << told[0].text;
    const HWND details = openDetailsList(program);
    ASSERT_NE(details, nullptr);
    EXPECT_EQ(listRows(details), 0);
    BoxAnswerer notSaved(program.process.dwProcessId, {{"Save connection data", "", IDOK}});
    PostMessageA(details, WM_COMMAND, IDC_DETAILS_SAVE_ALL, 0);
    const std::vector<BoxSeen> saving = notSaved.finish(5000);
    ASSERT_EQ(saving.size(), 1u);
    EXPECT_NE(saving[0].text.find("Tq.dat"), std::string::npos) << saving[0].text;
    EXPECT_NE(saving[0].text.find("nothing was saved"), std::string::npos) << saving[0].text;
    BoxAnswerer notCleared(program.process.dwProcessId, {{"Clear?", "", IDYES}, {"Clear?", "", IDOK}});
    PostMessageA(details, WM_COMMAND, IDC_DETAILS_CLEAR_UNTIL_CURRENT_MONTH, 0);
    const std::vector<BoxSeen> seen = notCleared.finish(5000);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_NE(seen[1].text.find("nothing was cleared"), std::string::npos) << seen[1].text;
    EXPECT_NE(seen[1].text.find("Tq.dat"), std::string::npos) << seen[1].text;
    EXPECT_FALSE(fileExists(exportFile()));
    ASSERT_TRUE(alive());
    EXPECT_TRUE(PathIsDirectoryA(dataFile().c_str()));
    BoxAnswerer exit(program.process.dwProcessId, {{"Tolvar 2.2", "", IDYES}, {"Tolvar 2.2", "", IDOK}});
    PostMessageA(program.mainWindow, WM_COMMAND, IDC_TRAY_EXIT, 0);
    const std::vector<BoxSeen> atExit = exit.finish(10000);
    ASSERT_EQ(atExit.size(), 2u);
    EXPECT_NE(atExit[1].text.find("Tq.dat could not be read"), std::string::npos) << atExit[1].text;
    EXPECT_NE(atExit[1].text.find("lost"), std::string::npos) << atExit[1].text;
    EXPECT_EQ(waitForExit(program, 10000), 1u);
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
