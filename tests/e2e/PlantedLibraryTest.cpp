// Libraries of system names laid beside the tool and the flasher, as in a Downloads folder, are never loaded: not at
// start-up and not during a download, even with Wine told to prefer them to its own (comctl32 is what the system's
// comdlg32 and shell32 import). That the programs import only KnownDLLs is checked on their import tables.
#include <cstring>

#include "DevSimNames.h"
#include "FlashRun.h"
#include "ToolSession.h"
#include "resource.h"

namespace {

// The libraries the programs, or the system libraries they load, load that are not among Windows' KnownDLLs.
const char* const kPlantable[] = {"winmm.dll", "comctl32.dll"};

// Wine loads its own copy of a system library whatever lies beside a program, unless told to prefer the other: each
// program's own entry under AppDefaults tells it so, for this test's run only.
class PlantedLibraryTest : public ToolSession {
protected:
    void TearDown() override {
        for (const char* defaults : {kToolDefaults, kFlasherDefaults})
            RegDeleteTreeA(HKEY_CURRENT_USER, defaults);
        ToolSession::TearDown();
    }

    static bool PreferLibrariesBeside(const char* programDefaults) {
        HKEY key;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, (std::string(programDefaults) + "\\DllOverrides").c_str(), 0, nullptr, 0,
                            KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
            return false;
        bool set = true;
        for (const char* name : kPlantable) {
            const std::string module(name, std::strlen(name) - 4);
            set = set && RegSetValueExA(key, module.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>("native,builtin"),
                                        sizeof "native,builtin") == ERROR_SUCCESS;
        }
        RegCloseKey(key);
        return set;
    }

    static constexpr char kToolDefaults[] = "Software\\Wine\\AppDefaults\\Corvane Ostrel update.exe";
    static constexpr char kFlasherDefaults[] = "Software\\Wine\\AppDefaults\\ostrel-flash.exe";
};

} // namespace

TEST_F(PlantedLibraryTest, NoneIsLoadedFromTheToolsFolder) {
    for (const char* name : kPlantable)
        ASSERT_TRUE(CopyFileA(BuiltFile("planted.dll").c_str(), PathOf(name).c_str(), FALSE)) << name;
    e2e::ImageLayout layout;
    layout.size = 1024 + 10000;
    const std::string image = PutImage("sample.hdr", layout);
    ASSERT_TRUE(StartDevice());

    ASSERT_TRUE(PreferLibrariesBeside(kToolDefaults) && PreferLibrariesBeside(kFlasherDefaults));
    ASSERT_TRUE(StartTool());
    ASSERT_TRUE(WaitForControlText(IDC_STATUS, Message("1024")));
    ASSERT_TRUE(StartDownload(image));
    ASSERT_TRUE(WaitForRunEnd(1));
    ASSERT_TRUE(CopyFileA(BuiltFile("tool\\ostrel-flash.exe").c_str(), PathOf("ostrel-flash.exe").c_str(), FALSE));
    SetEnvironmentVariableA(DevSim::kInstanceVariable, Instance().c_str());
    e2e::FlashRun flash(AnsiToWide(PathOf("")), L"sample.hdr");
    EXPECT_EQ(flash.Wait(), 0) << flash.Err();

    for (const char* name : kPlantable) {
        const std::string marker = PathOf(name) + ".loaded";
        EXPECT_EQ(GetFileAttributesA(marker.c_str()), INVALID_FILE_ATTRIBUTES) << name << " was loaded";
    }
}
