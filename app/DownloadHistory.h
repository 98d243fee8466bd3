// The window's history: one JSON line when a download starts and one when it ends, and one for each download it
// refuses, appended to this computer's default log (the machine policy's folder, or the user's local application
// data) in the flasher's schema.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "DownloadRun.h"
#include "RunEnds.h"
#include "RunRecord.h"

class CDownloadHistory {
public:
    CDownloadHistory() = default;
    // Waits a little for lines not yet written; a log folder that still does not answer is left to its thread.
    ~CDownloadHistory();
    CDownloadHistory(const CDownloadHistory&) = delete;
    CDownloadHistory& operator=(const CDownloadHistory&) = delete;

    // Moves the lines that wait in the spool to the policy's folder when it answers again: at the window's start.
    void MoveSpool();
    // A run is about to send its first byte: its image's facts come from the bytes the run holds, never from a
    // second read. Returns once the line is on the disk, or after a short wait for a log folder that does not
    // answer (the line then follows as soon as it can): a log never holds up a download for long.
    void Started(const DownloadRun& run, const std::wstring& imagePath);
    // The started run has ended so, having sent `bytes`; nothing when no start was recorded.
    void Ended(RunEnd end, std::uint32_t bytes);
    // A download refused before its first byte: the image's facts as far as the run read them (its header when
    // `headerRead`, its size, digest, checksum and signature once it was read whole and judged).
    void Refused(RunEnd end, const DownloadRun& run, const std::wstring& imagePath, bool headerRead);

    // What the window and the thread that writes share: the lines not yet written.
    struct Queue;

private:
    // A history that cannot be written never stops or fails a download, and the window says nothing of it. The
    // lines are written on a thread of their own, in order: a log folder on a share that does not answer must not
    // freeze the window, whose thread starts and ends the runs. The number of the line in the queue.
    std::uint64_t Append(const std::string& line);

    std::shared_ptr<Queue> m_queue;
    std::thread m_writer;
    bool m_running = false;
    ImageFacts m_image;
    std::string m_runId;
    unsigned long long m_startTick = 0;
};
