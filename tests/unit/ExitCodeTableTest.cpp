#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <string>

#include "FlashOutcome.h"

namespace {

// The "  CODE  meaning" lines of a document's exit-code table, under --help's heading.
std::string DocumentedTable(const std::string& path) {
    static const std::regex kRow("  [0-9]+  .+");
    std::ifstream file(path);
    std::string table = "Exit status:\n";
    bool inTable = false;
    for (std::string line; std::getline(file, line);) {
        const bool row = std::regex_match(line, kRow);
        if (row)
            table += line + "\n";
        inTable = inTable || row;
        if (inTable && !row && !line.empty())
            break;
    }
    return table;
}

} // namespace

TEST(ExitCodeTable, TheReadmeAndTheUserGuideListTheCodesAndMeaningsThatHelpPrints) {
    for (const char* document : {"README.md", "docs/user-guide.txt"})
        EXPECT_EQ(DocumentedTable(std::string(OSTREL_SOURCE_DIR) + "/" + document), ExitStatusText()) << document;
}
