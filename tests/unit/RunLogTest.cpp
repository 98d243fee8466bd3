// The log record both front ends write, and what the flasher reads back from it: serials, boards already flashed,
// the look back per image and per day.
#include <gtest/gtest.h>

#include "BoardSerial.h"
#include "FlashOptions.h"
#include "LogHistory.h"
#include "LogLines.h"
#include "RunRecord.h"

namespace {

const std::string kImageA(64, 'a');
const std::string kImageB(64, 'b');

RunRecord Attempt(const char* time, const char* serial, const std::string& sha256, const char* result) {
    RunRecord record;
    record.id = std::string("id-") + time;
    record.time = time;
    record.front = RunFront::kFlasher;
    record.identity = {"Bench-7", "ana", serial ? std::optional<std::string>(serial) : std::nullopt};
    record.image.path = "C:\\fw\\" + sha256.substr(0, 1) + ".hdr";
    record.image.sha256 = sha256;
    record.result = result;
    return record;
}

// A small log as a file holds it: our lines, a line cut short by a power failure, and text that is not ours.
std::string SmallLog() {
    std::string log;
    for (const RunRecord& record : {
             Attempt("2026-12-06T09:00:00.000Z", "SN-1", kImageA, "failed"),
             Attempt("2026-12-06T09:05:00.000Z", "SN-1", kImageA, "ok"),
             Attempt("2026-12-07T10:00:00.000Z", "SN-2", kImageB, "started"),
             Attempt("2026-12-07T10:00:01.000Z", "SN-2", kImageB, "ok"),
             Attempt("2026-12-07T11:00:00.000Z", "SN-1", kImageA, "refused"),
             Attempt("2026-12-07T11:30:00.000Z", nullptr, kImageA, "interrupted"),
         })
        log += RunRecordLine(record);
    return log + "{\"id\":\"cut\",\"time\":\"2026-12-07T12\nnot json\n";
}

TEST(RunLog, ALineNamesItselfItsStationAndBoardAndReadsBackAsWritten) {
    RunRecord record = Attempt("2026-12-07T10:00:00.000Z", "SN \"7\"", kImageA, "ok");
    record.version = "1.0.0.1";
    record.image.path = "C:\\\xC3\xA9t\xC3\xA9\\\xFF.hdr"; // a byte that is not UTF-8 ends as U+FFFD
    record.image.size = 5120;
    record.bytes = 4116;
    record.seconds = 0.2219;
    const std::string line = RunRecordLine(record);
    ASSERT_EQ(line.back(), '\n');
    EXPECT_EQ(line.find('\n'), line.size() - 1);
    for (const char* field :
         {"\"id\":", "\"front\":\"flasher\"", "\"version\":\"1.0.0.1\"", "\"station\":\"Bench-7\"",
          "\"operator\":\"ana\"", "\"serial\":\"SN \\\"7\\\"\"", "\"seconds\":0.222", "\"reason\":null"})
        EXPECT_NE(line.find(field), std::string::npos) << field << " in " << line;

    const std::vector<RunRecord> read = ReadRunRecords(line);
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0].id, record.id);
    EXPECT_EQ(read[0].identity.serial, record.identity.serial);
    EXPECT_EQ(read[0].image.path, "C:\\\xC3\xA9t\xC3\xA9\\\xEF\xBF\xBD.hdr");
    EXPECT_EQ(read[0].image.sha256, kImageA);
    EXPECT_EQ(read[0].image.size, 5120u);
    EXPECT_EQ(read[0].bytes, 4116u);
    EXPECT_EQ(ReadRunRecords(SmallLog()).size(), 6u) << "the cut line and the foreign one are skipped";
}

