// Registration with the system: the Run value, the uninstall entry and the script file, byte for byte.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/inf_text.h"
#include "win32/registration.h"
#include "tests/wine/in_process.h"

namespace {

using kit::kRunKey;
using kit::kUninstallKey;

std::string windowsDirectory()
{
    char path[MAX_PATH] = {};
    GetWindowsDirectoryA(path, sizeof path);
    return path;
}

std::string infPath() { return windowsDirectory() + "\\INF\\Tolvar.inf"; }

// The raw bytes of a machine-wide value, NUL included; `found` false when it is absent.
std::string machineValue(const char* keyPath, const char* name, DWORD* type = nullptr, bool* found = nullptr)
{
    const std::vector<uint8_t> bytes = kit::registryValue(HKEY_LOCAL_MACHINE, keyPath, name, type, found);
    return std::string(bytes.begin(), bytes.end());
}

bool keyExists(const char* keyPath) { return kit::keyExists(HKEY_LOCAL_MACHINE, keyPath); }

std::string fileContents(const std::string& path)
{
    const std::vector<uint8_t> bytes = kit::fileBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

std::string withCrLf(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

// Each test starts with neither the Run value, the uninstall entry nor the script.
class Registration : public ::testing::Test {
protected:
    void SetUp() override { removeAll(); }
    void TearDown() override { removeAll(); }

private:
    static void removeAll()
    {
        kit::deleteRegistryValue(HKEY_LOCAL_MACHINE, kRunKey, "Tolvar");
        kit::deleteKeyTree(HKEY_LOCAL_MACHINE, kUninstallKey);
        DeleteFileA(infPath().c_str());
    }
};

TEST_F(Registration, AutostartNamesThisExecutableWithItsNul)
{
    const std::string older = "C:\\Old\\Tolvar.exe";
    ASSERT_TRUE(kit::setRegistryValue(HKEY_LOCAL_MACHINE, kRunKey, "Tolvar", REG_SZ,
                                      kit::Bytes(older.c_str(), older.c_str() + older.size() + 1)));

    registerAutostart();
    char module[MAX_PATH + 1] = {};
    GetModuleFileNameA(nullptr, module, MAX_PATH);
    DWORD type = 0;
    EXPECT_EQ(std::string(module) + '\0', machineValue(kRunKey, "Tolvar", &type));
    EXPECT_EQ(DWORD{REG_SZ}, type);
    EXPECT_FALSE(keyExists(kUninstallKey)) << "a later start writes only the Run value";
    EXPECT_EQ(std::string(), fileContents(infPath()));
}

TEST_F(Registration, UninstallEntryHandsTheScriptToTheInstaller)
{
    registerUninstall("C:\\Program Files\\Tolvar\\");
    DWORD type = 0;
    EXPECT_EQ(std::string("Tolvar") + '\0', machineValue(kUninstallKey, "DisplayName", &type));
    EXPECT_EQ(DWORD{REG_SZ}, type);
    EXPECT_EQ("RunDll32 advpack.dll,LaunchINFSectionEx " + windowsDirectory() + "\\INF\\Tolvar.inf,Uninstall" + '\0',
              machineValue(kUninstallKey, "UnInstallString", &type));
    EXPECT_EQ(DWORD{REG_SZ}, type);
    bool found = true;
    machineValue(kRunKey, "Tolvar", nullptr, &found);
    EXPECT_FALSE(found) << "the Run value is registerAutostart's";
}

TEST_F(Registration, ScriptIsWrittenWithCrLfAndTheNtSignature)
{
    registerUninstall("C:\\Program Files\\Tolvar\\");
    const std::string bytes = fileContents(infPath());
    EXPECT_EQ(withCrLf(uninstallInfText(true, "C:\\Program Files\\Tolvar\\")), bytes);
    EXPECT_EQ(0, bytes.compare(0, 39, "[Version]\r\nSignature = \"$Windows NT$\"\r\n"));
    EXPECT_NE(std::string::npos, bytes.find("\r\n[DirA]\r\n,,,,\"C:\\Program Files\\Tolvar\\\"\r\n\r\n"));
    size_t lineEnds = 0;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n') {
            ++lineEnds;
            EXPECT_TRUE(i > 0 && bytes[i - 1] == '\r') << "bare LF at " << i;
        }
    }
    EXPECT_EQ(40u, lineEnds);
    EXPECT_EQ(std::string::npos, bytes.find('\0'));
    EXPECT_EQ("EndPrompt = \"Uninstall comleted!\"\r\n", bytes.substr(bytes.size() - 35));
}

TEST_F(Registration, AnOlderScriptIsReplacedAsAWhole)
{
    const std::string older(10000, 'x');
    ASSERT_TRUE(kit::writeFile(infPath(), kit::Bytes(older.begin(), older.end())));
    registerUninstall("C:\\T\\");
    EXPECT_EQ(withCrLf(uninstallInfText(true, "C:\\T\\")), fileContents(infPath()));
}

TEST_F(Registration, NoEntryPointsAtAScriptThatCouldNotBeWritten)
{
    // A folder in the script's place makes the file impossible to create.
    ASSERT_TRUE(CreateDirectoryA(infPath().c_str(), nullptr));
    registerUninstall("C:\\T\\");
    RemoveDirectoryA(infPath().c_str());
    EXPECT_FALSE(keyExists(kUninstallKey));
}

} // namespace
