// A sink that hands the blocks of a fetch on to another sink on a thread of its own, so that hashing and writing
// a large image overlap its transfer rather than follow each block of it.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "CatalogFetch.h"

class BackgroundSink : public FetchSink {
public:
    explicit BackgroundSink(FetchSink& inner);
    // Waits for the blocks already taken.
    ~BackgroundSink();
    BackgroundSink(const BackgroundSink&) = delete;
    BackgroundSink& operator=(const BackgroundSink&) = delete;

    // Copies the piece into the queue's last block or a new one; waits while the queue is full. False once the inner
    // sink refused a block.
    bool Take(const std::uint8_t* data, std::size_t size) override;
    // Waits until every block taken has reached the inner sink; false when it refused one.
    bool Finish();

private:
    void Run();

    FetchSink& m_inner;
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::deque<std::vector<std::uint8_t>> m_queued;
    std::vector<std::vector<std::uint8_t>> m_spare;
    bool m_busy = false;
    bool m_refused = false;
    bool m_closing = false;
    std::thread m_thread;
};
