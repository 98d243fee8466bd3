// The window's start-up refresh: with the machine policy pointing at a catalog, the result line offers the channel's
// newest image once it is in the mirror. Run by tests/e2e/catalog-fetch.sh, which serves the catalog on loopback
// and names it in OSTREL_TEST_CATALOG_URL; skipped without it.
#include <cstdlib>

#include <gtest/gtest.h>

#include "AnsiText.h"
#include "LumetraDlg.h"
#include "ModalRunner.h"
#include "ScopedMachinePolicy.h"
#include "WindowRun.h"
#include "resource.h"

using namespace windowrun;

TEST(FirmwareNotice, AfterAStartTheResultLineOffersTheNewestImageOfTheMirror) {
    const char* url = std::getenv("OSTREL_TEST_CATALOG_URL");
    if (!url)
        GTEST_SKIP() << "needs the catalog that tests/e2e/catalog-fetch.sh serves";
    const std::wstring mirror = TempFolder() + L"ostrel-notice-mirror-" + std::to_wstring(GetCurrentProcessId());
    const ScopedMachinePolicy catalog(MachinePolicy::kCatalog, Utf8ToWide(url));
    const ScopedMachinePolicy folder(MachinePolicy::kFirmwareFolder, mirror);

    auto dialog = std::make_unique<CLumetraDlg>();
    std::string line;
    RunModalWith(*dialog,
                 [&](HWND hwnd) { PumpUntil([&] { return !(line = ControlText(hwnd, IDC_RESULT)).empty(); }); });
    EXPECT_EQ(line, "Firmware 2.10.0 of 30/11/2026 is ready: press Download to write it.");
    EXPECT_FALSE(FileContents(mirror + L"\\fw-2.hdr").empty()) << "the image is in the mirror the policy names";
    for (const wchar_t* name : {L"\\fw-2.hdr", L"\\catalog.json", L"\\catalog.json.p7s"})
        DeleteFileW((mirror + name).c_str());
    RemoveDirectoryW(mirror.c_str());
}
