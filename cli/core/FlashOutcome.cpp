// How a flash attempt or a session ends.
#include "FlashOutcome.h"

#include "RunRecord.h"

namespace {

struct EndFacts {
    FlashEnd end;
    int exitCode;
    const char* logResult;
    const char* reason;
};

constexpr EndFacts kEnds[] = {
    {FlashEnd::Written, ExitCode::kOk, "ok", ""},
    {FlashEnd::ImageTooShort, ExitCode::kNotAnImage, "refused", RunReason::kImageTooShort},
    {FlashEnd::ImageTooLarge, ExitCode::kNotAnImage, "refused", "the file is too large for a firmware image"},
    {FlashEnd::NotAnImage, ExitCode::kNotAnImage, "refused",
     "the file is not an Ostrel firmware image (its header does not start with \"$\")"},
    {FlashEnd::UartImage, ExitCode::kNotAnImage, "refused", "the image is for the UART port, not for USB"},
    {FlashEnd::ImageUnreadable, ExitCode::kNoImageFile, "refused", "the image file cannot be opened or read"},
    {FlashEnd::ImageChanged, ExitCode::kNoImageFile, "refused", "the image file changed while it was read"},
    {FlashEnd::ChecksumMismatch, ExitCode::kNotAnImage, "refused",
     "the image does not match its checksum file: it may be damaged"},
    {FlashEnd::ChecksumUnreadable, ExitCode::kNoImageFile, "refused",
     "a checksum file beside the image cannot be read"},
    {FlashEnd::SignatureInvalid, ExitCode::kNotAnImage, "refused", "the image's signature does not verify its bytes"},
    {FlashEnd::SignatureUnreadable, ExitCode::kNoImageFile, "refused",
     "the signature file beside the image cannot be read"},
    {FlashEnd::SignerUntrusted, ExitCode::kNotPermitted, "refused", "the image's signer is not trusted"},
    {FlashEnd::UnsignedRefused, ExitCode::kNotPermitted, "refused",
     "this computer accepts only signed images, and the image is not signed"},
    {FlashEnd::NoDevice, ExitCode::kNoDevice, "refused", "no Ostrel device is attached"},
    {FlashEnd::NoDeviceInTime, ExitCode::kNoDevice, "refused", "no Ostrel device was attached in time"},
    {FlashEnd::DriverMissing, ExitCode::kNoDevice, "refused",
     "the driver library TarselUSB.dll cannot be loaded, or lacks open_dev or open_file"},
    {FlashEnd::PipeRefused, ExitCode::kNoDevice, "refused", "the device's pipe cannot be opened"},
    {FlashEnd::DeviceBusy, ExitCode::kTryAgainLater, "refused",
     "Another copy of the tool is writing to the device. Wait until it has finished."},
    {FlashEnd::HeaderRefused, ExitCode::kTransferFailed, "failed", RunReason::kHeaderRefused},
    {FlashEnd::TransferBroken, ExitCode::kTransferFailed, "failed", RunReason::kTransferBroken},
    {FlashEnd::TransferStalled, ExitCode::kTransferFailed, "failed", RunReason::kTransferStalled},
    {FlashEnd::Interrupted, ExitCode::kInterrupted, "interrupted",
     "stopped by Ctrl+C, Ctrl+Break or closing the console"},
    {FlashEnd::LogUnwritable, ExitCode::kTransferFailed, "failed", "the log file cannot be written"},
    {FlashEnd::SerialInvalid, ExitCode::kNotAnImage, "refused", "the scanned line is not a serial"},
    {FlashEnd::SerialRepeated, ExitCode::kNotAnImage, "refused",
     "the log shows this board flashed with this image already (--allow-repeat-serial flashes it again)"},
};

const EndFacts& FactsOf(FlashEnd end) {
    for (const EndFacts& facts : kEnds) {
        if (facts.end == end)
            return facts;
    }
    return kEnds[0];
}

} // namespace

int ExitCodeOf(FlashEnd end) {
    return FactsOf(end).exitCode;
}

