// A log's text cut into lines as it is read, piece by piece: a log of any size is read with one line in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

class LogLines {
public:
    // No line of ours comes near this; a longer one (a file that is not a log) is skipped, not held.
    static constexpr std::size_t kLongestLine = 1 << 20;

    explicit LogLines(std::function<void(std::string_view)> take) : m_take(std::move(take)) {}

    // Gives `take` each line that the text completes, without its end. A NUL ends a line too: a power cut can leave
    // a run of them where a line was being written, before the next line.
    void Feed(std::string_view text);
    // Gives the last line when the text ended without a line end.
    void End();
    // The count of bytes fed up to the end of the last line completed: where reading goes on later.
    std::uint64_t Completed() const { return m_completed; }

private:
    std::function<void(std::string_view)> m_take;
    std::string m_pending;
    bool m_overlong = false;
    std::uint64_t m_fed = 0;
    std::uint64_t m_completed = 0;
};
