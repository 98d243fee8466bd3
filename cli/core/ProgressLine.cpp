// Transfer figures as text, and the pace of progress reports.
#include "ProgressLine.h"

#include <cstdio>

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

std::string SizeText(std::uint64_t bytes) {
    const double value = static_cast<double>(bytes);
    if (bytes < 1024)
        return std::to_string(bytes) + " B";
    if (bytes < 1024 * 1024)
        return Format("%.1f KiB", value / 1024);
    if (bytes < 1024ull * 1024 * 1024)
        return Format("%.1f MiB", value / (1024 * 1024));
    return Format("%.2f GiB", value / (1024.0 * 1024 * 1024));
}

std::string DurationText(double seconds) {
    const auto whole = static_cast<std::uint64_t>(seconds + 0.5);
    char text[32];
    if (whole >= 3600)
        std::snprintf(text, sizeof text, "%llu:%02u:%02u", static_cast<unsigned long long>(whole / 3600),
                      static_cast<unsigned>(whole / 60 % 60), static_cast<unsigned>(whole % 60));
    else
        std::snprintf(text, sizeof text, "%u:%02u", static_cast<unsigned>(whole / 60),
                      static_cast<unsigned>(whole % 60));
    return text;
}

std::string ProgressText(const TransferFigures& figures) {
    const unsigned percent = figures.Percent();
    const int filled = static_cast<int>(percent) * kBarWidth / 100;
    std::string text = "[" + std::string(filled, '#') + std::string(kBarWidth - filled, '-') + "] ";
    char number[8];
    std::snprintf(number, sizeof number, "%3u%%", percent);
    text += number;
    text += "  " + SizeText(figures.bytes) + " / " + SizeText(figures.total);
    const std::uint64_t rate = figures.Rate();
    if (rate > 0) {
        text += "  " + SizeText(rate) + "/s";
        const std::uint64_t left = figures.total > figures.bytes ? figures.total - figures.bytes : 0;
        text += "  " + DurationText(static_cast<double>(left) / static_cast<double>(rate)) + " left";
    }
    return text;
}

std::string ResultText(bool ok, const TransferFigures& figures) {
    std::string text = ok ? "ok: " + std::to_string(figures.bytes)
                          : "FAILED: " + std::to_string(figures.bytes) + " of " + std::to_string(figures.total);
    text += " bytes in " + Format("%.2f", figures.seconds) + " s";
    if (figures.Rate() > 0)
        text += " (" + SizeText(figures.Rate()) + "/s)";
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
