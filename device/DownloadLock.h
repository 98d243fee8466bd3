// One download per machine: a named mutex that every run holds, in the window and in the console flasher alike, so
// that two programs never interleave their chunks in one device.
#pragma once

#include "Handle.h"

class DownloadLock {
public:
    DownloadLock() = default;
    // Releases a lock that is held.
    ~DownloadLock();
    DownloadLock(DownloadLock&& other) noexcept = default;
    DownloadLock& operator=(DownloadLock&& other) noexcept;
    DownloadLock(const DownloadLock&) = delete;
    DownloadLock& operator=(const DownloadLock&) = delete;

    // Takes the lock without waiting; false when another run, in this process or another, holds it. The lock is
    // the calling thread's: it is released on the same thread.
    bool TryTake();
    bool IsHeld() const { return m_mutex.IsValid(); }
    void Release();

private:
    KernelHandle m_mutex;
};
