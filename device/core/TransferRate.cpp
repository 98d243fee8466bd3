// Rate and time left of a transfer, and their texts.
#include "TransferRate.h"

#include <algorithm>
#include <cmath>

#include "TextPlaceholders.h"

void RateWindow::Add(std::uint32_t tickMs, std::uint64_t bytesDone) {
    // A count that goes back belongs to another run.
    if (m_count > 0 && bytesDone < m_samples[m_count - 1].bytes)
        m_count = 0;
    // Differences of ticks are taken unsigned, which stays right across the counter's wrap-around.
    if (m_count >= 2 && tickMs - m_samples[m_count - 2].tickMs < m_spanMs / 16) {
        m_samples[m_count - 1] = {tickMs, bytesDone};
    } else {
        if (m_count == m_samples.size()) {
            std::move(m_samples.begin() + 1, m_samples.end(), m_samples.begin());
            --m_count;
        }
        m_samples[m_count++] = {tickMs, bytesDone};
    }
    // One sample at or before the window's start is kept, so that the window covers the whole span.
    std::size_t drop = 0;
    while (m_count - drop >= 2 && tickMs - m_samples[drop + 1].tickMs >= m_spanMs)
        ++drop;
    if (drop > 0) {
        std::move(m_samples.begin() + static_cast<std::ptrdiff_t>(drop),
                  m_samples.begin() + static_cast<std::ptrdiff_t>(m_count), m_samples.begin());
        m_count -= drop;
    }
}

std::optional<double> RateWindow::BytesPerSecond() const {
    if (m_count < 2)
        return std::nullopt;
    const Sample& first = m_samples[0];
    const Sample& last = m_samples[m_count - 1];
    const std::uint32_t elapsedMs = last.tickMs - first.tickMs;
    if (elapsedMs < m_spanMs)
        return std::nullopt;
    return static_cast<double>(last.bytes - first.bytes) * 1000.0 / elapsedMs;
}

std::optional<std::uint32_t> SecondsLeft(std::uint64_t bytesLeft, double bytesPerSecond) {
    if (bytesLeft == 0)
        return 0;
    // Also false for NaN.
    if (!(bytesPerSecond > 0.0))
        return std::nullopt;
    const double seconds = std::ceil(static_cast<double>(bytesLeft) / bytesPerSecond);
    if (seconds > kLongestTimeLeftSeconds)
        return std::nullopt;
    return static_cast<std::uint32_t>(seconds);
}

std::string ByteCountText(std::uint64_t bytes) {
    if (bytes < 1024)
        return std::to_string(bytes) + " B";
    static const char* const kUnits[] = {"KiB", "MiB", "GiB"};
    std::uint64_t unit = 1024;
    std::size_t index = 0;
    while (index + 1 < std::size(kUnits) && bytes / unit >= 1024) {
        unit *= 1024;
        ++index;
    }
    // Split so that no product can overflow.
    const std::uint64_t tenths = bytes / unit * 10 + bytes % unit * 10 / unit;
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " " + kUnits[index];
}

std::string RateText(double bytesPerSecond) {
    // Also 0 for NaN; more than 2^64 bytes a second is beyond any device.
    const double whole = bytesPerSecond > 0.0 ? std::min(std::floor(bytesPerSecond), 1.8e19) : 0.0;
    return ByteCountText(static_cast<std::uint64_t>(whole)) + "/s";
}

std::string TimeLeftText(std::optional<std::uint32_t> seconds) {
    if (!seconds)
        return "?";
    const std::uint32_t s = *seconds;
    if (s < 60)
        return std::to_string(s) + " s";
    if (s < 3600) {
        const std::string minutes = std::to_string(s / 60) + " min";
        return s % 60 ? minutes + " " + std::to_string(s % 60) + " s" : minutes;
    }
    // Whole minutes, rounded up like the seconds, are precise enough for an hour and more.
    const std::uint32_t minutes = s / 60 + (s % 60 ? 1 : 0);
    const std::string hours = std::to_string(minutes / 60) + " h";
    return minutes % 60 ? hours + " " + std::to_string(minutes % 60) + " min" : hours;
}

std::optional<std::string> TransferProgressText(const std::string& format, std::uint64_t done, std::uint64_t total,
                                                const RateWindow& window) {
    const std::optional<double> rate = window.BytesPerSecond();
    if (!rate)
        return std::nullopt;
    const std::uint64_t left = done < total ? total - done : 0;
    return FillPlaceholders(format, {{"done", ByteCountText(done)},
                                     {"total", ByteCountText(total)},
                                     {"rate", RateText(*rate)},
                                     {"left", TimeLeftText(SecondsLeft(left, *rate))}});
}
