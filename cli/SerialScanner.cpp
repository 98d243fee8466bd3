// Standard input read line by line on a thread: UTF-16 from a console, UTF-8 bytes from a pipe or a file.
#include "SerialScanner.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "AnsiText.h"

struct SerialScanner::Shared {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::string> lines;
    bool ended = false;
    bool dropping = false;
    std::size_t dropped = 0;

    void Push(std::string line) {
        const std::lock_guard<std::mutex> lock(mutex);
        // Ctrl+Z at the start of a console line is how a console ends its input.
        if (!line.empty() && line.front() == '\x1A')
            ended = true;
        else if (dropping)
            ++dropped;
        else if (!ended)
            lines.push_back(std::move(line));
        changed.notify_all();
    }
    void End() {
        const std::lock_guard<std::mutex> lock(mutex);
        ended = true;
        changed.notify_all();
    }
};

namespace {

// Takes the lines that `pending` completes out of it: a scanner may be set to end them with CR, LF or CRLF, and a
// console ends them with CRLF. `afterCr` carries a CR that ended the last piece, whose LF may start the next.
template <class Text, class Take> void TakeLines(Text& pending, bool& afterCr, const Take& take) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < pending.size(); ++i) {
        const auto c = pending[i];
        if (c != '\r' && c != '\n') {
            afterCr = false;
            continue;
        }
        if (!(c == '\n' && afterCr && i == start))
            take(pending.substr(start, i - start));
        start = i + 1;
        afterCr = c == '\r';
    }
    pending.erase(0, start);
}

void ReadConsoleLines(HANDLE input, const std::shared_ptr<SerialScanner::Shared>& shared) {
    std::wstring pending;
    bool afterCr = false;
    for (;;) {
        wchar_t buffer[256];
        DWORD got = 0;
        if (!ReadConsoleW(input, buffer, static_cast<DWORD>(std::size(buffer)), &got, nullptr)) {
            // Ctrl+C cuts a read short; the main thread answers it.
            if (GetLastError() == ERROR_OPERATION_ABORTED)
                continue;
            break;
        }
        pending.append(buffer, got);
        TakeLines(pending, afterCr, [&](const std::wstring& line) { shared->Push(WideToUtf8(line)); });
    }
    shared->End();
}

void ReadPipeLines(HANDLE input, const std::shared_ptr<SerialScanner::Shared>& shared) {
    std::string pending;
    bool afterCr = false;
    for (;;) {
        char buffer[4096];
        DWORD got = 0;
        if (!ReadFile(input, buffer, sizeof buffer, &got, nullptr) || got == 0)
            break;
        pending.append(buffer, got);
        TakeLines(pending, afterCr, [&](const std::string& line) { shared->Push(line); });
    }
    // A last line without its line end counts as well.
    if (!pending.empty())
        shared->Push(pending);
    shared->End();
}

} // namespace

SerialScanner::SerialScanner() : m_shared(std::make_shared<Shared>()) {
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    m_console = input && input != INVALID_HANDLE_VALUE && GetConsoleMode(input, &mode);
    if (!input || input == INVALID_HANDLE_VALUE) {
        m_shared->End();
        return;
    }
    std::thread reader(m_console ? ReadConsoleLines : ReadPipeLines, input, m_shared);
    reader.detach();
}

SerialScanner::Read SerialScanner::Next(DWORD milliseconds, std::string& line) {
    std::unique_lock<std::mutex> lock(m_shared->mutex);
    m_shared->changed.wait_for(lock, std::chrono::milliseconds(milliseconds),
                               [&] { return !m_shared->lines.empty() || m_shared->ended; });
    if (!m_shared->lines.empty()) {
        line = std::move(m_shared->lines.front());
        m_shared->lines.pop_front();
        return Read::Line;
    }
    return m_shared->ended ? Read::End : Read::Timeout;
}

std::size_t SerialScanner::DropLines(bool drop) {
    const std::lock_guard<std::mutex> lock(m_shared->mutex);
    if (drop)
        m_shared->dropped = 0;
    m_shared->dropping = drop;
    return m_shared->dropped;
}
