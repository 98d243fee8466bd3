// Where a minimised window draws its icon.
#include <gtest/gtest.h>

#include "IconPlacement.h"

TEST(IconPlacement, CentresTheIconAndRoundsTowardZero) {
    const IconOrigin square = CenteredIconOrigin(36, 36, 32, 32);
    EXPECT_EQ(square.x, 2);
    EXPECT_EQ(square.y, 2);

    // (20 - 32 + 1) / 2 = -11 / 2 = -5: truncation, not floor.
    const IconOrigin narrow = CenteredIconOrigin(20, 36, 32, 32);
    EXPECT_EQ(narrow.x, -5);
    EXPECT_EQ(narrow.y, 2);
}
