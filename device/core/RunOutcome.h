// How each step of a download run ends: one value for every cause, which each front end words in its own way.
#pragma once

enum class RunOutcome {
    Ok,                  // the step is done; the next may follow
    CannotOpen,          // the image cannot be opened or read
    TooShort,            // shorter than a header (1028 bytes), at the header read or at the whole read
    NoMarker,            // no image marker: not a firmware image
    UartImage,           // an image for the UART port, not for USB
    CannotOpenAgain,     // the whole read cannot open the file again
    TooLarge,            // too large for a 32-bit size
    NoMemory,            // no block of the image's size
    ShortRead,           // the whole read gave fewer bytes than the file's size
    Changed,             // the image no longer begins with the header that was tested
    ChecksumMismatch,    // a checksum file beside the image names it with another hash, holds none, or the two disagree
    ChecksumUnreadable,  // a checksum file beside the image cannot be read
    SignatureInvalid,    // its signature does not verify these bytes
    SignatureUnreadable, // its signature file cannot be read
    SignerUntrusted,     // the signature verifies, but its signer is not trusted
    UnsignedRefused,     // no signature, where one is required
    AnotherRunWrites,    // the machine's download lock is held elsewhere: nothing was opened
    NoLibrary,           // TarselUSB.dll cannot be loaded, or lacks open_file
    PipeRefused,         // open_file gave no handle: the device went away, or its pipe is taken
    NoThread,            // the worker's thread could not be started; the pipe is closed again
};
