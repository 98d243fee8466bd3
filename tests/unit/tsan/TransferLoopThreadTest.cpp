// The transfer loop on its own thread, with progress read and the stop request raised from other threads.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "TransferLoop.h"

namespace {

using namespace std::chrono_literals;

// Writes slowly, or blocks until released as a cancelled system write would be; publishes progress.
class ThreadedLink : public TransferLink {
public:
    bool Write(const std::uint8_t* data, std::uint32_t size, std::uint32_t& written) override {
        attempts.fetch_add(1);
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            if (m_blockAtAttempt == attempts.load()) {
                m_blocked = true;
                m_changed.notify_all();
                m_changed.wait(lock, [this] { return m_released; });
                return false;
            }
        }
        std::this_thread::sleep_for(50us);
        received.insert(received.end(), data, data + size);
        written = size;
        return true;
    }
    void Wait(std::uint32_t milliseconds) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
    std::uint32_t Now() override { return 0; }
    void Progress(std::uint32_t position) override { progress.store(position); }

    void BlockAtAttempt(int attempt) { m_blockAtAttempt = attempt; }
    void WaitUntilBlocked() {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [this] { return m_blocked; });
    }
    void Release() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_released = true;
        m_changed.notify_all();
    }

    std::atomic<int> attempts{0};
    std::atomic<std::uint32_t> progress{0};
    std::vector<std::uint8_t> received; // only the loop's thread touches it until it is joined

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_blockAtAttempt = 0;
    bool m_blocked = false;
    bool m_released = false;
};

struct ThreadedRun {
    explicit ThreadedRun(std::size_t size) : image(size, 0x5A) {}
    void Start() {
        worker = std::thread(
            [this] { outcome = RunTransfer(image.data(), static_cast<std::uint32_t>(image.size()), link, signals); });
    }

    std::vector<std::uint8_t> image;
    ThreadedLink link;
    TransferSignals signals;
    std::atomic<bool>& stop = signals.stop;
    TransferOutcome outcome = TransferOutcome::ImageTooShort;
    std::thread worker;
};

} // namespace

TEST(TransferLoopThread, StopFromTheMainThreadWhileAnotherThreadReadsProgress) {
    ThreadedRun run(1024 + 5000 * 2048);
    run.Start();
    std::atomic<bool> workerJoined{false};
    std::thread reader([&] {
        std::uint32_t last = 0;
        while (!workerJoined.load()) {
            const std::uint32_t position = run.link.progress.load();
            EXPECT_GE(position, last);
            last = position;
            std::this_thread::yield();
        }
    });
    while (run.link.progress.load() < 2) {
        std::this_thread::sleep_for(1ms);
    }
    run.stop = true;
    const int attemptsAtStop = run.link.attempts.load();
    run.worker.join();
    workerJoined = true;
    reader.join();
    EXPECT_EQ(run.outcome, TransferOutcome::Stopped);
    // At most the attempt under way when the request was raised.
    EXPECT_LE(run.link.attempts.load(), attemptsAtStop + 1);
    EXPECT_LT(run.link.progress.load(), 100u);
}

TEST(TransferLoopThread, StopWithABlockedWriteEndsOnceTheWriteIsReleased) {
    ThreadedRun run(1024 + 8 * 2048);
    run.link.BlockAtAttempt(3);
    run.Start();
    run.link.WaitUntilBlocked();
    run.stop = true;
    run.link.Release();
    run.worker.join();
    EXPECT_EQ(run.outcome, TransferOutcome::Stopped);
    EXPECT_EQ(run.link.attempts.load(), 3);
    EXPECT_EQ(run.link.received.size(), 20u + 2048u);
}
