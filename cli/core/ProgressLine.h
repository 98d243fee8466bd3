// The figures of a running or ended transfer, their text (bar, per cent, bytes, rate, time left), and when to
// show them.
#pragma once

#include <cstdint>
#include <string>

struct TransferFigures {
    std::uint64_t bytes = 0; // written so far
    std::uint64_t total = 0; // what a complete run writes
    double seconds = 0;      // since the run started

    // 0 to 100, rounded down: 100 only when every byte is written.
    unsigned Percent() const;
    // Bytes per second; 0 before any time has passed.
    std::uint64_t Rate() const;
};

// "[##########----------]  50%  1.0 MiB / 2.0 MiB  1.2 MiB/s  1 s left"; the time left only once there is a rate.
// Sizes, rates and times in the window's units (TransferRate.h).
std::string ProgressText(const TransferFigures& figures);
// "ok: 2621460 bytes in 2.31 s (1.1 MiB/s)" or "FAILED: 4116 of 2621460 bytes in 3.30 s (1.2 KiB/s)".
std::string ResultText(bool ok, const TransferFigures& figures);

// When a progress report is due: on a console at most ten times a second, elsewhere at every tenth of the
// transfer, in JSON at every whole per cent.
class ProgressPacer {
public:
    enum class Style { Console, Steps, Percent };
    explicit ProgressPacer(Style style) : m_style(style) {}

    bool Due(const TransferFigures& figures);

private:
    Style m_style;
    bool m_shown = false;
    unsigned m_percent = 0;
    std::uint64_t m_bytes = 0;
    double m_seconds = 0;
};
