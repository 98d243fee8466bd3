// The vendor's catalog: what the reader takes and refuses, versions in numeric order, the image a channel offers,
// rollback and expiry.
#include <gtest/gtest.h>

#include "CatalogChoice.h"
#include "CatalogFile.h"
#include "VersionOrder.h"

namespace {

const std::string kHash(64, 'a');

std::string Entry(const std::string& version, const std::string& channel, const std::string& extra = "") {
    return R"({"version":")" + version + R"(","channel":")" + channel +
           R"(","released":"2026-11-30","file":"fw/ostrel-)" + version + R"(.hdr","size":4096,"sha256":")" + kHash +
           "\"" + extra + "}";
}

std::string Catalog(const std::string& images, const std::string& top = R"("format":1,"sequence":7,)") {
    return "{" + top + R"("expires":"2027-06-01T00:00:00Z","images":[)" + images + "]}";
}

TEST(CatalogFile, ReadsWhatTheVendorWritesAndRefusesTheRest) {
    const struct {
        std::string text;
        CatalogProblem problem;
        const char* detail; // a part of the refusal's words
    } cases[] = {
        {Catalog(Entry("2.4.0", "stable", R"(,"notes":"fixes","future":[1])")), CatalogProblem::None, ""},
        {"\xEF\xBB\xBF" + Catalog(""), CatalogProblem::None, ""},
        {"{\"format\":1,", CatalogProblem::NotJson, "not a JSON object"},
        {"[]", CatalogProblem::NotJson, "not a JSON object"},
        {Catalog("", R"("format":2,"sequence":7,)"), CatalogProblem::NewerFormat, "needs a newer tool"},
        {Catalog("", R"("format":"1","sequence":7,)"), CatalogProblem::Malformed, "format"},
        {Catalog("", R"("format":1,"sequence":-7,)"), CatalogProblem::Malformed, "sequence"},
        {Catalog("", R"("format":1,"sequence":7,"product":3,)"), CatalogProblem::Malformed, "product"},
        {R"({"format":1,"sequence":1,"expires":"2027-02-29T00:00:00Z","images":[]})", CatalogProblem::Malformed,
         "expires"},
        {R"({"format":1,"sequence":1,"expires":"2027-06-01T00:00:00Z"})", CatalogProblem::Malformed, "images"},
        {Catalog(Entry("2.x", "stable")), CatalogProblem::Malformed, "image 1: \"version\""},
        {Catalog(Entry("2..4", "stable")), CatalogProblem::Malformed, "\"version\""},
        {Catalog(Entry("2.4", "")), CatalogProblem::Malformed, "\"channel\""},
        {Catalog(R"({"version":"1","channel":"s","released":"d","file":"a/","size":1,"sha256":")" + kHash + "\"}"),
         CatalogProblem::Malformed, "\"file\""},
        {Catalog(R"({"version":"1","channel":"s","released":"d","file":"..","size":1,"sha256":")" + kHash + "\"}"),
         CatalogProblem::Malformed, "\"file\""},
        {Catalog(R"({"version":"1","channel":"s","released":"d","file":"a:b","size":1,"sha256":")" + kHash + "\"}"),
         CatalogProblem::Malformed, "\"file\""},
        {Catalog(R"({"version":"1","channel":"s","released":"d","file":"a","size":4294967296,"sha256":")" + kHash +
                 "\"}"),
         CatalogProblem::Malformed, "\"size\""},
        {Catalog(R"({"version":"1","channel":"s","released":"d","file":"a","size":1,"sha256":"abc"})"),
         CatalogProblem::Malformed, "\"sha256\""},
        {Catalog(Entry("1", "s") + ",7"), CatalogProblem::Malformed, "image 2: not an object"},
        // One name in the mirror for two images, or for the catalog's own file.
        {Catalog(R"({"version":"2.9","channel":"s","released":"d","file":"2.9/fw.hdr","size":1,"sha256":")" + kHash +
                 R"("},{"version":"2.10","channel":"s","released":"d","file":"2.10/FW.hdr","size":2,"sha256":")" +
                 kHash + "\"}"),
         CatalogProblem::Malformed, "images 2.9 and 2.10 are both named FW.hdr"},
        {Catalog(R"({"version":"1","channel":"s","released":"d","file":"x/Catalog.json","size":1,"sha256":")" + kHash +
                 "\"}"),
         CatalogProblem::Malformed, "\"file\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const CatalogRead read = ReadCatalogFile(c.text);
        EXPECT_EQ(read.problem, c.problem) << read.detail;
        EXPECT_NE(read.detail.find(c.detail), std::string::npos) << read.detail;
    }
    const CatalogRead read =
        ReadCatalogFile(Catalog(Entry("2.4.0", "stable", R"(,"sha256":")" + std::string(64, 'F') + "\"")));
    ASSERT_EQ(read.problem, CatalogProblem::None);
    const CatalogEntry& entry = read.catalog.images.at(0);
    EXPECT_EQ(entry.fileName, "ostrel-2.4.0.hdr") << "a mirror keeps only the name";
    EXPECT_EQ(entry.sha256, std::string(64, 'f'));
    EXPECT_EQ(read.catalog.sequence, 7u);
    EXPECT_EQ(UtcTimeText(read.catalog.expiresAt), "2027-06-01T00:00:00Z");
}

