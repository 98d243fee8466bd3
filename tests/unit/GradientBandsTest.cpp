// The gradient progress bar's face as arithmetic: which faces show a gradient, fill width, bands, per-cent text.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <vector>

#include "GradientBands.h"

namespace {
constexpr ColorValue kTeal = 0x808000;
constexpr ColorValue kNavy = 0x800000;
constexpr ColorValue kDefaultStart = 0x800000;
constexpr ColorValue kDefaultEnd = 0xFF0000;
constexpr ColorValue kBackground = 0xC0C0C0;
constexpr ColorValue kUnpainted = 0xDEADBE;
constexpr int kHeight = 20;

// What row 0 of the face shows once the fills are painted in order over an unpainted face.
std::vector<ColorValue> TopRow(const std::vector<ColorFill>& fills, int width) {
    std::vector<ColorValue> row(static_cast<size_t>(width), kUnpainted);
    for (const ColorFill& fill : fills) {
        if (fill.rect.top > 0 || fill.rect.bottom <= 0)
            continue;
        for (int x = std::max(fill.rect.left, 0); x < std::min(fill.rect.right, width); ++x)
            row[static_cast<size_t>(x)] = fill.color;
    }
    return row;
}
} // namespace

TEST(GradientBands, FaceShowsAGradientOnlyInsideAPositiveRange) {
    struct Case {
        int lower, upper, position;
        bool gradient;
    };
    const Case cases[] = {
        {0, 100, 0, true},    {0, 100, 100, true},      {0, 100, 101, false},
        {0, 100, -1, false},  {-50, 100, -50, true},    {0, 0, 0, false},
        {-10, -5, -7, false}, {0, 100, INT_MIN, false}, {0, 100, INT_MAX, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(HasGradientFace(c.lower, c.upper, c.position), c.gradient)
            << c.lower << ".." << c.upper << " at " << c.position;
}

TEST(GradientBands, FillWidthDividesFirstAndTruncatesTheFloat) {
    struct Case {
        int position, upper, width, fill;
    };
    const Case cases[] = {
        {50, 100, 256, 128},
        {100, 100, 256, 256},
        {0, 100, 256, 0},
        {1, 3, 200, 66},
        // 29 / 50 * 100 is 57.99999999999999 in double and 58 once stored as a float.
        {29, 50, 100, 58},
        // Measured from 0, not from the lower bound.
        {-50, 100, 256, -128},
        // Far below 0 the product would overflow an int: it stops at minus the width, which paints alike.
        {INT_MIN, 1, 256, -256},
        {INT_MAX, 1, 256, 256},
        // No gradient face has such bounds; still no division by zero.
        {0, 0, 256, 0},
        {5, -10, 256, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FillWidth(c.position, c.upper, c.width), c.fill)
            << c.position << " / " << c.upper << " x " << c.width;
}

TEST(GradientBands, HalfFillWithTheDialogColoursStopsOneBandPastTheFill) {
    const std::vector<ColorFill> fills = GradientFills(kTeal, kNavy, kBackground, 256, kHeight, 128);

    // Band 63 ends exactly on the fill width, so band 64 is drawn too; the background starts at its right edge.
    ASSERT_EQ(fills.size(), 66u);
    for (int i = 0; i <= 64; ++i) {
        const ColorFill& band = fills[static_cast<size_t>(i)];
        EXPECT_EQ(band.rect.left, 2 * i) << i;
        EXPECT_EQ(band.rect.right, 2 * i + 2) << i;
        EXPECT_EQ(band.rect.top, 0);
        EXPECT_EQ(band.rect.bottom, kHeight + 1);
        EXPECT_EQ(band.color, kTeal - static_cast<ColorValue>(i) * 0x100) << i;
    }
    const ColorFill& background = fills.back();
    EXPECT_EQ(background.color, kBackground);
    EXPECT_EQ(background.rect.left, 130);
    EXPECT_EQ(background.rect.top, 0);
    EXPECT_EQ(background.rect.right, 256);
    EXPECT_EQ(background.rect.bottom, kHeight);
}

TEST(GradientBands, FullFillRunsTowardsTheEndColourWithoutReachingIt) {
    const std::vector<ColorFill> dialog = GradientFills(kTeal, kNavy, kBackground, 256, kHeight, 256);
    ASSERT_EQ(dialog.size(), 128u) << "128 bands and no background";
    EXPECT_EQ(dialog.back().color, 0x800100u);
    EXPECT_EQ(dialog.back().rect.right, 256);

    // 127 bands of a float width just under 200 / 127: the last ends at 199, and column 199 gets the background.
    const std::vector<ColorFill> defaults = GradientFills(kDefaultStart, kDefaultEnd, kBackground, 200, kHeight, 200);
    ASSERT_EQ(defaults.size(), 128u);
    EXPECT_EQ(defaults[126].color, 0xFE0000u);
    EXPECT_EQ(defaults[126].rect.right, 199);
    EXPECT_EQ(defaults[127].color, kBackground);
    EXPECT_EQ(defaults[127].rect.left, 199);
}

TEST(GradientBands, EveryColumnIsPaintedWhateverTheColoursAndFill) {
    struct Case {
        ColorValue start, end;
        int width, fill;
        int firstBackground; // width when no background shows
    };
    const Case cases[] = {
        {kTeal, kNavy, 256, 0, 0},    // nothing filled: the background paints over the first band
        {kTeal, kNavy, 256, -128, 2}, // below 0: one band, then the background
        {kTeal, kTeal, 256, 256, 0},  // equal colours: no bands, nothing to divide by
        {0x00FF00, 0x00FF00, 50, 0, 0},
        {0x000000, 0xFFFFFF, 100, 50, 51}, // 255 bands narrower than a pixel: the one past 50 ends at 51
        {kDefaultStart, kDefaultEnd, 200, 199, 199},
        {kDefaultStart, kDefaultEnd, 0, 0, 0}, // an empty face
    };
    for (const Case& c : cases) {
        const std::vector<ColorValue> row =
            TopRow(GradientFills(c.start, c.end, kBackground, c.width, kHeight, c.fill), c.width);
        for (int x = 0; x < c.width; ++x) {
            const ColorValue shown = row[static_cast<size_t>(x)];
            ASSERT_NE(shown, kUnpainted) << "column " << x << " of width " << c.width << " at fill " << c.fill;
            ASSERT_EQ(shown == kBackground, x >= c.firstBackground)
                << "column " << x << " of width " << c.width << " at fill " << c.fill;
        }
    }
}

TEST(GradientBands, ChannelsStepIndependentlyAndTruncate) {
    // Red falls 255 -> 0 in 255 steps of -1; green rises 0 -> 51 in steps of 0.2; blue stays.
    const std::vector<ColorFill> fills = GradientFills(0x4000FF, 0x403300, kBackground, 255, kHeight, 255);
    ASSERT_EQ(fills.size(), 255u);
    EXPECT_EQ(fills[0].color, 0x4000FFu);
    EXPECT_EQ(fills[4].color, 0x4000FBu);   // green 0.8 truncates to 0
    EXPECT_EQ(fills[5].color, 0x4001FAu);   // green 1.0
    EXPECT_EQ(fills[254].color, 0x403201u); // green 50.8, red 1: one step short of the end colour
}

TEST(GradientBands, PercentTextHasNoDecimals) {
    EXPECT_EQ(PercentText(0, 100), "0%");
    EXPECT_EQ(PercentText(50, 100), "50%");
    EXPECT_EQ(PercentText(100, 100), "100%");
    EXPECT_EQ(PercentText(1, 3), "33%");
    EXPECT_EQ(PercentText(2, 3), "67%");
    EXPECT_EQ(PercentText(7, 1000), "1%");
    EXPECT_EQ(PercentText(-25, 50), "-50%");
}
