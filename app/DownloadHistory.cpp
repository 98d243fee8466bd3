// The window's history of downloads.
#include "DownloadHistory.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>

#include "AnsiText.h"
#include "AttemptLog.h"
#include "RunLog.h"
#include "SpooledLog.h"
#include "VerdictFacts.h"
#include "version.h"

struct CDownloadHistory::Queue {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::string> lines;
    bool writing = false;
    bool closing = false;
    std::uint64_t queued = 0;
    std::uint64_t written = 0;
};

namespace {

// How long closing the window waits for history lines still being written.
constexpr auto kClosePatience = std::chrono::seconds(2);
// How long a download waits for its started line to be written.
constexpr auto kStartPatience = std::chrono::seconds(2);

// An empty line asks for the spool to be moved only.
void WriteLine(const std::string& line) {
    const DefaultLog log = DefaultRunLog(true);
    if (log.fromPolicy) {
        SpooledLog policyLog(log.path, log.spoolPath);
        if (line.empty())
            policyLog.MoveSpool();
        else
            policyLog.Append(line);
        return;
    }
    AttemptLog file;
    if (!line.empty() && !log.path.empty() && file.Open(log.path))
        file.Append(line);
}

ImageFacts FactsOf(const DownloadRun& run, const std::wstring& imagePath, bool headerRead) {
    ImageFacts facts;
    facts.path = WideToUtf8(imagePath);
    facts.haveHeader = headerRead;
    if (headerRead)
        facts.header = run.Header();
    if (run.Image().bytes)
        facts.size = run.Image().size;
    // Judged: the digest is there then.
    if (!run.Verdict().sha256.empty())
        AddVerdictFacts(facts, run.Verdict());
    return facts;
}

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
        WriteLine(line);
        lock.lock();
        queue->writing = false;
        ++queue->written;
        queue->changed.notify_all();
    }
}

} // namespace

void CDownloadHistory::MoveSpool() {
    Append(std::string());
}

void CDownloadHistory::Started(const DownloadRun& run, const std::wstring& imagePath) {
    m_image = FactsOf(run, imagePath, true);
    m_running = true;
    m_startTick = GetTickCount64();

    RunRecord record = StampedRecord(RunFront::kWindow, OSTREL_VERSION_TEXT);
    record.image = m_image;
    record.result = RunResult::kStarted;
    m_runId = record.id;
    const std::uint64_t number = Append(RunRecordLine(record));
    std::unique_lock<std::mutex> lock(m_queue->mutex);
    m_queue->changed.wait_for(lock, kStartPatience, [&] { return m_queue->written >= number; });
}

void CDownloadHistory::Ended(RunEnd end, std::uint32_t bytes) {
    if (!m_running)
        return;
    m_running = false;
    RunRecord record = StampedRecord(RunFront::kWindow, OSTREL_VERSION_TEXT);
    record.id = m_runId;
    record.image = m_image;
    record.result = LogResultOf(end);
    record.reason = ReasonOf(end);
    record.bytes = bytes;
    record.seconds = static_cast<double>(GetTickCount64() - m_startTick) / 1000.0;
    record.rate =
        record.seconds > 0 ? static_cast<std::uint64_t>(static_cast<double>(record.bytes) / record.seconds) : 0;
    Append(RunRecordLine(record));
}

void CDownloadHistory::Refused(RunEnd end, const DownloadRun& run, const std::wstring& imagePath, bool headerRead) {
    RunRecord record = StampedRecord(RunFront::kWindow, OSTREL_VERSION_TEXT);
    record.image = FactsOf(run, imagePath, headerRead);
    record.result = LogResultOf(end);
    record.reason = ReasonOf(end);
    Append(RunRecordLine(record));
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

std::uint64_t CDownloadHistory::Append(const std::string& line) {
    if (!m_queue) {
        m_queue = std::make_shared<Queue>();
        m_writer = std::thread(WriteLines, m_queue);
    }
    const std::lock_guard<std::mutex> lock(m_queue->mutex);
    m_queue->lines.push_back(line);
    m_queue->changed.notify_all();
    return ++m_queue->queued;
}
