// The gradient progress bar's face as arithmetic: which positions show a gradient, the fill width, the band and
// background rectangles with their colours, and the per-cent text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A colour laid out like COLORREF: 0x00BBGGRR.
using ColorValue = std::uint32_t;

struct FaceRect {
    int left;
    int top;
    int right;
    int bottom;
};

struct ColorFill {
    FaceRect rect;
    ColorValue color;
};

// True when the face shows the gradient; false for the out-of-range face: a position outside the bounds, or an
// upper bound of 0 or below, which would divide by zero or flip the fill.
bool HasGradientFace(int lower, int upper, int position);

// Pixels of the width that the position covers, measured from 0 (not from the lower bound); position / upper * width
// in double, stored as float, truncated. Kept within -width..width so that no position overflows the conversion.
// An upper bound of 0 or below gives 0.
int FillWidth(int position, int upper, int width);

// The rectangles to fill, in order, to paint a face of width x height whose gradient covers fillWidth: one band per
// step from start towards end (bands one row taller than the face), then the background beyond the last band drawn.
// Every column of the face is covered: equal colours give the background alone, and columns left by the rounding of
// the band width at full fill get the background.
std::vector<ColorFill> GradientFills(ColorValue start, ColorValue end, ColorValue background, int width, int height,
                                     int fillWidth);

// "NN%": position * 100.0 / upper with no decimals. Needs an upper bound other than 0.
std::string PercentText(int position, int upper);
// The per cent that the face stands for, as screen readers read the bar's value ("45%"); empty for the out-of-range
// face, which shows no per cent.
std::string FaceValueText(int lower, int upper, int position);
