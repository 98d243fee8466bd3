#include <gtest/gtest.h>

#include <string>

#include "RunEnds.h"

TEST(RunEnds, EveryEndHasOneRowAndEveryRefusedStepNeverReadsAsAWriteToTheDevice) {
    for (int i = 0; i <= static_cast<int>(RunEnd::SerialRepeated); ++i) {
        const RunEnd end = static_cast<RunEnd>(i);
        const RunEndRow& row = RowOf(end);
        const std::string result = row.logResult;
        EXPECT_EQ(row.end, end) << i;
        EXPECT_EQ(std::string(row.reason).empty(), end == RunEnd::Written) << i;
        EXPECT_EQ(result == "ok", end == RunEnd::Written) << i;
        // Nothing was sent for a refusal; a stopped transfer always leaves part of an image.
        if (result == "refused" || result == "ok") {
            EXPECT_FALSE(row.partlyWritten) << i;
        }
        if (result == "interrupted") {
            EXPECT_TRUE(row.partlyWritten) << i;
        }
    }
    // A step that ends a run before its worker starts is refused, sending nothing; only a missing thread, whose
    // pipe was open, counts as a failed transfer.
    for (int i = static_cast<int>(RunOutcome::CannotOpen); i <= static_cast<int>(RunOutcome::NoThread); ++i) {
        const RunOutcome outcome = static_cast<RunOutcome>(i);
        EXPECT_STREQ(LogResultOf(EndOfStep(outcome)), outcome == RunOutcome::NoThread ? "failed" : "refused") << i;
    }
    EXPECT_EQ(EndOfTransfer(TransferOutcome::Stopped, RunEnd::WindowClosed), RunEnd::WindowClosed);
    EXPECT_EQ(EndOfTransfer(TransferOutcome::PartialWrite, RunEnd::WindowClosed), RunEnd::TransferBroken);
    EXPECT_STREQ(ReasonOf(RunEnd::WindowClosed), "stopped by closing the window");
}