TEST(CatalogFile, VersionsAreComparedAsNumbersAndTimesAsUtc) {
    const struct {
        const char* a;
        const char* b;
        int order;
    } versions[] = {
        {"2.10.0", "2.9.0", 1},          {"2.4", "2.4.0", 0}, {"10", "9.99.99", 1},
        {"1.0.1", "1.0.0", 1},           {"0.9", "1", -1},    {"2.x", "0.0.1", -1},
        {"999999999.1", "999999999", 1}, {"", "", 0},
    };
    for (const auto& v : versions) {
        EXPECT_EQ(CompareVersions(v.a, v.b), v.order) << v.a << " vs " << v.b;
        EXPECT_EQ(CompareVersions(v.b, v.a), -v.order) << v.b << " vs " << v.a;
    }
    EXPECT_EQ(ParseUtcTime("1970-01-01T00:00:00Z"), 0);
    EXPECT_EQ(ParseUtcTime("2024-02-29T23:59:59Z"), 1709251199);
    for (const char* bad : {"2023-02-29T00:00:00Z", "2026-12-01 00:00:00Z", "2026-12-01T24:00:00Z",
                            "2026-13-01T00:00:00Z", "2026-12-01T00:00:00+01:00"})
        EXPECT_FALSE(ParseUtcTime(bad)) << bad;
    EXPECT_EQ(UtcTimeText(-1), "1969-12-31T23:59:59Z");
}

TEST(CatalogFile, AChannelOffersItsNewestAndACatalogMustBeNeitherOlderNorExpired) {
    const CatalogRead read = ReadCatalogFile(Catalog(Entry("2.9.0", "stable") + "," + Entry("2.10.0", "stable") + "," +
                                                     Entry("3.0.0", "beta") + "," + Entry("2.4.0", "stable")));
    ASSERT_EQ(read.problem, CatalogProblem::None) << read.detail;
    const CatalogFile& catalog = read.catalog;
    EXPECT_EQ(NewestImage(catalog, "stable")->version, "2.10.0");
    EXPECT_EQ(NewestImage(catalog, "beta")->version, "3.0.0");
    EXPECT_EQ(NewestImage(catalog, "nightly"), nullptr);
    EXPECT_EQ(ImageOfVersion(catalog, "2.4", "stable")->version, "2.4.0") << "an older one, chosen explicitly";
    EXPECT_EQ(ImageOfVersion(catalog, "3", "stable")->channel, "beta") << "another channel's, when only it lists it";
    EXPECT_EQ(ImageOfVersion(catalog, "2.5", "stable"), nullptr);

    const std::int64_t expires = catalog.expiresAt;
    EXPECT_EQ(JudgeFreshness(catalog, std::nullopt, expires - 1), CatalogFreshness::Fresh);
    EXPECT_EQ(JudgeFreshness(catalog, 7, expires - 1), CatalogFreshness::Fresh) << "the same publication again";
    EXPECT_EQ(JudgeFreshness(catalog, 8, expires - 1), CatalogFreshness::Rollback);
    EXPECT_EQ(JudgeFreshness(catalog, 6, expires), CatalogFreshness::Expired);
    EXPECT_EQ(JudgeFreshness(catalog, 6, 0), CatalogFreshness::Fresh) << "a clock at 1970 is before any expiry";

    const CatalogEntry& entry = catalog.images[0];
    EXPECT_EQ(ImageLocation("https://cdn.example/ostrel/", entry), "https://cdn.example/ostrel/fw/ostrel-2.9.0.hdr");
    EXPECT_EQ(ImageLocation("\\\\share\\fw\\", entry), "\\\\share\\fw\\fw\\ostrel-2.9.0.hdr");
    CatalogEntry absolute = entry;
    absolute.file = "HTTP://other.example/x.hdr";
    EXPECT_EQ(ImageLocation("\\\\share\\fw\\", absolute), "HTTP://other.example/x.hdr");
}

} // namespace
