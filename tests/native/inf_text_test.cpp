// The uninstall script's text, line by line and byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/inf_text.h"

namespace {

// Splits at "\n"; the text must end with one, so no empty tail is produced.
std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> lines;
    size_t from = 0;
    for (size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n', from)) {
        lines.push_back(text.substr(from, end - from));
        from = end + 1;
    }
    EXPECT_EQ(text.size(), from) << "text after the last line end";
    return lines;
}

const std::vector<std::string> kExpectedLines = {
    "[Version]",
    "",  // the signature, checked separately
    "",
    "[Uninstall]",
    "DelFiles = DelFilesSection\t\t",
    "DelReg = DelRegSection",
    "BeginPrompt = BeginPromptSection\t\t",
    "EndPrompt = EndPromptSection",
    "CustomDestination = CustomDestinationSection\t\t",
    "Cleanup = 1",
    "",
    "[CustomDestinationSection]",
    "49000 = DirA,5\t\t",
    "",
    "[DirA]",
    "",  // the install directory, checked separately
    "",
    "[DestinationDirs]",
    "DelFilesSection = 49000",
    "",
    "[BeginPromptSection]",
    "Prompt = %BeginPrompt%",
    "ButtonType =[OKCANCEL]\t\t",
    "Title = \"Tolvar Uninstall\"",
    "",
    "[EndPromptSection]",
    "Prompt = %EndPrompt%",
    "",
    "[DelFilesSection]",
    "Tolvar.exe,,,1",
    "Tq.dat,,,1",
    // The data store's side files: its journal, a replacement not yet renamed, the journals set aside.
    "Tq.jnl,,,1",
    "Tq.new,,,1",
    "Tq-1.jnl,,,1",
    "Tq-2.jnl,,,1",
    "Tq-3.jnl,,,1",
    "Tq-4.jnl,,,1",
    "Tq-5.jnl,,,1",
    "Tq-6.jnl,,,1",
    "Tq-7.jnl,,,1",
    "Tq-8.jnl,,,1",
    "Tq-9.jnl,,,1",
    "",
    "[DelRegSection]\t\t",
    "HKLM,\"Software\\Microsoft\\Windows\\CurrentVersion\\Run\",\"Tolvar\"\t\t",
    "HKLM,\"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tolvar\"\t\t",
    "HKCU,\"Software\\Vesk\\Tolvar\"",
    "",
    "[Strings]",
    "BeginPrompt = \"Are you sure you want to completely remove \"Tolvar\"?\"\t\t",
    "EndPrompt = \"Uninstall comleted!\"",
};

TEST(UninstallInfText, HasTheFixedLinesAroundTheTwoVariableOnes)
{
    ASSERT_EQ(51u, kExpectedLines.size());
    for (bool nt : {true, false}) {
        const std::vector<std::string> lines = linesOf(uninstallInfText(nt, "C:\\Tools\\"));
        ASSERT_EQ(51u, lines.size());
        for (size_t i = 0; i < lines.size(); ++i) {
            if (i == 1 || i == 15)
                continue;
            EXPECT_EQ(kExpectedLines[i], lines[i]) << "line " << i + 1;
        }
    }
}

TEST(UninstallInfText, SignatureFollowsThePlatform)
{
    EXPECT_EQ("Signature = \"$Windows NT$\"", linesOf(uninstallInfText(true, "C:\\Tools\\"))[1]);
    EXPECT_EQ("Signature = \"$CHICAGO$\"", linesOf(uninstallInfText(false, "C:\\Tools\\"))[1]);
}

TEST(UninstallInfText, InstallDirectoryIsQuotedUnchanged)
{
    EXPECT_EQ(",,,,\"C:\\Tools\\\"", linesOf(uninstallInfText(true, "C:\\Tools\\"))[15]);
    EXPECT_EQ(",,,,\"C:\\Program Files\\ Tolvar 2 \\\"",
              linesOf(uninstallInfText(true, "C:\\Program Files\\ Tolvar 2 \\"))[15]);
    // A directory with a percent sign or a format-like sequence goes in as plain text.
    EXPECT_EQ(",,,,\"D:\\100%s\\\"", linesOf(uninstallInfText(false, "D:\\100%s\\"))[15]);
    // UTF-8 bytes, which the caller turns into a UTF-16 script, pass through untouched.
    const char lodz[] = "C:\\\xC5\x81\xC3\xB3" "d\xC5\xBA\\";
    EXPECT_EQ(std::string(",,,,\"") + lodz + "\"", linesOf(uninstallInfText(true, lodz))[15]);
}

TEST(UninstallInfText, OnlyTheTableLinesEndWithTabsAndNothingElseStrays)
{
    const std::string text = uninstallInfText(true, "C:\\A B\\");
    const std::vector<std::string> lines = linesOf(text);
    const std::vector<size_t> tabbed = {5, 7, 9, 13, 23, 44, 45, 46, 50};
    for (size_t i = 0; i < lines.size(); ++i) {
        const bool wantsTabs = std::find(tabbed.begin(), tabbed.end(), i + 1) != tabbed.end();
        const std::string& line = lines[i];
        const bool endsWithTwoTabs = line.size() >= 2 && line.compare(line.size() - 2, 2, "\t\t") == 0;
        EXPECT_EQ(wantsTabs, endsWithTwoTabs) << "line " << i + 1;
        const std::string body = wantsTabs ? line.substr(0, line.size() - 2) : line;
        EXPECT_EQ(std::string::npos, body.find('\t')) << "line " << i + 1;
        if (!body.empty()) {
            EXPECT_NE(' ', body.back()) << "line " << i + 1;
        }
    }
    EXPECT_EQ(std::string::npos, text.find('\0'));
    EXPECT_EQ(std::string::npos, text.find('\r')) << "the text-mode stream adds the CRs";
    for (unsigned char c : text)
        EXPECT_TRUE(c == '\n' || c == '\t' || (c >= 0x20 && c < 0x7F)) << "byte " << int(c);
}

TEST(UninstallInfText, TwoVariantsDifferOnlyInTheirVariableLines)
{
    const std::string nt = uninstallInfText(true, "C:\\X\\");
    const std::string chicago = uninstallInfText(false, "C:\\Y\\");
    const std::vector<std::string> a = linesOf(nt);
    const std::vector<std::string> b = linesOf(chicago);
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i)
        EXPECT_EQ(i == 1 || i == 15, a[i] != b[i]) << "line " << i + 1;
    EXPECT_EQ(a[0] + "\n", nt.substr(0, a[0].size() + 1));
    EXPECT_EQ('\n', nt.back());
}

} // namespace
