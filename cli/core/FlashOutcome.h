// How a flash attempt or a session ends: the causes, their exit codes (BSD sysexits), log results and reasons.
#pragma once

#include <cstdint>
#include <string>

#include "RunOutcome.h"
#include "TransferLoop.h"

namespace ExitCode {
inline constexpr int kOk = 0;
inline constexpr int kUsage = 64;
inline constexpr int kNotAnImage = 65;
inline constexpr int kNoImageFile = 66;
inline constexpr int kNoDevice = 69;
inline constexpr int kTransferFailed = 74;
inline constexpr int kTryAgainLater = 75;
inline constexpr int kNotPermitted = 77;
inline constexpr int kInterrupted = 130;
} // namespace ExitCode

enum class FlashEnd {
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
    UnsignedRefused,     // no signature, where the machine's policy or --require-signature asks for one
    NoDevice,
    NoDeviceInTime, // not attached within --wait
    DriverMissing,  // TarselUSB.dll cannot be loaded, or lacks an export
    PipeRefused,
    DeviceBusy,      // another program is writing to a device of this machine
    HeaderRefused,   // the device did not take the header command
    TransferBroken,  // a payload write failed all its attempts: unplugged, or the device stopped
    TransferStalled, // no write completed for the stall limit
    Interrupted,     // Ctrl+C, Ctrl+Break or the console closed
    LogUnwritable,
    SerialInvalid,  // a scanned line that is no serial, from a pipe, where it cannot be asked again
    SerialRepeated, // the log shows the board flashed whole with this image already
};

int ExitCodeOf(FlashEnd end);
// What the log records: "ok", "refused" (nothing was sent), "failed" or "interrupted".
const char* LogResultOf(FlashEnd end);
// The reason in plain English, stable for scripts; empty for Written.
const char* ReasonOf(FlashEnd end);
// True when the device may now hold part of an image: it must be flashed again.
bool LeavesPartialImage(FlashEnd end);

// What a Windows error from loading the driver library means for the user, in plain English: not found, or found at
// `foundAt` (UTF-8; empty when none was found) and a library it imports is missing (126); of the other architecture
// (193, `program64` tells this program's); missing an export (127); empty for others.
std::string DriverLoadErrorMeaning(unsigned long error, bool program64, const std::string& foundAt);

// How a step of a download run that did not go on ends the attempt.
FlashEnd EndOfStep(RunOutcome outcome);

// How a transfer run ended; `interrupted` when the stop came from the user rather than the stall limit.
FlashEnd EndOfTransfer(TransferOutcome outcome, bool interrupted);

struct SessionTally {
    std::uint32_t ok = 0;
    std::uint32_t failed = 0;
    // Boards refused before their download: a serial that is none, or one flashed already.
    std::uint32_t refused = 0;
};

// The session's exit code: Ctrl+C first, then any failed download, then what ended the session (Written when
// it ran out of work: one download, or --count reached).
int SessionExitCode(const SessionTally& tally, FlashEnd last);
