// Doubles of a run's parts for tests: a worker on a driver that ignores every cancel, and another run's lock.
#pragma once

#include <atomic>
#include <thread>

#include "DownloadLock.h"
#include "TransferWorker.h"

class DeafWorker : public TransferWorker {
public:
    using TransferWorker::TransferWorker;

protected:
    void CancelWrite() override {}
};

// The machine's lock taken on a thread of its own, as another run takes it: a mutex is re-entrant for the thread
// that holds it.
class LockElsewhere {
public:
    LockElsewhere() {
        m_thread = std::thread([this] {
            DownloadLock lock;
            m_taken = lock.TryTake();
            m_ready = true;
            while (!m_done)
                Sleep(10);
        });
        while (!m_ready)
            Sleep(10);
    }
    ~LockElsewhere() {
        m_done = true;
        m_thread.join();
    }
    bool Taken() const { return m_taken; }

private:
    std::atomic<bool> m_ready{false}, m_done{false}, m_taken{false};
    std::thread m_thread;
};
