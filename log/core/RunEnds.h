// Every way a download run ends, each refusal of a step and each end of a transfer, in one table beside the log's
// schema: what the log records of it and whether the device may now hold part of an image. Each front end adds its
// own column (the flasher an exit code, the window a text) and maps nothing else.
#pragma once

#include "RunOutcome.h"
#include "TransferLoop.h"

enum class RunEnd {
    Written,       // the header command and every payload byte reached the device's pipe
    ImageTooShort, // shorter than a header (1028 bytes)
    ImageTooLarge, // larger than a 32-bit count
    NotAnImage,    // no '$' marker
    UartImage,     // an image for the UART port
    ImageUnreadable,
    ImageChanged,        // changed between the header test and the whole read
    ChecksumMismatch,    // a checksum file beside the image gives another hash, or none
    ChecksumUnreadable,  // a checksum file beside the image cannot be read
    SignatureInvalid,    // the signature beside the image does not verify its bytes
    SignatureUnreadable, // the signature file beside the image cannot be read
    SignerUntrusted,     // the signature verifies, but its signer is not trusted
    UnsignedRefused,     // no signature, where the machine's policy or the caller asks for one
    NoDevice,
    NoDeviceInTime, // not attached within the flasher's wait
    DriverMissing,  // TarselUSB.dll cannot be loaded, or lacks an export
    PipeRefused,
    DeviceBusy,      // another program is writing to a device of this machine
    HeaderRefused,   // the device did not take the header command
    TransferBroken,  // a payload write failed all its attempts: unplugged, or the device stopped
    TransferStalled, // no write completed for the stall limit
    Interrupted,     // the flasher stopped by Ctrl+C, Ctrl+Break, the console closed or the session's end
    WindowClosed,    // the window closed during the transfer
    LogUnwritable,
    SerialInvalid,  // a scanned line that is no serial, from a pipe, where it cannot be asked again
    SerialRepeated, // the log shows the board flashed whole with this image already
};

struct RunEndRow {
    RunEnd end;
    const char* logResult; // RunResult's "ok", "refused" (nothing was sent), "failed" or "interrupted"
    const char* reason;    // plain English, stable for scripts; empty for Written
    bool partlyWritten;    // the device may now hold part of an image: it must be flashed again
};

// The row of `end`.
const RunEndRow& RowOf(RunEnd end);
inline const char* LogResultOf(RunEnd end) {
    return RowOf(end).logResult;
}
inline const char* ReasonOf(RunEnd end) {
    return RowOf(end).reason;
}
inline bool LeavesPartialImage(RunEnd end) {
    return RowOf(end).partlyWritten;
}

// How a step of a download run that did not go on ends the run.
RunEnd EndOfStep(RunOutcome outcome);
// How a transfer ended; `whenStopped` when it was stopped (by the user, or at the stall limit).
RunEnd EndOfTransfer(TransferOutcome outcome, RunEnd whenStopped);
