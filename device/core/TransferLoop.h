// The transfer worker's streaming loop: header command, payload chunks with bounded retries, progress, stop.
#pragma once

#include <atomic>
#include <cstdint>

// What the loop needs from the system; the Win32 worker writes to the pipe, sleeps and posts progress.
class TransferLink {
public:
    // One whole write of `size` bytes; false when it failed and may be attempted again.
    virtual bool Write(const std::uint8_t* data, std::uint32_t size) = 0;
    virtual void Wait(std::uint32_t milliseconds) = 0;
    // A new position of the progress bar, 0 to 100; called only when it differs from the last one,
    // the first time from 0.
    virtual void Progress(std::uint32_t position) = 0;

protected:
    ~TransferLink() = default;
};

enum class TransferOutcome {
    Complete,      // the header command and every payload byte were written
    HeaderFailed,  // the payload was written, but the header command failed all its attempts
    ChunkFailed,   // a payload chunk failed all its attempts; the rest was not sent
    Stopped,       // the stop request was seen before an attempt
    ImageTooShort, // less than a header and the date bytes: nothing was written
};

// The bytes a complete run of an image of `size` bytes writes: the header command and the payload; 0 for an image
// shorter than a header, of which nothing is sent.
std::uint32_t TransferByteCount(std::uint32_t size);

// Streams `image` (the whole file, `size` bytes): image bytes 0 to 19 as the header command, then bytes 1024
// to the end in writes of at most 2048 bytes. A header command whose attempts all fail does not end the
// run. The stop request is read before every attempt. Allocates nothing. Ending the run (result text,
// resetting the bar, releasing the image and the pipe) is the caller's.
TransferOutcome RunTransfer(const std::uint8_t* image, std::uint32_t size, TransferLink& link,
                            const std::atomic<bool>& stopRequested);