const char* LogResultOf(FlashEnd end) {
    return FactsOf(end).logResult;
}

const char* ReasonOf(FlashEnd end) {
    return FactsOf(end).reason;
}

bool LeavesPartialImage(FlashEnd end) {
    return end == FlashEnd::HeaderRefused || end == FlashEnd::TransferBroken || end == FlashEnd::TransferStalled ||
           end == FlashEnd::Interrupted;
}

std::string DriverLoadErrorMeaning(unsigned long error, bool program64, const std::string& foundAt) {
    switch (error) {
    case 126:
        // Windows gives the same error when the file is there but cannot be loaded without a library it imports.
        if (!foundAt.empty())
            return "TarselUSB.dll was found at " + foundAt + ", but a library it needs is missing";
        return "TarselUSB.dll was not found beside ostrel-flash.exe or in the Windows system folder";
    case 127:
        return "TarselUSB.dll lacks open_dev or open_file: it is not the Ostrel driver library, or a damaged one";
    case 193:
        return program64 ? "TarselUSB.dll is a 32-bit library, and this 64-bit ostrel-flash.exe needs the 64-bit one"
                         : "TarselUSB.dll is a 64-bit library, and this 32-bit ostrel-flash.exe needs the 32-bit one "
                           "(on 64-bit Windows it belongs in C:\\Windows\\SysWOW64)";
    default:
        return {};
    }
}

FlashEnd EndOfStep(RunOutcome outcome) {
    switch (outcome) {
    case RunOutcome::Ok:
        return FlashEnd::Written;
    case RunOutcome::CannotOpen:
    case RunOutcome::CannotOpenAgain:
    case RunOutcome::NoMemory:
    case RunOutcome::ShortRead:
        return FlashEnd::ImageUnreadable;
    case RunOutcome::TooShort:
        return FlashEnd::ImageTooShort;
    case RunOutcome::TooLarge:
        return FlashEnd::ImageTooLarge;
    case RunOutcome::NoMarker:
        return FlashEnd::NotAnImage;
    case RunOutcome::UartImage:
        return FlashEnd::UartImage;
    case RunOutcome::Changed:
        return FlashEnd::ImageChanged;
    case RunOutcome::ChecksumMismatch:
        return FlashEnd::ChecksumMismatch;
    case RunOutcome::ChecksumUnreadable:
        return FlashEnd::ChecksumUnreadable;
    case RunOutcome::SignatureInvalid:
        return FlashEnd::SignatureInvalid;
    case RunOutcome::SignatureUnreadable:
        return FlashEnd::SignatureUnreadable;
    case RunOutcome::SignerUntrusted:
        return FlashEnd::SignerUntrusted;
    case RunOutcome::UnsignedRefused:
        return FlashEnd::UnsignedRefused;
    case RunOutcome::AnotherRunWrites:
        return FlashEnd::DeviceBusy;
    case RunOutcome::NoLibrary:
        return FlashEnd::DriverMissing;
    case RunOutcome::PipeRefused:
        return FlashEnd::PipeRefused;
    case RunOutcome::NoThread:
        break;
    }
    return FlashEnd::TransferBroken;
}

FlashEnd EndOfTransfer(TransferOutcome outcome, bool interrupted) {
    switch (outcome) {
    case TransferOutcome::Complete:
        return FlashEnd::Written;
    case TransferOutcome::HeaderFailed:
        return FlashEnd::HeaderRefused;
    case TransferOutcome::ChunkFailed:
    case TransferOutcome::PartialWrite:
        return FlashEnd::TransferBroken;
    case TransferOutcome::ImageTooShort:
        return FlashEnd::ImageTooShort;
    case TransferOutcome::Stopped:
        break;
    }
    return interrupted ? FlashEnd::Interrupted : FlashEnd::TransferStalled;
}

int SessionExitCode(const SessionTally& tally, FlashEnd last) {
    if (last == FlashEnd::Interrupted)
        return ExitCode::kInterrupted;
    if (tally.failed > 0)
        return ExitCode::kTransferFailed;
    return ExitCodeOf(last);
}
