// Downloads the tool refuses, each with its message box and nothing sent; and the driver library going missing.
#include <algorithm>

#include "ToolSession.h"
#include "resource.h"

namespace {

using e2e::ImageLayout;

constexpr std::size_t kImageSize = 1024 + 3 * 2048;

using RefusalTest = ToolSession;

TEST_F(RefusalTest, EachRefusedStartShowsItsMessageKeepsOrSetsTheInfoLineAndSendsNothing) {
    ASSERT_TRUE(StartDevice());
    ASSERT_TRUE(StartTool());
    ASSERT_TRUE(WaitForControlText(IDC_STATUS, Message("1024")));

    ImageLayout valid;
    valid.size = kImageSize;
    ImageLayout cut = valid;
    cut.size = 1027;
    ImageLayout wrongMarker = valid;
    wrongMarker.marker = 0x23;
    ImageLayout uart = valid;
    uart.port = 0;
    uart.flashKind = 1;
    ImageLayout dated = valid;
    dated.day = 1;
    dated.month = 2;
    dated.yearOffset = 15;
    // Kinds without an info text: the line must not go on describing the image before.
    ImageLayout uartOfUnknownKind = uart;
    uartOfUnknownKind.flashKind = 9;
    ImageLayout nand = valid;
    nand.flashKind = 3;

    struct Case {
        const char* what;
        std::string imagePath; // empty: the file dialog is cancelled
        const char* key;
        std::string info; // the image info line when the box is up
        bool detach;      // the device goes away first
    };
    const std::string initialInfo = Control(IDC_IMAGE_INFO);
    const Case cases[] = {
        {"file dialog cancelled", "", "1035", initialInfo, false},
        {"1027 bytes", PutImage("cut.hdr", cut), "1034", initialInfo, false},
        {"first byte 0x23", PutImage("marker.hdr", wrongMarker), "1023", initialInfo, false},
        {"UART image: the info line is set first", PutImage("uart.hdr", uart), "1033", Message("1027"), false},
        {"UART image of an unknown kind", PutImage("unknown.hdr", uartOfUnknownKind), "1033", "", false},
        {"no device", PutImage("dated.hdr", dated), "1021", Message("1026") + " 1/2/2015", true},
        {"NAND image after a dated one", PutImage("nand.hdr", nand), "1021", "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.detach) {
            ASSERT_TRUE(StopDevice());
            ASSERT_TRUE(WaitForControlText(IDC_STATUS, Message("1025")));
        }
        HWND dialog = OpenFileDialog();
        ASSERT_NE(dialog, nullptr);
        if (c.imagePath.empty())
            ASSERT_TRUE(e2e::PostClick(dialog, IDCANCEL));
        else
            ASSERT_TRUE(e2e::ChooseFile(dialog, c.imagePath));
        HWND box = WaitForBox();
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(e2e::MessageBoxText(box), Message(c.key));
        EXPECT_EQ(Control(IDC_IMAGE_INFO), c.info);
        ASSERT_TRUE(Answer(box, IDOK));
        EXPECT_TRUE(e2e::IsControlEnabled(MainWindow(), IDC_DOWNLOAD));
        EXPECT_EQ(Control(IDC_RESULT), "");
    }
    EXPECT_EQ(Device().WaitForLine("summary"), "ostrel-devsim: summary downloads=0 writes=0 bytes=0");
}

TEST_F(RefusalTest, AMissingDriverLibraryShowsOneBoxPerOutageThenRefusesTheDownload) {
    ASSERT_TRUE(StartDevice());
    ASSERT_TRUE(StartTool());
    ASSERT_TRUE(WaitForControlText(IDC_STATUS, Message("1024")));

    // The tool holds the library only for the length of one call.
    const std::string library = PathOf("TarselUSB.dll");
    ASSERT_TRUE(e2e::WaitUntil([&] { return DeleteFileA(library.c_str()) != FALSE; })) << GetLastError();
    HWND box = WaitForBox(3000);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(e2e::MessageBoxText(box), "TarselUSB.dll unloaded");

    // Checks go on every second, with the box open and after it: still the one box.
    std::size_t mostBoxes = 0;
    const auto countBoxes = [&] {
        mostBoxes = std::max(mostBoxes, e2e::MessageBoxes(Tool().Id()).size());
        return false;
    };
    e2e::WaitUntil(countBoxes, 1500);
    EXPECT_EQ(mostBoxes, 1u);
    ASSERT_TRUE(Answer(box, IDOK));
    mostBoxes = 0;
    e2e::WaitUntil(countBoxes, 1500);
    EXPECT_EQ(mostBoxes, 0u);
    // A check that cannot load the library changes nothing.
    EXPECT_EQ(Control(IDC_STATUS), Message("1024"));

    ImageLayout layout;
    layout.size = kImageSize;
    layout.flashKind = 1;
    const std::string image = PutImage("image.hdr", layout);
    ASSERT_TRUE(StartDownload(image));
    box = WaitForBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(e2e::MessageBoxText(box), Message("1032"));
    EXPECT_EQ(Control(IDC_IMAGE_INFO), Message("1027"));
    ASSERT_TRUE(Answer(box, IDOK));

    // With the library back, the tool downloads again.
    ASSERT_TRUE(CopyFileA(BuiltFile("TarselUSB.dll").c_str(), library.c_str(), FALSE)) << GetLastError();
    ASSERT_TRUE(StartDownload(image));
    ASSERT_TRUE(WaitForRunEnd(1));
    EXPECT_EQ(Control(IDC_RESULT), Message("1031"));
    EXPECT_TRUE(e2e::MessageBoxes(Tool().Id()).empty());
}

} // namespace
