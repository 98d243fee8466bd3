// Blocks handed from the fetching thread to the sink's thread through a short queue of reused buffers.
#include "BackgroundSink.h"

namespace {
// Enough to keep both threads busy; more would only hold memory.
constexpr std::size_t kMaxQueued = 4;
// Small pieces (a server's packets) are gathered into blocks of up to this size: one hand-over per piece would cost
// more than the piece.
constexpr std::size_t kBlockSize = 1024 * 1024;
} // namespace

BackgroundSink::BackgroundSink(FetchSink& inner) : m_inner(inner), m_thread(&BackgroundSink::Run, this) {}

BackgroundSink::~BackgroundSink() {
    Finish();
    {
        const std::lock_guard<std::mutex> held(m_lock);
        m_closing = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

bool BackgroundSink::Take(const std::uint8_t* data, std::size_t size) {
    std::unique_lock<std::mutex> held(m_lock);
    const auto fits = [&] { return !m_queued.empty() && m_queued.back().size() + size <= kBlockSize; };
    m_changed.wait(held, [&] { return m_refused || fits() || m_queued.size() < kMaxQueued; });
    if (m_refused)
        return false;
    // The queue's last block is not yet the thread's: it may still grow.
    if (fits()) {
        m_queued.back().insert(m_queued.back().end(), data, data + size);
        return true;
    }
    std::vector<std::uint8_t> block;
    if (!m_spare.empty()) {
        block = std::move(m_spare.back());
        m_spare.pop_back();
    }
    block.reserve(kBlockSize);
    block.assign(data, data + size);
    m_queued.push_back(std::move(block));
    held.unlock();
    m_changed.notify_all();
    return true;
}

bool BackgroundSink::Finish() {
    std::unique_lock<std::mutex> held(m_lock);
    m_changed.wait(held, [&] { return m_refused || (m_queued.empty() && !m_busy); });
    return !m_refused;
}

void BackgroundSink::Run() {
    std::unique_lock<std::mutex> held(m_lock);
    for (;;) {
        m_changed.wait(held, [&] { return m_closing || !m_queued.empty(); });
        if (m_queued.empty())
            return;
        std::vector<std::uint8_t> block = std::move(m_queued.front());
        m_queued.pop_front();
        m_busy = true;
        held.unlock();
        const bool taken = m_refused || m_inner.Take(block.data(), block.size());
        held.lock();
        m_busy = false;
        m_refused = m_refused || !taken;
        m_spare.push_back(std::move(block));
        m_changed.notify_all();
    }
}
