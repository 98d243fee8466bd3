// Libraries of system names laid beside the tool, as in a Downloads folder, are never loaded: not at start-up and
// not during a download, even with Wine told to prefer them to its own. (comctl32 cannot be tried here: Wine's own
// comdlg32 and shell32 import it by the search order; on Windows they are KnownDLLs, whose imports come from the
// system. That the tool itself imports only KnownDLLs is checked on its import table.)
#include <cstring>

#include "ToolSession.h"
#include "resource.h"

namespace {

// The libraries the tool loads that are not among Windows' KnownDLLs.
const char* const kPlantable[] = {"winmm.dll"};

// Wine loads its own copy of a system library whatever lies beside a program, unless told to prefer the other: the
// tool's own entry under AppDefaults tells it so, for this test's run only.
class PlantedLibraryTest : public ToolSession {
protected:
    void TearDown() override {
        RegDeleteTreeA(HKEY_CURRENT_USER, kToolDefaults);
        ToolSession::TearDown();
    }

    static bool PreferLibrariesBesideTheTool() {
        HKEY key;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, (std::string(kToolDefaults) + "\\DllOverrides").c_str(), 0, nullptr, 0,
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
};

} // namespace

TEST_F(PlantedLibraryTest, NoneIsLoadedFromTheToolsFolder) {
    for (const char* name : kPlantable)
        ASSERT_TRUE(CopyFileA(BuiltFile("planted.dll").c_str(), PathOf(name).c_str(), FALSE)) << name;
    e2e::ImageLayout layout;
    layout.size = 1024 + 10000;
    const std::string image = PutImage("sample.hdr", layout);
    ASSERT_TRUE(StartDevice());

    ASSERT_TRUE(PreferLibrariesBesideTheTool());
    ASSERT_TRUE(StartTool());
    ASSERT_TRUE(WaitForControlText(IDC_STATUS, Message("1024")));
    ASSERT_TRUE(StartDownload(image));
    ASSERT_TRUE(WaitForRunEnd(1));

    for (const char* name : kPlantable) {
        const std::string marker = PathOf(name) + ".loaded";
        EXPECT_EQ(GetFileAttributesA(marker.c_str()), INVALID_FILE_ATTRIBUTES) << name << " was loaded";
    }
}
