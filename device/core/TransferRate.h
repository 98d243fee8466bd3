// Rate and time left of a transfer, measured from samples of its byte count, and the progress line made of them.
// Shared by the window and the console flasher.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// The rate over a sliding window of about the last `spanMs`, from samples that the caller takes now and then
// (the window takes one every quarter second).
class RateWindow {
public:
    static constexpr std::uint32_t kDefaultSpanMs = 2000;

    explicit RateWindow(std::uint32_t spanMs = kDefaultSpanMs) : m_spanMs(spanMs == 0 ? 1 : spanMs) {}

    void Reset() { m_count = 0; }
    // The bytes done so far at `tickMs`, a millisecond counter that may wrap around (GetTickCount). Samples closer
    // together than a sixteenth of the span are merged, so any sampling rate fits the fixed room.
    void Add(std::uint32_t tickMs, std::uint64_t bytesDone);
    // Bytes per second over the window; nothing until the samples cover a whole span, so that the first burst
    // of a run (the system's buffers filling) does not read as the rate.
    std::optional<double> BytesPerSecond() const;

private:
    struct Sample {
        std::uint32_t tickMs;
        std::uint64_t bytes;
    };

    std::uint32_t m_spanMs;
    std::array<Sample, 24> m_samples{};
    std::size_t m_count = 0;
};

// The longest time left that is still worth a figure; beyond it the time is unknown.
inline constexpr std::uint32_t kLongestTimeLeftSeconds = 24 * 60 * 60;

// Whole seconds until `bytesLeft` are done at `bytesPerSecond`, rounded up; nothing when that is not known: a
// device that takes nothing, or a time beyond kLongestTimeLeftSeconds.
std::optional<std::uint32_t> SecondsLeft(std::uint64_t bytesLeft, double bytesPerSecond);

// "512 B", "12.5 KiB", "1.9 MiB", "2.0 GiB": binary units, one decimal, rounded down so that a transfer never
// reads as done before it is.
std::string ByteCountText(std::uint64_t bytes);
// "1.8 MiB/s", "0 B/s".
std::string RateText(double bytesPerSecond);
// "2 s", "1 min 5 s", "3 min", "1 h 20 min" (from an hour on in whole minutes, rounded up); "?" when the time is
// not known.
std::string TimeLeftText(std::optional<std::uint32_t> seconds);

// `format` with {done}, {total}, {rate} and {left} filled in (see FillPlaceholders); nothing while the window has
// no rate yet.
std::optional<std::string> TransferProgressText(const std::string& format, std::uint64_t done, std::uint64_t total,
                                                const RateWindow& window);