TEST(RunLog, ASerialIsOneTo64PrintableCharacters) {
    const struct {
        std::string line;
        bool valid;
    } cases[] = {
        {"SN-0001\r", true}, {"  A 1/2  ", true}, {std::string(64, 'x'), true}, {std::string(65, 'x'), false},
        {"", false},         {"a\tb", false},     {"\xC3\xA9", false},          {"a\x1B", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsValidSerial(TrimSerialLine(c.line)), c.valid) << c.line;
    EXPECT_EQ(TrimSerialLine(" SN-1 \r"), "SN-1");

    EXPECT_EQ(ParseFlashOptions({u"--serial=SN-1", u"--station=Bench 7", u"a.hdr"}).options.station, "Bench 7");
    for (const std::vector<std::u16string>& args : std::vector<std::vector<std::u16string>>{
             {u"--serial=a\u00e9", u"a.hdr"},
             {u"--serial=SN-1", u"--scan", u"a.hdr"},
             {u"--serial=SN-1", u"--repeat", u"a.hdr"},
             {u"--history", u"a.hdr"},
             {u"--history", u"--scan"},
             {u"--station=", u"a.hdr"},
         })
        EXPECT_NE(ParseFlashOptions(args).error, "") << Utf16ToUtf8(args.front());
    EXPECT_EQ(ParseFlashOptions({u"--history", u"--serial=SN-1", u"--json"}).options.mode, FlashMode::History);
}

TEST(RunLog, OnlyAWholeDownloadOfTheSameImageMakesABoardFlashed) {
    const std::vector<RunRecord> log = ReadRunRecords(SmallLog());
    const struct {
        const char* serial;
        const std::string& sha256;
        const char* flashedAt; // null: not flashed
    } cases[] = {
        {"SN-1", kImageA, "2026-12-06T09:05:00.000Z"},
        {"SN-1", kImageB, nullptr}, // another image may follow
        {"SN-2", kImageB, "2026-12-07T10:00:01.000Z"},
        {"SN-2", kImageA, nullptr},
        {"SN-3", kImageA, nullptr},
        {"sn-1", kImageA, nullptr},
    };
    for (const auto& c : cases) {
        const std::optional<RunRecord> found = FindFlashedBoard(log, c.serial, c.sha256);
        EXPECT_EQ(found ? found->time.c_str() : "none", std::string(c.flashedAt ? c.flashedAt : "none")) << c.serial;
    }
}

TEST(RunLog, TheHistoryCountsAttemptsPerImageAndDayAndListsABoardNewestFirst) {
    const HistorySummary summary = SummarizeLog(ReadRunRecords(SmallLog()));
    const auto counts = [](const HistoryRow& row) {
        return std::vector<std::uint32_t>{row.attempts, row.ok, row.failed, row.refused};
    };
    EXPECT_EQ(counts(summary.all), (std::vector<std::uint32_t>{5, 2, 2, 1})) << "the started line is no attempt";
    ASSERT_EQ(summary.images.size(), 2u);
    EXPECT_EQ(summary.images[0].key, kImageA);
    EXPECT_EQ(counts(summary.images[0]), (std::vector<std::uint32_t>{4, 1, 2, 1}));
    EXPECT_EQ(counts(summary.images[1]), (std::vector<std::uint32_t>{1, 1, 0, 0}));
    ASSERT_EQ(summary.days.size(), 2u);
    EXPECT_EQ(summary.days[0].key, "2026-12-06");
    EXPECT_EQ(counts(summary.days[1]), (std::vector<std::uint32_t>{3, 1, 1, 1}));
    EXPECT_NE(HistoryText("bench.jsonl", summary)
                  .find("  aaaaaaaaaaaa  C:\\fw\\a.hdr: 4 attempts, 1 ok, 2 failed, 1 refused\n"),
              std::string::npos)
        << HistoryText("bench.jsonl", summary);

    std::vector<std::string> times;
    for (const RunRecord& record : AttemptsOfBoard(ReadRunRecords(SmallLog()), "SN-1"))
        times.push_back(record.time.substr(0, 16) + " " + record.result);
    EXPECT_EQ(times,
              (std::vector<std::string>{"2026-12-07T11:00 refused", "2026-12-06T09:05 ok", "2026-12-06T09:00 failed"}));
}

// What a power cut or a killed program leaves in a log, and text that is not ours: each damaged line is skipped and
// the reading goes on, whether the text comes whole or in pieces.
TEST(RunLog, DamagedLinesAreSkippedAndTheLinesAfterThemRead) {
    const std::string a = RunRecordLine(Attempt("2026-12-07T10:00:00.000Z", "SN-1", kImageA, "ok"));
    const std::string b = RunRecordLine(Attempt("2026-12-07T10:01:00.000Z", "SN-2", kImageA, "ok"));
    const std::string idA = "id-2026-12-07T10:00:00.000Z", idB = "id-2026-12-07T10:01:00.000Z";
    // Each member found by a linear search as it is read: this line alone would hold a reader for seconds.
    std::string manyMembers = "{";
    for (int i = 0; i < 50000; ++i)
        manyMembers += "\"m" + std::to_string(i) + "\":0,";
    manyMembers.back() = '}';
    const struct {
        const char* what;
        std::string text;
        std::vector<std::string> ids;
    } cases[] = {
        {"a line appended to a torn one", a.substr(0, 40) + b, {idB}},
        {"a torn line ended", a.substr(0, 40) + "\n" + b, {idB}},
        {"NULs where a line was being written", std::string(300, '\0') + b, {idB}},
        {"NULs after a line", a + std::string(5, '\0') + "\n" + b, {idA, idB}},
        {"CRLF", a.substr(0, a.size() - 1) + "\r\n" + b, {idA, idB}},
        {"foreign text and a torn last line", "\xFF\xFEnot ours\n" + a + b.substr(0, 50), {idA}},
        {"a line longer than any of ours", std::string(LogLines::kLongestLine + 1, '{') + "\n" + b, {idB}},
        {"a line of many thousand members", manyMembers + "\n" + b, {idB}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> whole, pieces;
        for (const RunRecord& record : ReadRunRecords(c.text))
            whole.push_back(record.id);
        LogLines lines([&](std::string_view line) {
            if (const auto record = ParseRunRecord(line))
                pieces.push_back(record->id);
        });
        for (std::size_t at = 0; at < c.text.size(); at += 7)
            lines.Feed(std::string_view(c.text).substr(at, 7));
        EXPECT_EQ(whole, c.ids) << c.what;
        EXPECT_EQ(pieces, c.ids) << c.what << ", read in pieces";
    }
}

// A start whose end never came (the run was killed) is an interrupted attempt; a start that its end follows is none.
TEST(RunLog, AStartWithoutItsEndCountsAsInterrupted) {
    std::vector<RunRecord> log;
    for (const char* time : {"2026-12-07T12:00:00.000Z", "2026-12-07T12:10:00.000Z", "2026-12-07T12:20:00.000Z"}) {
        log.push_back(Attempt(time, "SN-3", kImageB, "started"));
        log.push_back(Attempt(time, "SN-3", kImageB, "ok"));
    }
    log.erase(log.begin() + 1); // the first run was killed: the next start follows its own
    log.pop_back();             // and so was the last: the log ends with its start
    const HistorySummary summary = SummarizeLog(log);
    EXPECT_EQ((std::vector<std::uint32_t>{summary.all.attempts, summary.all.ok, summary.all.failed}),
              (std::vector<std::uint32_t>{3, 1, 2}));
    std::vector<std::string> results;
    for (const RunRecord& record : AttemptsOfBoard(log, "SN-3"))
        results.push_back(record.result + (record.reason.empty() ? "" : " (no end)"));
    EXPECT_EQ(results, (std::vector<std::string>{"interrupted (no end)", "ok", "interrupted (no end)"}));
}

} // namespace
