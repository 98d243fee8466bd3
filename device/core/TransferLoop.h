// The transfer worker's streaming loop: header command, payload chunks with bounded retries, progress, stop.
#pragma once

#include <atomic>
#include <cstdint>

// What the loop needs from the system; the Win32 worker writes to the pipe, sleeps, reads the clock and posts
// progress.
class TransferLink {
public:
    // One write of `size` bytes; false when it failed and may be attempted again. On success `written` is the
    // count the system reports.
    virtual bool Write(const std::uint8_t* data, std::uint32_t size, std::uint32_t& written) = 0;
    virtual void Wait(std::uint32_t milliseconds) = 0;
    // A millisecond clock that may wrap, read when the run starts and whenever a write returns.
    virtual std::uint32_t Now() = 0;
    // A new position of the progress bar, 0 to 100; called only when it differs from the last one,
    // the first time from 0.
    virtual void Progress(std::uint32_t position) = 0;

protected:
    ~TransferLink() = default;
};

// What the loop shares with the threads that watch it.
struct TransferSignals {
    // Read before every attempt.
    std::atomic<bool> stop{false};
    // The clock when the run started or a write last returned, successful or not.
    std::atomic<std::uint32_t> lastActivity{0};
    // Bytes the device has taken so far, header command included.
    std::atomic<std::uint32_t> bytesSent{0};
};

// True when a write has been under way for `limitMs` or longer at `now`: a device that stops reading blocks the
// write in the system, beyond the retries. A device that refuses writes quickly is active, not stalled.
bool IsStalled(const TransferSignals& signals, std::uint32_t now, std::uint32_t limitMs);

enum class TransferOutcome {
    Complete,      // the header command and every payload byte were written
    HeaderFailed,  // the payload was written, but the header command failed all its attempts
    ChunkFailed,   // a payload chunk failed all its attempts; the rest was not sent
    PartialWrite,  // a write took only part of its bytes: sending them again would repeat the rest in the device
    Stopped,       // the stop request was seen before an attempt
    ImageTooShort, // less than a header and the date bytes: nothing was written
};

// The bytes a complete run of an image of `size` bytes writes: the header command and the payload; 0 for an image
// shorter than a header, of which nothing is sent.
std::uint32_t TransferByteCount(std::uint32_t size);

// Streams `image` (the whole file, `size` bytes): image bytes 0 to 19 as the header command, then bytes 1024
// to the end in writes of at most 2048 bytes. A header command whose attempts all fail does not end the
// run. A successful write that reports 0 bytes took the whole chunk: drivers that leave the count unset are
// common. The stop request is read before every attempt. Allocates nothing. Ending the run (result text,
// resetting the bar, releasing the image and the pipe) is the caller's.
TransferOutcome RunTransfer(const std::uint8_t* image, std::uint32_t size, TransferLink& link,
                            TransferSignals& signals);
