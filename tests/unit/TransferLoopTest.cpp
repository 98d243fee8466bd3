// The transfer loop's writes, retries, waits, progress positions and outcomes, against a recording link.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <vector>

#include "TransferLoop.h"

namespace {

std::vector<std::uint8_t> PatternedImage(std::size_t size) {
    std::vector<std::uint8_t> image(size);
    for (std::size_t i = 0; i < size; ++i) {
        image[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    }
    return image;
}

// What the device must receive: bytes 0 to 19, then 1024 to the end.
std::vector<std::uint8_t> ExpectedStream(const std::vector<std::uint8_t>& image) {
    std::vector<std::uint8_t> stream(20 + image.size() - 1024);
    std::copy(image.begin(), image.begin() + 20, stream.begin());
    std::copy(image.begin() + 1024, image.end(), stream.begin() + 20);
    return stream;
}

class RecordingLink : public TransferLink {
public:
    RecordingLink(const std::vector<std::uint8_t>& image, std::atomic<bool>& stop) : m_image(image), m_stop(stop) {}

    // The write starting at `imageOffset` fails this many times before it succeeds.
    void FailWriteAt(std::size_t imageOffset, int failures) { m_failures[imageOffset] = failures; }
    // The stop request is raised during the nth attempt (from 1), whatever its result.
    void StopDuringAttempt(int attempt) { m_stopAttempt = attempt; }
    // The successful write starting at `imageOffset` reports `count` bytes written instead of its size.
    void ReportWrittenAt(std::size_t imageOffset, std::uint32_t count) { m_reported[imageOffset] = count; }

    bool Write(const std::uint8_t* data, std::uint32_t size, std::uint32_t& written) override {
        ++attempts;
        if (attempts == m_stopAttempt) {
            m_stop = true;
        }
        const std::size_t offset = static_cast<std::size_t>(data - m_image.data());
        EXPECT_GT(size, 0u);
        EXPECT_LE(offset + size, m_image.size());
        attemptSizes.push_back(size);
        int& failuresLeft = m_failures[offset];
        if (failuresLeft > 0) {
            --failuresLeft;
            return false;
        }
        const auto reported = m_reported.find(offset);
        written = reported == m_reported.end() ? size : reported->second;
        const std::uint32_t taken = written == 0 ? size : written;
        writeSizes.push_back(taken);
        stream.insert(stream.end(), data, data + taken);
        return true;
    }
    void Wait(std::uint32_t milliseconds) override { waits.push_back(milliseconds); }
    std::uint32_t Now() override { return 0; }
    void Progress(std::uint32_t position) override { positions.push_back(position); }

    int attempts = 0;
    std::vector<std::uint32_t> attemptSizes;
    std::vector<std::uint32_t> writeSizes;
    std::vector<std::uint8_t> stream;
    std::vector<std::uint32_t> waits;
    std::vector<std::uint32_t> positions;

private:
    const std::vector<std::uint8_t>& m_image;
    std::atomic<bool>& m_stop;
    std::map<std::size_t, int> m_failures;
    std::map<std::size_t, std::uint32_t> m_reported;
    int m_stopAttempt = 0;
};

struct TransferRun {
    explicit TransferRun(std::uint32_t payloadSize) : image(PatternedImage(1024 + payloadSize)), link(image, stop) {}
    TransferOutcome Go() { return RunTransfer(image.data(), static_cast<std::uint32_t>(image.size()), link, signals); }

    std::vector<std::uint8_t> image;
    TransferSignals signals;
    std::atomic<bool>& stop = signals.stop;
    RecordingLink link;
};

constexpr int kNever = 1 << 30;

} // namespace

TEST(TransferLoop, StreamsHeaderCommandThenPayloadChunksWithProgress) {
    struct Case {
        std::uint32_t payload;
        std::vector<std::uint32_t> writes;
        std::vector<std::uint32_t> positions;
    };
    const std::vector<Case> cases = {
        {4, {20, 4}, {4}},                   // the shortest image: divisor 1
        {2048, {20, 2048}, {100}},           // a single full chunk, no empty write after it
        {2049, {20, 2048, 1}, {100}},        // 100 is reported once
        {4096, {20, 2048, 2048}, {51, 100}}, // 102 is capped
        {5000, {20, 2048, 2048, 904}, {40, 81, 100}},
        {6144, {20, 2048, 2048, 2048}, {33, 67, 100}},
    };
    for (const Case& c : cases) {
        TransferRun run(c.payload);
        EXPECT_EQ(run.Go(), TransferOutcome::Complete) << c.payload;
        EXPECT_EQ(run.link.writeSizes, c.writes) << c.payload;
        EXPECT_EQ(run.link.positions, c.positions) << c.payload;
        EXPECT_EQ(run.link.stream, ExpectedStream(run.image)) << c.payload;
        EXPECT_TRUE(run.link.waits.empty()) << c.payload;
    }
}

TEST(TransferLoop, LargePayloadReportsEachPositionOnceUpTo100) {
    TransferRun run(1000000); // 489 chunks, divisor 10000
    EXPECT_EQ(run.Go(), TransferOutcome::Complete);
    EXPECT_EQ(run.link.writeSizes.size(), 1u + 489u);
    EXPECT_EQ(run.link.stream, ExpectedStream(run.image));
    ASSERT_FALSE(run.link.positions.empty());
    EXPECT_EQ(run.link.positions.front(), 1u); // 2048 / 10000 is still 0: not reported
    EXPECT_EQ(run.link.positions.back(), 100u);
    for (std::size_t i = 1; i < run.link.positions.size(); ++i) {
        EXPECT_GT(run.link.positions[i], run.link.positions[i - 1]);
    }
}

TEST(TransferLoop, RetriesAFailedChunkAndSendsItOnce) {
    TransferRun run(5000);
    run.link.FailWriteAt(1024 + 2048, 10);
    EXPECT_EQ(run.Go(), TransferOutcome::Complete);
    EXPECT_EQ(run.link.writeSizes, (std::vector<std::uint32_t>{20, 2048, 2048, 904}));
    EXPECT_EQ(run.link.attempts, 14);
    EXPECT_EQ(run.link.waits, std::vector<std::uint32_t>(10, 1));
    EXPECT_EQ(run.link.stream, ExpectedStream(run.image));
    EXPECT_EQ(run.link.positions, (std::vector<std::uint32_t>{40, 81, 100}));
}

TEST(TransferLoop, HeaderCommandThatNeverSucceedsIsGivenUpAndThePayloadStillSent) {
    TransferRun run(4096);
    run.link.FailWriteAt(0, kNever);
    EXPECT_EQ(run.Go(), TransferOutcome::HeaderFailed) << "a payload without its command is no success";
    ASSERT_EQ(run.link.attemptSizes.size(), 3002u + 2u);
    EXPECT_EQ(std::vector<std::uint32_t>(run.link.attemptSizes.begin(), run.link.attemptSizes.begin() + 3002),
              std::vector<std::uint32_t>(3002, 20));
    EXPECT_EQ(run.link.waits, std::vector<std::uint32_t>(3002, 5));
    EXPECT_EQ(run.link.writeSizes, (std::vector<std::uint32_t>{2048, 2048}));
    EXPECT_EQ(run.link.positions, (std::vector<std::uint32_t>{51, 100}));
}

TEST(TransferLoop, ChunkThatExhaustsItsAttemptsEndsTheRun) {
    TransferRun run(5 * 2048);
    run.link.FailWriteAt(1024 + 2 * 2048, kNever);
    EXPECT_EQ(run.Go(), TransferOutcome::ChunkFailed);
    EXPECT_EQ(run.link.writeSizes, (std::vector<std::uint32_t>{20, 2048, 2048}));
    EXPECT_EQ(run.link.attempts, 3 + 3002);
    EXPECT_EQ(run.link.waits, std::vector<std::uint32_t>(3002, 1));
    EXPECT_EQ(run.link.positions, (std::vector<std::uint32_t>{20, 40}));
}

TEST(TransferLoop, StopRequestIsSeenBeforeTheNextAttempt) {
    {
        TransferRun run(5000);
        run.stop = true;
        EXPECT_EQ(run.Go(), TransferOutcome::Stopped);
        EXPECT_EQ(run.link.attempts, 0);
    }
    {
        TransferRun run(5000); // raised while the first chunk is written: the second is never attempted
        run.link.StopDuringAttempt(2);
        EXPECT_EQ(run.Go(), TransferOutcome::Stopped);
        EXPECT_EQ(run.link.writeSizes, (std::vector<std::uint32_t>{20, 2048}));
        EXPECT_EQ(run.link.positions, (std::vector<std::uint32_t>{40}));
    }
    {
        TransferRun run(5000); // raised during the header command's retries
        run.link.FailWriteAt(0, kNever);
        run.link.StopDuringAttempt(7);
        EXPECT_EQ(run.Go(), TransferOutcome::Stopped);
        EXPECT_EQ(run.link.attempts, 7);
        EXPECT_TRUE(run.link.writeSizes.empty());
    }
    {
        TransferRun run(5000); // raised during a chunk's retries
        run.link.FailWriteAt(1024, kNever);
        run.link.StopDuringAttempt(1 + 5);
        EXPECT_EQ(run.Go(), TransferOutcome::Stopped);
        EXPECT_EQ(run.link.attempts, 6);
        EXPECT_EQ(run.link.waits, std::vector<std::uint32_t>(5, 1));
        EXPECT_EQ(run.link.writeSizes, (std::vector<std::uint32_t>{20}));
        EXPECT_TRUE(run.link.positions.empty());
    }
}

TEST(TransferLoop, ImageShorterThanHeaderAndDateIsRefusedUnwritten) {
    const std::vector<std::uint8_t> image = PatternedImage(1027);
    TransferSignals signals;
    RecordingLink link(image, signals.stop);
    EXPECT_EQ(RunTransfer(image.data(), 1027, link, signals), TransferOutcome::ImageTooShort);
    EXPECT_EQ(RunTransfer(image.data(), 20, link, signals), TransferOutcome::ImageTooShort);
    EXPECT_EQ(RunTransfer(nullptr, 0, link, signals), TransferOutcome::ImageTooShort);
    EXPECT_EQ(link.attempts, 0);
    EXPECT_TRUE(link.positions.empty());
}

TEST(TransferLoop, TheWrittenCountOfASuccessfulWrite) {
    struct Case {
        std::size_t offset;
        std::uint32_t reported;
        TransferOutcome outcome;
        std::vector<std::uint32_t> writes;
    };
    const std::vector<Case> cases = {
        {1024, 0, TransferOutcome::Complete, {20, 2048, 2048, 904}}, // a driver that leaves the count unset
        {0, 0, TransferOutcome::Complete, {20, 2048, 2048, 904}},
        {1024 + 2048, 1000, TransferOutcome::PartialWrite, {20, 2048, 1000}}, // never sent again
        {0, 12, TransferOutcome::PartialWrite, {12}},
    };
    for (const Case& c : cases) {
        TransferRun run(5000);
        run.link.ReportWrittenAt(c.offset, c.reported);
        EXPECT_EQ(run.Go(), c.outcome) << c.offset << " " << c.reported;
        EXPECT_EQ(run.link.writeSizes, c.writes) << c.offset << " " << c.reported;
        std::uint32_t sent = 0;
        for (std::uint32_t size : c.writes)
            sent += size;
        EXPECT_EQ(run.signals.bytesSent.load(), sent) << c.offset << " " << c.reported;
    }
    EXPECT_EQ(TransferByteCount(1024 + 5000), 20u + 5000u);
}

// Every attempt takes time on the link's clock; a watcher reads IsStalled inside each write, as the window's timer
// may while the write is under way.
class ClockedLink : public RecordingLink {
public:
    ClockedLink(const std::vector<std::uint8_t>& image, TransferSignals& signals)
        : RecordingLink(image, signals.stop), m_signals(signals) {}
    bool Write(const std::uint8_t* data, std::uint32_t size, std::uint32_t& written) override {
        const auto longer = longAttempts.find(attempts + 1);
        clock += longer == longAttempts.end() ? attemptMs : longer->second;
        stalledDuring.push_back(IsStalled(m_signals, clock, 30000));
        return RecordingLink::Write(data, size, written);
    }
    std::uint32_t Now() override { return clock; }

