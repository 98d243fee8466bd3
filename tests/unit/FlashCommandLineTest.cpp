// The console flasher's command line and exit codes: what scripts rely on.
#include <gtest/gtest.h>

#include "FlashOptions.h"
#include "FlashOutcome.h"
#include "JsonLine.h"
#include "ProgressLine.h"

namespace {

struct ParseCase {
    std::vector<std::u16string> args;
    std::string error;                       // empty: parsed; else a part of the error text
    void (*expect)(FlashOptions&) = nullptr; // changes from the defaults
};

TEST(FlashCommandLine, OptionsParseAsDocumentedAndMistakesAreUsageErrors) {
    const ParseCase cases[] = {
        {{u"a.hdr"}, "", [](FlashOptions&) {}},
        {{u"--wait", u"a.hdr"}, "", [](FlashOptions& o) { o.wait = true; }},
        {{u"--wait=2", u"a.hdr"}, "", [](FlashOptions& o) { o.wait = true, o.waitSeconds = 2; }},
        {{u"-w0", u"a.hdr"}, "", [](FlashOptions& o) { o.wait = true, o.waitSeconds = 0; }},
        {{u"-rq", u"-n", u"3", u"a.hdr"}, "", [](FlashOptions& o) { o.repeat = o.quiet = true, o.count = 3; }},
        {{u"--repeat", u"--count=5", u"--log=C:\\l\u00f6g.jsonl", u"--json", u"a.hdr"},
         "",
         [](FlashOptions& o) { o.repeat = o.json = true, o.count = 5, o.logPath = u"C:\\l\u00f6g.jsonl"; }},
        {{u"-l", u"x.log", u"--", u"-odd.hdr"},
         "",
         [](FlashOptions& o) { o.logPath = u"x.log", o.image = u"-odd.hdr"; }},
        {{u"--info", u"--json", u"a.hdr"}, "", [](FlashOptions& o) { o.mode = FlashMode::Info, o.json = true; }},
        {{u"--help", u"--bogus"}, "", [](FlashOptions& o) { o.mode = FlashMode::Help, o.image.clear(); }},
        {{u"--version"}, "", [](FlashOptions& o) { o.mode = FlashMode::Version, o.image.clear(); }},
        {{}, "no image"},
        {{u"a.hdr", u"b.hdr"}, "more than one image"},
        {{u"--wait", u"30", u"a.hdr"}, "write --wait=30 or -w30"},
        {{u"--bogus", u"a.hdr"}, "unknown option --bogus"},
        {{u"-x", u"a.hdr"}, "unknown option -x"},
        {{u"--wait=soon", u"a.hdr"}, "--wait"},
        {{u"--wait=-1", u"a.hdr"}, "--wait"},
        {{u"--wait=4294967296", u"a.hdr"}, "--wait"},
        {{u"--repeat", u"--count=0", u"a.hdr"}, "--count"},
        {{u"--count=2", u"a.hdr"}, "--count needs --repeat"},
        {{u"--repeat", u"--count"}, "--count needs a value"},
        {{u"--log=", u"a.hdr"}, "--log needs a file name"},
        {{u"--json=1", u"a.hdr"}, "takes no value"},
        {{u"--info", u"--repeat", u"a.hdr"}, "--info"},
    };
    for (const ParseCase& c : cases) {
        const ParsedFlashOptions parsed = ParseFlashOptions(c.args);
        SCOPED_TRACE(c.args.empty() ? std::string("(none)") : Utf16ToUtf8(c.args.front()));
        if (!c.error.empty()) {
            EXPECT_NE(parsed.error.find(c.error), std::string::npos) << parsed.error;
            continue;
        }
        ASSERT_EQ(parsed.error, "");
        FlashOptions expected;
        expected.image = u"a.hdr";
        c.expect(expected);
        const FlashOptions& o = parsed.options;
        EXPECT_EQ(o.mode, expected.mode);
        EXPECT_TRUE(o.image == expected.image);
        EXPECT_EQ(o.wait, expected.wait);
        EXPECT_EQ(o.waitSeconds, expected.waitSeconds);
        EXPECT_EQ(o.repeat, expected.repeat);
        EXPECT_EQ(o.count, expected.count);
        EXPECT_TRUE(o.logPath == expected.logPath);
        EXPECT_EQ(o.json, expected.json);
        EXPECT_EQ(o.quiet, expected.quiet);
    }
    EXPECT_TRUE(ParseFlashOptions({u"-w5", u"C:\\\u00e9t\u00e9\\\U0001F600.hdr"}).options.image ==
                u"C:\\\u00e9t\u00e9\\\U0001F600.hdr");
}

TEST(FlashCommandLine, EveryEndHasItsExitCodeAndASessionReportsTheWorstThatMatters) {
    const struct {
        RunEnd end;
        int code;
        const char* logResult;
    } ends[] = {
        {RunEnd::Written, 0, "ok"},
        {RunEnd::ImageTooShort, 65, "refused"},
        {RunEnd::NotAnImage, 65, "refused"},
        {RunEnd::UartImage, 65, "refused"},
        {RunEnd::ImageTooLarge, 65, "refused"},
        {RunEnd::ImageUnreadable, 66, "refused"},
        {RunEnd::ImageChanged, 66, "refused"},
        {RunEnd::NoDevice, 69, "refused"},
        {RunEnd::NoDeviceInTime, 69, "refused"},
        {RunEnd::DriverMissing, 69, "refused"},
        {RunEnd::PipeRefused, 69, "refused"},
        {RunEnd::DeviceBusy, 75, "refused"},
        {RunEnd::HeaderRefused, 74, "failed"},
        {RunEnd::TransferBroken, 74, "failed"},
        {RunEnd::TransferStalled, 74, "failed"},
        {RunEnd::Interrupted, 130, "interrupted"},
    };
    for (const auto& e : ends) {
        EXPECT_EQ(ExitCodeOf(e.end), e.code) << ReasonOf(e.end);
        EXPECT_STREQ(LogResultOf(e.end), e.logResult) << ReasonOf(e.end);
        EXPECT_EQ(std::string(ReasonOf(e.end)).empty(), e.end == RunEnd::Written);
    }

    EXPECT_EQ(EndOfTransfer(TransferOutcome::Complete, RunEnd::Interrupted), RunEnd::Written) << "done before the stop";
    EXPECT_EQ(EndOfTransfer(TransferOutcome::Stopped, RunEnd::Interrupted), RunEnd::Interrupted);
    EXPECT_EQ(EndOfTransfer(TransferOutcome::Stopped, RunEnd::TransferStalled), RunEnd::TransferStalled);
    EXPECT_EQ(EndOfTransfer(TransferOutcome::HeaderFailed, RunEnd::TransferStalled), RunEnd::HeaderRefused);
    EXPECT_EQ(EndOfTransfer(TransferOutcome::ChunkFailed, RunEnd::TransferStalled), RunEnd::TransferBroken);

    EXPECT_EQ(SessionExitCode({3, 0}, RunEnd::Written), 0);
    EXPECT_EQ(SessionExitCode({2, 1}, RunEnd::Written), 74) << "any failed download";
    EXPECT_EQ(SessionExitCode({2, 1}, RunEnd::NoDeviceInTime), 74);
    EXPECT_EQ(SessionExitCode({2, 0}, RunEnd::NoDeviceInTime), 69);
    EXPECT_EQ(SessionExitCode({2, 1}, RunEnd::Interrupted), 130);
}

TEST(FlashCommandLine, ADriverLoadErrorIsNamed) {
    EXPECT_NE(DriverLoadErrorMeaning(126, false, "").find("not found"), std::string::npos);
    EXPECT_NE(DriverLoadErrorMeaning(127, false, "").find("open_dev"), std::string::npos);
    EXPECT_NE(DriverLoadErrorMeaning(193, false, "").find("64-bit library"), std::string::npos);
    EXPECT_NE(DriverLoadErrorMeaning(193, true, "").find("32-bit library"), std::string::npos);
    EXPECT_EQ(DriverLoadErrorMeaning(1114, false, ""), "");
}

TEST(FlashCommandLine, JsonStringsAreValidUtf8WithEscapes) {
    EXPECT_EQ(JsonString("C:\\a \"b\"\n\x01"), "\"C:\\\\a \\\"b\\\"\\n\\u0001\"");
    EXPECT_EQ(JsonString("\xC3\xA9t\xC3\xA9 \xF0\x9F\x98\x80"), "\"\xC3\xA9t\xC3\xA9 \xF0\x9F\x98\x80\"");
    EXPECT_EQ(Utf16ToUtf8(u"\u00e9\U0001F600"), "\xC3\xA9\xF0\x9F\x98\x80");
    EXPECT_EQ(Utf16ToUtf8(std::u16string{u'a', 0xD800, u'b', 0xDC00}), "a\xEF\xBF\xBD"
                                                                       "b\xEF\xBF\xBD");
}

TEST(FlashCommandLine, ProgressShowsBarPercentBytesRateAndTimeLeft) {
    EXPECT_EQ(ProgressText({1024 * 1024, 2 * 1024 * 1024, 2.0}),
              "[##########----------]  50%  1.0 MiB / 2.0 MiB  512.0 KiB/s  2 s left");
    EXPECT_EQ(ProgressText({0, 4116, 0}), "[--------------------]   0%  0 B / 4.0 KiB");
    EXPECT_EQ(ResultText(false, {4116, 8212, 3.3}), "FAILED: 4116 of 8212 bytes in 3.30 s (1.2 KiB/s)");

    ProgressPacer steps(ProgressPacer::Style::Steps);
    std::vector<unsigned> shown;
    for (std::uint64_t bytes = 0; bytes <= 1000; bytes += 35) {
        if (steps.Due({bytes, 1000, 0}))
            shown.push_back(TransferFigures{bytes, 1000, 0}.Percent() / 10);
    }
    EXPECT_EQ(shown, (std::vector<unsigned>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
    ProgressPacer console(ProgressPacer::Style::Console);
    EXPECT_TRUE(console.Due({1, 100, 0.00}));
    EXPECT_FALSE(console.Due({2, 100, 0.05})) << "at most ten times a second";
    EXPECT_TRUE(console.Due({3, 100, 0.11}));
    EXPECT_TRUE(console.Due({100, 100, 0.12})) << "the end is always shown";
}

} // namespace

TEST(FlashCommandLine, CatalogOptionsTakeThePlaceOfAnImageAndCombineWithASession) {
    const struct {
        std::vector<std::u16string> args;
        std::string error; // empty: parsed
    } cases[] = {
        {{u"--latest", u"--repeat", u"--scan", u"--log=x.jsonl", u"--channel=beta"}, ""},
        {{u"--image-version=2.10", u"--catalog", u"\\\\share\\fw"}, ""},
        {{u"--info", u"--latest"}, ""},
        {{u"--list", u"--json"}, ""},
        {{u"--sync=D:\\mirror", u"--catalog=https://example.invalid/fw/"}, ""},
        {{u"--latest", u"a.hdr"}, "exclude each other"},
        {{u"--latest", u"--image-version=1"}, "exclude each other"},
        {{u"--image-version=2.x"}, "not a version"},
        {{u"--catalog=x", u"a.hdr"}, "need --latest"},
        {{u"--list", u"--repeat"}, "--list and --sync take only"},
        {{u"--sync", u"a.hdr"}, "--list and --sync take only"},
        {{u"--sync="}, "needs a folder"},
        {{u"--latest=1"}, "takes no value"},
    };
    for (const auto& c : cases) {
        const ParsedFlashOptions parsed = ParseFlashOptions(c.args);
        SCOPED_TRACE(Utf16ToUtf8(c.args.front()));
        if (c.error.empty())
            EXPECT_EQ(parsed.error, "");
        else
            EXPECT_NE(parsed.error.find(c.error), std::string::npos) << parsed.error;
    }
    const FlashOptions sync = ParseFlashOptions({u"--sync=D:\\m", u"--channel=beta"}).options;
    EXPECT_EQ(sync.mode, FlashMode::Sync);
    EXPECT_TRUE(sync.mirror == u"D:\\m");
    EXPECT_EQ(sync.channel, "beta");
    EXPECT_TRUE(ParseFlashOptions({u"--sync"}).options.mirror == std::nullopt);
    EXPECT_EQ(ParseFlashOptions({u"--image-version", u"2.4"}).options.imageVersion, "2.4");
}
