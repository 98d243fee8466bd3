// The window's history: each download it runs is appended, at its start and at its end, in the flasher's log schema,
// to the user's local application data, or to the folder of the LogFolder machine policy.
#include <gtest/gtest.h>

#include "LumetraDlg.h"
#include "ModalRunner.h"
#include "MachinePolicy.h"
#include "RunLog.h"
#include "TestDevice.h"
#include "WindowRun.h"
#include "resource.h"

using namespace windowrun;

namespace {

// The lines that one download of `image` through the window adds to the log at `logPath`, once the window is gone;
// a refused one ends with a box.
std::vector<RunRecord> DownloadAndRead(const std::wstring& image, const std::wstring& logPath, bool refused = false) {
    const std::size_t before = FileContents(logPath).size();
    auto dialog = std::make_unique<CLumetraDlg>();
    RunModalWith(*dialog, [&](HWND hwnd) {
        BoxAnswerer answerer;
        const std::string present = dialog->LookupText("message", "1024");
        ASSERT_TRUE(PumpUntil([&] { return ControlText(hwnd, IDC_STATUS) == present; }));
        SendMessageW(hwnd, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({image})), 0);
        const std::string ended = dialog->LookupText("message", "1031");
        ASSERT_TRUE(
            PumpUntil([&] { return refused ? !answerer.Texts().empty() : ControlText(hwnd, IDC_RESULT) == ended; }));
    });
    dialog.reset();
    return ReadRunRecords(FileContents(logPath).substr(before));
}

} // namespace

TEST(History, EachDownloadOfTheWindowIsAppendedStartedAndEndedToTheUsersOrThePolicysLog) {
    DropFolder folder;
    TestDevice device("--replug 200");
    std::string image;
    const std::wstring path = folder.PutImage(L"image.hdr", 1024 + 10 * 2048, 1, &image);
    wchar_t appData[MAX_PATH] = L"";
    ASSERT_GT(GetEnvironmentVariableW(L"LOCALAPPDATA", appData, MAX_PATH), 0u);

    const std::wstring userLog = std::wstring(appData) + L"\\Corvane\\Ostrel update\\downloads.jsonl";
    const std::vector<RunRecord> lines = DownloadAndRead(path, userLog);
    ASSERT_EQ(lines.size(), 2u);
    const RunRecord& started = lines[0];
    const RunRecord& ended = lines[1];
    EXPECT_EQ(started.result, "started");
    EXPECT_EQ(ended.result, "ok");
    EXPECT_EQ(ended.bytes, 20 + image.size() - 1024);
    EXPECT_EQ(ended.reason, "");
    for (const RunRecord& line : lines) {
        EXPECT_EQ(line.front, "window");
        EXPECT_EQ(line.image.path, Utf8(path));
        EXPECT_EQ(line.image.size, image.size());
        EXPECT_EQ(line.image.sha256.value_or("").size(), 64u);
        EXPECT_FALSE(line.version.empty());
        EXPECT_EQ(line.identity.station, line.host);
        EXPECT_FALSE(line.identity.operatorName.empty());
        EXPECT_FALSE(line.identity.serial.has_value());
    }
    EXPECT_EQ(started.image.sha256, ended.image.sha256);
    EXPECT_EQ(started.id, ended.id);

    // With the policy, the same lines go to <LogFolder>\<computer name>.jsonl.
    HKEY policy = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, MachinePolicy::kKey, 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr,
                              &policy, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(policy, MachinePolicy::kLogFolder, 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.path.c_str()),
                   static_cast<DWORD>((folder.path.size() + 1) * sizeof(wchar_t)));
    wchar_t computer[256];
    DWORD length = 256;
    GetComputerNameExW(ComputerNameDnsHostname, computer, &length);
    folder.files.push_back(folder.path + computer + L".jsonl");
    const std::vector<RunRecord> policyLines = DownloadAndRead(path, folder.files.back());
    RegDeleteValueW(policy, MachinePolicy::kLogFolder);
    RegCloseKey(policy);
    ASSERT_EQ(policyLines.size(), 2u);
    EXPECT_EQ(policyLines[1].result, "ok");
    EXPECT_EQ(policyLines[1].image.sha256, ended.image.sha256);

    // A refused image is logged too, with what was read of it: here a checksum file beside it gives another hash.
    folder.files.push_back(path + L".sha256");
    std::ofstream(folder.files.back().c_str()) << std::string(64, 'a') << "  image.hdr\n";
    const std::size_t before = FileContents(userLog).size();
    const std::vector<RunRecord> refused = DownloadAndRead(path, userLog, true);
    ASSERT_EQ(refused.size(), 1u);
    EXPECT_EQ(refused[0].result, "refused");
    EXPECT_NE(refused[0].reason.find("checksum file"), std::string::npos) << refused[0].reason;
    EXPECT_EQ(refused[0].image.sha256, ended.image.sha256);
    EXPECT_EQ(refused[0].image.size, image.size());
    const JsonValue logged = ParseJsonLine(FileContents(userLog).substr(before));
    EXPECT_EQ(logged.value("checksum", ""), "mismatch");
    EXPECT_EQ(logged.value("signature", ""), "none");
    EXPECT_EQ(logged.value("marker", 0), '$');
}
