// The progress line of a run: rate over the last two seconds, time left, units, and the filling of its placeholders.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "TransferRate.h"

namespace {

constexpr std::uint64_t kKiB = 1024;
constexpr std::uint64_t kMiB = 1024 * kKiB;
const char kEnglish[] = "{done} of {total}, {rate}, about {left} left";

struct Case {
    const char* what;
    std::vector<std::pair<std::uint32_t, std::uint64_t>> samples; // tick in ms, bytes done
    std::uint64_t total;
    const char* format;
    std::optional<std::string> line; // nothing: no line yet
};

} // namespace

TEST(TransferProgressText, FillsRateAndTimeLeftOnceTwoSecondsAreMeasured) {
    const Case cases[] = {
        {"steady 1 MiB/s",
         {{0, 0}, {1000, kMiB}, {2000, 2 * kMiB}},
         4 * kMiB,
         kEnglish,
         "2.0 MiB of 4.0 MiB, 1.0 MiB/s, about 2 s left"},
        {"the first second: no rate yet", {{0, 0}, {250, 90000}, {1000, 400000}}, 4 * kMiB, kEnglish, std::nullopt},
        {"the window slides: only the last two seconds count",
         {{0, 0},
          {500, 5 * kMiB},
          {1000, 5 * kMiB + 100 * kKiB},
          {2000, 5 * kMiB + 300 * kKiB},
          {3000, 5 * kMiB + 500 * kKiB}},
         6 * kMiB,
         kEnglish,
         "5.4 MiB of 6.0 MiB, 200.0 KiB/s, about 3 s left"},
        {"a stalled device: no bytes in the window",
         {{0, 0}, {250, 8212}, {2000, 8212}, {2250, 8212}, {4500, 8212}},
         65556,
         kEnglish,
         "8.0 KiB of 64.0 KiB, 0 B/s, about ? left"},
        {"a small image at a crawl", {{0, 0}, {2000, 40}}, 1048, kEnglish, "40 B of 1.0 KiB, 20 B/s, about 51 s left"},
        {"minutes",
         {{0, 0}, {2000, 200 * kKiB}},
         200 * kKiB + 6500 * kKiB,
         kEnglish,
         "200.0 KiB of 6.5 MiB, 100.0 KiB/s, about 1 min 5 s left"},
        {"hours, in whole minutes rounded up",
         {{0, 0}, {2000, 2000}},
         2000 + 4801 * 1000,
         "{left}|{left}",
         "1 h 21 min|1 h 21 min"},
        {"more than a day is no figure", {{0, 0}, {2000, 2}}, 400000, "{left}", "?"},
        {"the tick counter wraps around",
         {{0xFFFFFC18u, 0}, {0x000003E8u, 4 * kMiB}},
         8 * kMiB,
         kEnglish,
         "4.0 MiB of 8.0 MiB, 2.0 MiB/s, about 2 s left"},
        {"done and over: nothing left",
         {{0, 0}, {2000, 2 * kMiB}},
         2 * kMiB,
         kEnglish,
         "2.0 MiB of 2.0 MiB, 1.0 MiB/s, about 0 s left"},
        {"'%' is a character, missing placeholders are missing",
         {{0, 0}, {2000, 2 * kMiB}},
         3 * kMiB,
         "100% %s%d%n: {done} {left}",
         "100% %s%d%n: 2.0 MiB 1 s"},
        {"repeated, unknown, unclosed and doubled braces",
         {{0, 0}, {2000, 512}},
         1536,
         "{done}/{done} {speed} {{total}} {rate",
         "512 B/512 B {speed} {1.5 KiB} {rate"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RateWindow window;
        for (const auto& [tick, bytes] : c.samples)
            window.Add(tick, bytes);
        EXPECT_EQ(TransferProgressText(c.format, c.samples.back().second, c.total, window), c.line);
    }
}

TEST(TransferProgressText, UnitsStepUpAtWholeBinaryUnitsAndNeverRoundUp) {
    const std::pair<std::uint64_t, const char*> cases[] = {
        {0, "0 B"},
        {1023, "1023 B"},
        {1024, "1.0 KiB"},
        {kMiB - 1, "1023.9 KiB"},
        {kMiB, "1.0 MiB"},
        {2 * kMiB - 1, "1.9 MiB"},
        {4096 * kMiB + 1028, "4.0 GiB"},
    };
    for (const auto& [bytes, text] : cases)
        EXPECT_EQ(ByteCountText(bytes), text) << bytes;
}
