// The window's history of downloads.
#include "DownloadHistory.h"

#include "AttemptLog.h"
#include "JsonLine.h"
#include "RunLog.h"
#include "Sha256.h"
#include "version.h"

namespace {

// The flasher's words for the same ends, so that a history mixing both reads alike.
const char* ReasonOf(TransferOutcome outcome, bool closing) {
    switch (outcome) {
    case TransferOutcome::Complete:
        return "";
    case TransferOutcome::HeaderFailed:
        return "the device did not take the image's header";
    case TransferOutcome::ChunkFailed:
    case TransferOutcome::PartialWrite:
        return "the device stopped taking data (unplugged?) before the whole image was sent";
    case TransferOutcome::ImageTooShort:
        return "the file is shorter than 1028 bytes: not a firmware image";
    case TransferOutcome::Stopped:
        break;
    }
    return closing ? "stopped by closing the window" : "the device took no data for 30 seconds";
}

} // namespace

void CDownloadHistory::Started(const DownloadRun& run, const std::wstring& imagePath) {
    const ImageData& image = run.Image();
    m_image = ImageFacts();
    m_image.path = Utf16ToUtf8(std::u16string(imagePath.begin(), imagePath.end()));
    m_image.haveHeader = true;
    m_image.header = run.Header();
    m_image.size = image.size;
    const std::string digest = Sha256Hex(image.bytes.get(), image.size);
    if (!digest.empty())
        m_image.sha256 = digest;
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
    const TransferOutcome outcome = worker.Outcome();
    RunRecord record = StampedRecord(RunFront::kWindow, OSTREL_VERSION_TEXT);
    record.image = m_image;
    record.result = outcome == TransferOutcome::Complete             ? RunResult::kOk
                    : closing && outcome == TransferOutcome::Stopped ? RunResult::kInterrupted
                                                                     : RunResult::kFailed;
    record.reason = ReasonOf(outcome, closing);
    record.bytes = worker.BytesSent();
    record.seconds = static_cast<double>(GetTickCount64() - m_startTick) / 1000.0;
    record.rate =
        record.seconds > 0 ? static_cast<std::uint64_t>(static_cast<double>(record.bytes) / record.seconds) : 0;
    Append(record);
}

void CDownloadHistory::Append(const RunRecord& record) {
    const DefaultLog log = DefaultRunLog(true);
    AttemptLog file;
    if (!log.path.empty() && file.Open(log.path))
        file.Append(RunRecordLine(record));
}
