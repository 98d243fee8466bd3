// Transfer figures as text, and the pace of progress reports.
#include "ProgressLine.h"

#include <cstdio>

#include "TransferRate.h"

namespace {

constexpr int kBarWidth = 20;
constexpr double kConsoleIntervalSeconds = 0.1;

std::string Format(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

} // namespace

unsigned TransferFigures::Percent() const {
    if (total == 0)
        return 100;
    return static_cast<unsigned>(bytes >= total ? 100 : bytes * 100 / total);
}

std::uint64_t TransferFigures::Rate() const {
    return seconds > 0 ? static_cast<std::uint64_t>(static_cast<double>(bytes) / seconds) : 0;
}

std::string ProgressText(const TransferFigures& figures) {
    const unsigned percent = figures.Percent();
    const int filled = static_cast<int>(percent) * kBarWidth / 100;
    std::string text = "[" + std::string(filled, '#') + std::string(kBarWidth - filled, '-') + "] ";
    char number[8];
    std::snprintf(number, sizeof number, "%3u%%", percent);
    text += number;
    text += "  " + ByteCountText(figures.bytes) + " / " + ByteCountText(figures.total);
    const std::uint64_t rate = figures.Rate();
    if (rate > 0) {
        const auto bytesPerSecond = static_cast<double>(rate);
        const std::uint64_t left = figures.total > figures.bytes ? figures.total - figures.bytes : 0;
        text += "  " + RateText(bytesPerSecond) + "  " + TimeLeftText(SecondsLeft(left, bytesPerSecond)) + " left";
    }
    return text;
}

std::string ResultText(bool ok, const TransferFigures& figures) {
    std::string text = ok ? "ok: " + std::to_string(figures.bytes)
                          : "FAILED: " + std::to_string(figures.bytes) + " of " + std::to_string(figures.total);
    text += " bytes in " + Format("%.2f", figures.seconds) + " s";
    if (figures.Rate() > 0)
        text += " (" + RateText(static_cast<double>(figures.Rate())) + ")";
    return text;
}

bool ProgressPacer::Due(const TransferFigures& figures) {
    const unsigned percent = figures.Percent();
    bool due;
    switch (m_style) {
    case Style::Console:
        // The last position is always shown: the line must not stop short of the end.
        due = !m_shown || (figures.bytes != m_bytes &&
                           (figures.seconds - m_seconds >= kConsoleIntervalSeconds || figures.bytes == figures.total));
        break;
    case Style::Steps:
        due = percent / 10 != m_percent / 10;
        break;
    case Style::Percent:
    default:
        due = !m_shown || percent != m_percent;
        break;
    }
    if (due) {
        m_shown = true;
        m_percent = percent;
        m_bytes = figures.bytes;
        m_seconds = figures.seconds;
    }
    return due;
}
