// The table of ends.
#include "RunEnds.h"

#include <iterator>

#include "RunRecord.h"

namespace {

// In the order of RunEnd: row i is the end i.
constexpr RunEndRow kEnds[] = {
    {RunEnd::Written, RunResult::kOk, "", false},
    {RunEnd::ImageTooShort, RunResult::kRefused, "the file is shorter than 1028 bytes: not a firmware image", false},
    {RunEnd::ImageTooLarge, RunResult::kRefused, "the file is too large for a firmware image", false},
    {RunEnd::NotAnImage, RunResult::kRefused,
     "the file is not an Ostrel firmware image (its header does not start with \"$\")", false},
    {RunEnd::UartImage, RunResult::kRefused, "the image is for the UART port, not for USB", false},
    {RunEnd::ImageUnreadable, RunResult::kRefused, "the image file cannot be opened or read", false},
    {RunEnd::ImageChanged, RunResult::kRefused, "the image file changed while it was read", false},
    {RunEnd::ChecksumMismatch, RunResult::kRefused, "the image does not match its checksum file: it may be damaged",
     false},
    {RunEnd::ChecksumUnreadable, RunResult::kRefused, "a checksum file beside the image cannot be read", false},
    {RunEnd::SignatureInvalid, RunResult::kRefused, "the image's signature does not verify its bytes", false},
    {RunEnd::SignatureUnreadable, RunResult::kRefused, "the signature file beside the image cannot be read", false},
    {RunEnd::SignerUntrusted, RunResult::kRefused, "the image's signer is not trusted", false},
    {RunEnd::UnsignedRefused, RunResult::kRefused,
     "this computer accepts only signed images, and the image is not signed", false},
    {RunEnd::NoDevice, RunResult::kRefused, "no Ostrel device is attached: connect it, or add --wait[=SECONDS]", false},
    {RunEnd::NoDeviceInTime, RunResult::kRefused, "no Ostrel device was attached in time", false},
    {RunEnd::DriverMissing, RunResult::kRefused,
     "the driver library TarselUSB.dll cannot be loaded, or lacks open_dev or open_file", false},
    {RunEnd::PipeRefused, RunResult::kRefused,
     "the device cannot be opened: another program may be using it, or it was unplugged", false},
    {RunEnd::DeviceBusy, RunResult::kRefused,
     "another copy of the tool is writing to a device of this computer: wait until it has finished", false},
    {RunEnd::HeaderRefused, RunResult::kFailed, "the device did not take the image's header", true},
    {RunEnd::TransferBroken, RunResult::kFailed,
     "the device stopped taking data (unplugged?) before the whole image was sent", true},
    {RunEnd::TransferStalled, RunResult::kFailed, "the device took no data for 30 seconds", true},
    {RunEnd::Interrupted, RunResult::kInterrupted, "stopped by Ctrl+C, Ctrl+Break or closing the console", true},
    {RunEnd::WindowClosed, RunResult::kInterrupted, "stopped by closing the window", true},
    {RunEnd::LogUnwritable, RunResult::kFailed, "the log file cannot be written", false},
    {RunEnd::SerialInvalid, RunResult::kRefused, "the scanned line is not a serial", false},
    {RunEnd::SerialRepeated, RunResult::kRefused,
     "the log shows this board flashed with this image already (--allow-repeat-serial flashes it again)", false},
};
static_assert(std::size(kEnds) == static_cast<std::size_t>(RunEnd::SerialRepeated) + 1, "a row for every end");

} // namespace

const RunEndRow& RowOf(RunEnd end) {
    return kEnds[static_cast<std::size_t>(end)];
}

RunEnd EndOfStep(RunOutcome outcome) {
    switch (outcome) {
    case RunOutcome::Ok:
        return RunEnd::Written;
    case RunOutcome::CannotOpen:
    case RunOutcome::CannotOpenAgain:
    case RunOutcome::NoMemory:
    case RunOutcome::ShortRead:
        return RunEnd::ImageUnreadable;
    case RunOutcome::TooShort:
        return RunEnd::ImageTooShort;
    case RunOutcome::TooLarge:
        return RunEnd::ImageTooLarge;
    case RunOutcome::NoMarker:
        return RunEnd::NotAnImage;
    case RunOutcome::UartImage:
        return RunEnd::UartImage;
    case RunOutcome::Changed:
        return RunEnd::ImageChanged;
    case RunOutcome::ChecksumMismatch:
        return RunEnd::ChecksumMismatch;
    case RunOutcome::ChecksumUnreadable:
        return RunEnd::ChecksumUnreadable;
    case RunOutcome::SignatureInvalid:
        return RunEnd::SignatureInvalid;
    case RunOutcome::SignatureUnreadable:
        return RunEnd::SignatureUnreadable;
    case RunOutcome::SignerUntrusted:
        return RunEnd::SignerUntrusted;
    case RunOutcome::UnsignedRefused:
        return RunEnd::UnsignedRefused;
    case RunOutcome::AnotherRunWrites:
        return RunEnd::DeviceBusy;
    case RunOutcome::NoLibrary:
        return RunEnd::DriverMissing;
    case RunOutcome::PipeRefused:
        return RunEnd::PipeRefused;
    case RunOutcome::NoThread:
        break;
    }
    // No thread to send with: the pipe was closed again before anything was written.
    return RunEnd::TransferBroken;
}

RunEnd EndOfTransfer(TransferOutcome outcome, RunEnd whenStopped) {
    switch (outcome) {
    case TransferOutcome::Complete:
        return RunEnd::Written;
    case TransferOutcome::HeaderFailed:
        return RunEnd::HeaderRefused;
    case TransferOutcome::ChunkFailed:
    case TransferOutcome::PartialWrite:
        return RunEnd::TransferBroken;
    case TransferOutcome::ImageTooShort:
        return RunEnd::ImageTooShort;
    case TransferOutcome::Stopped:
        break;
    }
    return whenStopped;
}
