// The window's history: one JSON line when a download starts and one when it ends, appended to this computer's
// default log (the machine policy's folder, or the user's local application data) in the flasher's schema.
#pragma once

#include <memory>
#include <string>
#include <thread>

#include "DownloadRun.h"
#include "RunRecord.h"

class CDownloadHistory {
public:
    CDownloadHistory() = default;
    // Waits a little for lines not yet written; a log folder that still does not answer is left to its thread.
    ~CDownloadHistory();
    CDownloadHistory(const CDownloadHistory&) = delete;
    CDownloadHistory& operator=(const CDownloadHistory&) = delete;

    // A run has just started: its image's facts come from the bytes the run holds, never from a second read.
    void Started(const DownloadRun& run, const std::wstring& imagePath);
    // The run's worker has ended (or been stopped for a close, `closing`); nothing when no start was recorded.
    void Ended(const TransferWorker& worker, bool closing = false);

    // What the window and the thread that writes share: the lines not yet written.
    struct Queue;

private:
    // A history that cannot be written never stops or fails a download, and the window says nothing of it. The
    // lines are written on a thread of their own, in order: a log folder on a share that does not answer must not
    // freeze the window, whose thread starts and ends the runs.
    void Append(const RunRecord& record);

    std::shared_ptr<Queue> m_queue;
    std::thread m_writer;
    bool m_running = false;
    ImageFacts m_image;
    unsigned long long m_startTick = 0;
};
