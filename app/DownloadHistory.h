// The window's history: one JSON line when a download starts and one when it ends, appended to this computer's
// default log (the machine policy's folder, or the user's local application data) in the flasher's schema.
#pragma once

#include <string>

#include "DownloadRun.h"
#include "RunRecord.h"

class CDownloadHistory {
public:
    // A run has just started: its image's facts come from the bytes the run holds, never from a second read.
    void Started(const DownloadRun& run, const std::wstring& imagePath);
    // The run's worker has ended (or been stopped for a close, `closing`); nothing when no start was recorded.
    void Ended(const TransferWorker& worker, bool closing = false);

private:
    // A history that cannot be written never stops or fails a download, and the window says nothing of it.
    void Append(const RunRecord& record);

    bool m_running = false;
    ImageFacts m_image;
    unsigned long long m_startTick = 0;
};
