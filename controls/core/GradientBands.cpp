// The gradient progress bar's face as arithmetic: fill width, bands, background and per-cent text.
#include "GradientBands.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {
int Red(ColorValue color) {
    return static_cast<int>(color & 0xFF);
}
int Green(ColorValue color) {
    return static_cast<int>((color >> 8) & 0xFF);
}
int Blue(ColorValue color) {
    return static_cast<int>((color >> 16) & 0xFF);
}

// The steps are floats, so the sum is truncated and cut to a byte rather than clamped.
ColorValue Channel(int first, int index, float step) {
    return static_cast<ColorValue>(static_cast<int>(first + index * static_cast<double>(step))) & 0xFF;
}
} // namespace

bool HasGradientFace(int lower, int upper, int position) {
    return upper > 0 && position >= lower && position <= upper;
}

int FillWidth(int position, int upper, int width) {
    if (upper <= 0)
        return 0;
    const auto fill = static_cast<float>(static_cast<double>(position) / upper * width);
    const auto limit = static_cast<float>(width);
    return static_cast<int>(std::clamp(fill, -limit, limit));
}

std::vector<ColorFill> GradientFills(ColorValue start, ColorValue end, ColorValue background, int width, int height,
                                     int fillWidth) {
    const int deltaRed = Red(end) - Red(start);
    const int deltaGreen = Green(end) - Green(start);
    const int deltaBlue = Blue(end) - Blue(start);
    const int bandCount = std::max({std::abs(deltaRed), std::abs(deltaGreen), std::abs(deltaBlue)});

    std::vector<ColorFill> fills;
    if (bandCount == 0) {
        fills.push_back({{0, 0, width, height}, background});
        return fills;
    }

    const auto bandWidth = static_cast<float>(static_cast<double>(width) / bandCount);
    const auto stepRed = static_cast<float>(static_cast<double>(deltaRed) / bandCount);
    const auto stepGreen = static_cast<float>(static_cast<double>(deltaGreen) / bandCount);
    const auto stepBlue = static_cast<float>(static_cast<double>(deltaBlue) / bandCount);

    int bandRight = 0;
    for (int i = 0; i < bandCount; ++i) {
        const auto left = static_cast<int>(i * static_cast<double>(bandWidth));
        bandRight = static_cast<int>((i + 1) * static_cast<double>(bandWidth));
        const ColorValue color = Channel(Red(start), i, stepRed) | (Channel(Green(start), i, stepGreen) << 8) |
                                 (Channel(Blue(start), i, stepBlue) << 16);
        fills.push_back({{left, 0, bandRight, height + 1}, color});

        if (fillWidth == 0) {
            fills.push_back({{0, 0, width, height}, background});
            return fills;
        }
        if (bandRight > fillWidth)
            break;
    }
    if (bandRight < width)
        fills.push_back({{bandRight, 0, width, height}, background});
    return fills;
}

std::string PercentText(int position, int upper) {
    char text[32];
    std::snprintf(text, sizeof text, "%.0f%%", position * 100.0 / upper);
    return text;
}

std::string FaceValueText(int lower, int upper, int position) {
    return HasGradientFace(lower, upper, position) ? PercentText(position, upper) : std::string();
}
