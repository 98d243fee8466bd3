// The window's history of downloads.
#include "DownloadHistory.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>

#include "AnsiText.h"
#include "AttemptLog.h"
#include "JsonLine.h"
#include "RunEnds.h"
#include "RunLog.h"
#include "VerdictFacts.h"
#include "version.h"

struct CDownloadHistory::Queue {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::string> lines;
    bool writing = false;
    bool closing = false;
};

namespace {

// How long closing the window waits for history lines still being written.
constexpr auto kClosePatience = std::chrono::seconds(2);

void WriteLines(const std::shared_ptr<CDownloadHistory::Queue>& queue) {
    std::unique_lock<std::mutex> lock(queue->mutex);
    for (;;) {
        queue->changed.wait(lock, [&] { return !queue->lines.empty() || queue->closing; });
        if (queue->lines.empty())
            return;
        const std::string line = std::move(queue->lines.front());
        queue->lines.pop_front();
        queue->writing = true;
        lock.unlock();
        const DefaultLog log = DefaultRunLog(true);
        AttemptLog file;
        if (!log.path.empty() && file.Open(log.path))
            file.Append(line);
        lock.lock();
        queue->writing = false;
        queue->changed.notify_all();
    }
}

} // namespace

void CDownloadHistory::Started(const DownloadRun& run, const std::wstring& imagePath) {
    const ImageData& image = run.Image();
    m_image = ImageFacts();
    m_image.path = WideToUtf8(imagePath);
    m_image.haveHeader = true;
    m_image.header = run.Header();
    m_image.size = image.size;
    AddVerdictFacts(m_image, run.Verdict());
    m_running = true;
    m_startTick = GetTickCount64();

    RunRecord record = StampedRecord(RunFront::kWindow, OSTREL_VERSION_TEXT);
    record.image = m_image;
    record.result = RunResult::kStarted;
    Append(record);
}

void CDownloadHistory::Ended(const TransferWorker& worker, bool closing) {
    if (!m_running)
        return;
    m_running = false;
    // The worker has ended: its outcome is final.
    worker.WaitForEnd(INFINITE);
    const RunEnd end = EndOfTransfer(worker.Outcome(), closing ? RunEnd::WindowClosed : RunEnd::TransferStalled);
    RunRecord record = StampedRecord(RunFront::kWindow, OSTREL_VERSION_TEXT);
    record.image = m_image;
    record.result = LogResultOf(end);
    record.reason = ReasonOf(end);
    record.bytes = worker.BytesSent();
    record.seconds = static_cast<double>(GetTickCount64() - m_startTick) / 1000.0;
    record.rate =
        record.seconds > 0 ? static_cast<std::uint64_t>(static_cast<double>(record.bytes) / record.seconds) : 0;
    Append(record);
}

CDownloadHistory::~CDownloadHistory() {
    if (!m_queue)
        return;
    std::unique_lock<std::mutex> lock(m_queue->mutex);
    m_queue->closing = true;
    m_queue->changed.notify_all();
    const bool written =
        m_queue->changed.wait_for(lock, kClosePatience, [&] { return m_queue->lines.empty() && !m_queue->writing; });
    lock.unlock();
    if (written)
        m_writer.join();
    else
        m_writer.detach();
}

void CDownloadHistory::Append(const RunRecord& record) {
    if (!m_queue) {
        m_queue = std::make_shared<Queue>();
        m_writer = std::thread(WriteLines, m_queue);
    }
    const std::lock_guard<std::mutex> lock(m_queue->mutex);
    m_queue->lines.push_back(RunRecordLine(record));
    m_queue->changed.notify_all();
}
