// How a flash attempt or a session ends.
#include "FlashOutcome.h"

#include <iterator>

namespace {

// In the order of RunEnd: row i is the end i.
constexpr struct {
    RunEnd end;
    int exitCode;
} kExitCodes[] = {
    {RunEnd::Written, ExitCode::kOk},
    {RunEnd::ImageTooShort, ExitCode::kNotAnImage},
    {RunEnd::ImageTooLarge, ExitCode::kNotAnImage},
    {RunEnd::NotAnImage, ExitCode::kNotAnImage},
    {RunEnd::UartImage, ExitCode::kNotAnImage},
    {RunEnd::ImageUnreadable, ExitCode::kNoImageFile},
    {RunEnd::ImageChanged, ExitCode::kNoImageFile},
    {RunEnd::ChecksumMismatch, ExitCode::kNotAnImage},
    {RunEnd::ChecksumUnreadable, ExitCode::kNoImageFile},
    {RunEnd::SignatureInvalid, ExitCode::kNotAnImage},
    {RunEnd::SignatureUnreadable, ExitCode::kNoImageFile},
    {RunEnd::SignerUntrusted, ExitCode::kNotPermitted},
    {RunEnd::UnsignedRefused, ExitCode::kNotPermitted},
    {RunEnd::NoDevice, ExitCode::kNoDevice},
    {RunEnd::NoDeviceInTime, ExitCode::kNoDevice},
    {RunEnd::DriverMissing, ExitCode::kNoDevice},
    {RunEnd::PipeRefused, ExitCode::kNoDevice},
    {RunEnd::DeviceBusy, ExitCode::kTryAgainLater},
    {RunEnd::HeaderRefused, ExitCode::kTransferFailed},
    {RunEnd::TransferBroken, ExitCode::kTransferFailed},
    {RunEnd::TransferStalled, ExitCode::kTransferFailed},
    {RunEnd::Interrupted, ExitCode::kInterrupted},
    {RunEnd::WindowClosed, ExitCode::kInterrupted},
    {RunEnd::LogUnwritable, ExitCode::kTransferFailed},
    {RunEnd::SerialInvalid, ExitCode::kNotAnImage},
    {RunEnd::SerialRepeated, ExitCode::kNotAnImage},
};
static_assert(std::size(kExitCodes) == static_cast<std::size_t>(RunEnd::SerialRepeated) + 1, "a code for every end");

} // namespace

int ExitCodeOf(RunEnd end) {
    return kExitCodes[static_cast<std::size_t>(end)].exitCode;
}

const ExitCodeMeaning kExitCodeMeanings[9] = {
    {ExitCode::kOk, "every download wrote the whole image; with --info, the image would be accepted; with --history, "
                    "the log was read"},
    {ExitCode::kUsage, "the command line is wrong: an unknown option, no image file or more than one, a bad number, "
                       "name or serial, or options that do not go together (see --help), or no catalog to read (no "
                       "--catalog, no Catalog policy and none built in)"},
    {ExitCode::kNotAnImage,
     "the file is not a usable image (shorter than 1028 bytes, too large, no \"$\" marker, or an image for the UART "
     "port), or it does not match its checksum file, or its signature does not verify it; also a board that the log "
     "shows flashed with this image already, or a scanned line that is not a serial; also a catalog whose signature "
     "does not verify it, that is older than the last good one or has expired, or an image that differs from its "
     "catalog entry"},
    {ExitCode::kNoImageFile, "the image file cannot be opened or read, or it changed while it was read; or a checksum "
                             "or signature file beside it cannot be read (or is larger than 1 MiB)"},
    {ExitCode::kNoDevice,
     "no device (absent, or not attached within --wait), TarselUSB.dll missing, of the other kind or lacking open_dev "
     "or open_file, or the device cannot be opened (another program may be using it); also a catalog or image that "
     "cannot be fetched and is not in the firmware mirror"},
    {ExitCode::kTransferFailed, "a download failed (with --repeat: any of them); also a log file named with --log that "
                                "cannot be opened or written, or a log that --history cannot read (a missing one "
                                "included); also a firmware mirror that cannot be written"},
    {ExitCode::kTryAgainLater, "another copy of the flasher, or the window, is writing to a device on this computer: "
                               "run again when it has finished (only one download runs at a time)"},
    {ExitCode::kNotPermitted, "the image's signer is not trusted, or a signature is required (--require-signature or "
                              "the RequireSignedImages policy) and the image has none; also a catalog from an "
                              "untrusted signer, or catalogs turned off by the Catalog policy"},
    {ExitCode::kInterrupted, "stopped by Ctrl+C, Ctrl+Break, closing the console or the end of the Windows session; "
                             "the device then holds an incomplete image"},
};

std::string ExitStatusText() {
    std::string text = "Exit status:\n";
    for (const ExitCodeMeaning& row : kExitCodeMeanings)
        text += "  " + std::to_string(row.code) + "  " + row.meaning + "\n";
    return text;
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

int SessionExitCode(const SessionTally& tally, RunEnd last) {
    if (last == RunEnd::Interrupted)
        return ExitCode::kInterrupted;
    if (tally.failed > 0)
        return ExitCode::kTransferFailed;
    return ExitCodeOf(last);
}
