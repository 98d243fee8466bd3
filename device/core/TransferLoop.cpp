// The transfer worker's streaming loop.
#include "TransferLoop.h"

#include <algorithm>

#include "ImageHeader.h"

namespace {

constexpr std::uint32_t kHeaderCommandSize = 20;
constexpr std::uint32_t kMaxChunkSize = 2048;
// The first attempt and up to 3001 repeats.
constexpr int kAttemptsPerWrite = 3002;
constexpr std::uint32_t kHeaderCommandRetryWaitMs = 5;
constexpr std::uint32_t kChunkRetryWaitMs = 1;
constexpr std::uint32_t kProgressSteps = 100;

enum class WriteResult { Written, Partial, AttemptsExhausted, Stopped };

// The wait follows every failed attempt, the last one too.
WriteResult WriteWithRetries(TransferLink& link, const std::uint8_t* data, std::uint32_t size,
                             std::uint32_t retryWaitMs, TransferSignals& signals) {
    for (int attempt = 0; attempt < kAttemptsPerWrite; ++attempt) {
        if (signals.stop.load()) {
            return WriteResult::Stopped;
        }
        std::uint32_t written = 0;
        const bool succeeded = link.Write(data, size, written);
        signals.lastActivity.store(link.Now());
        if (succeeded) {
            if (written == 0 || written >= size) {
                signals.bytesSent.fetch_add(size, std::memory_order_relaxed);
                return WriteResult::Written;
            }
            signals.bytesSent.fetch_add(written, std::memory_order_relaxed);
            return WriteResult::Partial;
        }
        link.Wait(retryWaitMs);
    }
    return WriteResult::AttemptsExhausted;
}

} // namespace

std::uint32_t TransferByteCount(std::uint32_t size) {
    return size < kImageHeaderSize ? 0 : kHeaderCommandSize + (size - kPayloadOffset);
}

bool IsStalled(const TransferSignals& signals, std::uint32_t now, std::uint32_t limitMs) {
    // A signed difference: right across a wrap of the clock, and a stamp the loop made after the watcher read
    // its clock is recent, not four billion milliseconds old.
    const auto elapsed = static_cast<std::int32_t>(now - signals.lastActivity.load());
    return elapsed >= 0 && static_cast<std::uint32_t>(elapsed) >= limitMs;
}

TransferOutcome RunTransfer(const std::uint8_t* image, std::uint32_t size, TransferLink& link,
                            TransferSignals& signals) {
    if (size < kImageHeaderSize) {
        return TransferOutcome::ImageTooShort;
    }
    signals.lastActivity.store(link.Now());
    const std::uint8_t* payload = image + kPayloadOffset;
    const std::uint32_t payloadSize = size - kPayloadOffset;
    const std::uint32_t divisor = std::max<std::uint32_t>(payloadSize / kProgressSteps, 1);

    // A header command that could not be written does not stop the payload, but the run is then no success.
    const WriteResult command = WriteWithRetries(link, image, kHeaderCommandSize, kHeaderCommandRetryWaitMs, signals);
    if (command == WriteResult::Stopped) {
        return TransferOutcome::Stopped;
    }
    if (command == WriteResult::Partial) {
        return TransferOutcome::PartialWrite;
    }

    std::uint32_t offset = 0;
    std::uint32_t shownPosition = 0;
    while (offset < payloadSize) {
        const std::uint32_t chunkSize = std::min(payloadSize - offset, kMaxChunkSize);
        switch (WriteWithRetries(link, payload + offset, chunkSize, kChunkRetryWaitMs, signals)) {
        case WriteResult::Stopped:
            return TransferOutcome::Stopped;
        case WriteResult::Partial:
            return TransferOutcome::PartialWrite;
        case WriteResult::AttemptsExhausted:
            return TransferOutcome::ChunkFailed;
        case WriteResult::Written:
            break;
        }
        offset += chunkSize;
        // The integer divisor makes smaller payloads overshoot (4096 bytes would end at 102).
        const std::uint32_t position = std::min(offset / divisor, kProgressSteps);
        if (position != shownPosition) {
            shownPosition = position;
            link.Progress(position);
        }
    }
    return command == WriteResult::Written ? TransferOutcome::Complete : TransferOutcome::HeaderFailed;
}
