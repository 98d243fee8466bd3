// The text table: found beside the executable, missing texts empty, long values cut, one shared buffer.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include <windows.h>

#include "LumetraDlg.h"
#include "TestText.h"
#include "TextTableFile.h"

TEST(LookupText, ReadsTheTableBesideTheExecutableWhateverTheCurrentFolder) {
    TextTableFile table("[title]\r\n100=Beside the exe\r\n");
    char previous[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, previous);
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    // A decoy in the current folder must not be read.
    const std::string decoy = std::string(temp) + "lang.ini";
    std::ofstream(decoy) << "[title]\r\n100=Decoy in the current folder\r\n";
    SetCurrentDirectoryA(temp);

    CLumetraDlg dialog;
    const std::string text = dialog.LookupText("title", "100");

    SetCurrentDirectoryA(previous);
    std::remove(decoy.c_str());
    EXPECT_EQ(text, "Beside the exe");
}

TEST(LookupText, MissingOrEmptyTextsAreEmptyAndLongOnesAreCut) {
    const std::string longValue(300, 'x');
    const std::string content = "[message]\r\n1024=\r\n1025=" + longValue + "\r\n1031=Done\r\n";
    CLumetraDlg dialog;
    {
        TextTableFile table(content.c_str());
        EXPECT_STREQ(dialog.LookupText("message", "1024"), "");   // empty value
        EXPECT_STREQ(dialog.LookupText("message", "9999"), "");   // missing key
        EXPECT_STREQ(dialog.LookupText("nosection", "1031"), ""); // missing section
        EXPECT_EQ(std::string(dialog.LookupText("message", "1025")), longValue.substr(0, 259));
    }
    {
        TextTableFile missing;
        EXPECT_STREQ(dialog.LookupText("message", "1031"), "");
    }
}

// The table is read in UTF-16 and written back in the ANSI code page: the bytes of the file must come back as they
// are, those that name no character in the Western code page included.
TEST(LookupText, TheTablesBytesInTheWesternCodePageComeBackUnchanged) {
    if (GetACP() != 1252)
        GTEST_SKIP() << "the ANSI code page is " << GetACP() << ", not 1252";
    std::string value;
    for (int byte = 0x80; byte <= 0xFF; ++byte)
        value += static_cast<char>(byte);
    TextTableFile table(("[message]\r\n1024=Caf\xE9 " + value + "\r\n").c_str());
    CLumetraDlg dialog;
    EXPECT_EQ(std::string(dialog.LookupText("message", "1024")), "Caf\xE9 " + value);
}

TEST(LookupText, EveryLookupOverwritesTheSameBuffer) {
    TextTableFile table("[control]\r\n1004=Download\r\n1001=Close\r\n");
    CLumetraDlg dialog;
    const char* first = dialog.LookupText("control", "1004");
    const char* second = dialog.LookupText("control", "1001");
    EXPECT_EQ(first, second);
    EXPECT_STREQ(first, "Close");
}

TEST(LookupText, TheShippedTableHasNoByteOrderMarkAndEveryKeyTheToolReads) {
    std::ifstream file(ProgramFolder() + "lang.ini", std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(bytes.empty());
    EXPECT_NE(bytes.rfind("\xEF\xBB\xBF", 0), 0u) << "a UTF-8 byte-order mark hides the first section on Windows";

    const struct {
        const char* section;
        const char* keys[14];
    } used[] = {
        {"title", {"100"}},
        {"control", {"1004", "1001"}},
        {"message", {"1021", "1023", "1024", "1025", "1026", "1027", "1028", "1031", "1032", "1033", "1034", "1035"}},
    };
    CLumetraDlg dialog;
    for (const auto& entry : used) {
        for (const char* key : entry.keys) {
            if (key) {
                EXPECT_STRNE(dialog.LookupText(entry.section, key), "") << entry.section << " " << key;
            }
        }
    }
}

TEST(LookupText, TheBuiltInEnglishTextsAreTheEnglishTablesTexts) {
    CLumetraDlg dialog;
    for (const TextId* text : Text::kAll)
        EXPECT_STREQ(dialog.LookupText(text->section, text->key), text->fallback) << text->section << " " << text->key;
}
