// Builds the uninstall script's text.
#include "core/inf_text.h"

namespace {

// Lines 1 to 3 follow the signature; the rest are fixed but for the install directory of line 16.
// Some lines end with two TABs: the installer ignores them, and the script has always had them.
const char kAfterSignature[] = "\n\n";

const char kUninstallSection[] =
    "[Uninstall]\n"
    "DelFiles = DelFilesSection\t\t\n"
    "DelReg = DelRegSection\n"
    "BeginPrompt = BeginPromptSection\t\t\n"
    "EndPrompt = EndPromptSection\n"
    "CustomDestination = CustomDestinationSection\t\t\n"
    "Cleanup = 1\n"
    "\n";

const char kDestinationBeforeDirectory[] =
    "[CustomDestinationSection]\n"
    "49000 = DirA,5\t\t\n"
    "\n"
    "[DirA]\n"
    ",,,,\"";

const char kDestinationAfterDirectory[] =
    "\"\n"
    "\n"
    "[DestinationDirs]\n"
    "DelFilesSection = 49000\n"
    "\n";

const char kPromptSections[] =
    "[BeginPromptSection]\n"
    "Prompt = %BeginPrompt%\n"
    "ButtonType =[OKCANCEL]\t\t\n"
    "Title = \"Tolvar Uninstall\"\n"
    "\n"
    "[EndPromptSection]\n"
    "Prompt = %EndPrompt%\n"
    "\n";

// The program, its data file and the data file's journal, its replacement in the making and the journals set
// aside after damage.
const char kDeletions[] =
    "[DelFilesSection]\n"
    "Tolvar.exe,,,1\n"
    "Tq.dat,,,1\n"
    "Tq.jnl,,,1\n"
    "Tq.new,,,1\n"
    "Tq-1.jnl,,,1\n"
    "Tq-2.jnl,,,1\n"
    "Tq-3.jnl,,,1\n"
    "Tq-4.jnl,,,1\n"
    "Tq-5.jnl,,,1\n"
    "Tq-6.jnl,,,1\n"
    "Tq-7.jnl,,,1\n"
    "Tq-8.jnl,,,1\n"
    "Tq-9.jnl,,,1\n"
    "\n"
    "[DelRegSection]\t\t\n"
    "HKLM,\"Software\\Microsoft\\Windows\\CurrentVersion\\Run\",\"Tolvar\"\t\t\n"
    "HKLM,\"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tolvar\"\t\t\n"
    "HKCU,\"Software\\Vesk\\Tolvar\"\n"
    "\n";

const char kStrings[] =
    "[Strings]\n"
    "BeginPrompt = \"Are you sure you want to completely remove \"Tolvar\"?\"\t\t\n"
    "EndPrompt = \"Uninstall comleted!\"\n";

} // namespace

std::string uninstallInfText(bool windowsNt, const char* installDirectory)
{
    std::string text = "[Version]\n";
    text += windowsNt ? "Signature = \"$Windows NT$\"" : "Signature = \"$CHICAGO$\"";
    text += kAfterSignature;
    text += kUninstallSection;
    text += kDestinationBeforeDirectory;
    text += installDirectory != nullptr ? installDirectory : "";
    text += kDestinationAfterDirectory;
    text += kPromptSections;
    text += kDeletions;
    text += kStrings;
    return text;
}