    std::uint32_t clock = 0xFFFFF000; // wraps during the run
    std::uint32_t attemptMs = 16;
    std::map<int, std::uint32_t> longAttempts; // attempt (from 1) -> its duration
    std::vector<bool> stalledDuring;

private:
    const TransferSignals& m_signals;
};

TEST(TransferLoop, TheStallWatchCountsReturnedWritesNotSuccessfulOnes) {
    const std::vector<std::uint8_t> image = PatternedImage(1024 + 5000);
    {
        // A device busy for 48 s refuses every write quickly: the retries ride it out, no stall is seen.
        TransferSignals signals;
        ClockedLink link(image, signals);
        link.FailWriteAt(0, 3001);
        EXPECT_EQ(RunTransfer(image.data(), 1024 + 5000, link, signals), TransferOutcome::Complete);
        EXPECT_EQ(std::count(link.stalledDuring.begin(), link.stalledDuring.end(), true), 0);
    }
    {
        // A write that does not return for 31 s is stalled while it is under way, and only then.
        TransferSignals signals;
        ClockedLink link(image, signals);
        link.longAttempts[3] = 31000;
        EXPECT_EQ(RunTransfer(image.data(), 1024 + 5000, link, signals), TransferOutcome::Complete);
        EXPECT_EQ(link.stalledDuring, (std::vector<bool>{false, false, true, false}));
    }
    // A stamp made after the watcher read its clock is recent, not 4 billion milliseconds old.
    TransferSignals signals;
    signals.lastActivity = 1000;
    EXPECT_FALSE(IsStalled(signals, 999, 30000));
    EXPECT_TRUE(IsStalled(signals, 31000, 30000));
}
