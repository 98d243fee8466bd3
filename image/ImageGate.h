// The image gate of a download: the checksum files and the signature beside the image, and the machine's policy,
// judged on the bytes held in memory for the transfer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ChecksumFile.h"
#include "ImageSignature.h"

enum class ImageRefusal {
    None,
    ChecksumMismatch,        // a checksum file names the image with another hash or holds none, or the two disagree
    SignatureInvalid,        // the signature does not verify these bytes, or cannot be decoded
    SignerUntrusted,         // it verifies, but its signer is neither a trusted certificate nor issued by one
    UnsignedButRequired,     // no signature, and a signature is required
    ChecksumFileUnreadable,  // a checksum file exists but cannot be read, or is larger than 1 MiB
    SignatureFileUnreadable, // the signature file exists but cannot be read, or is larger than 1 MiB
};

struct ImageVerdict {
    ChecksumVerdict checksum;
    // The checksum files (full paths) that the checksum verdict is about: one, both, or none.
    std::vector<std::wstring> checksumFiles;
    SignatureCheck signature;
    // The image's SHA-256 in lower-case hex; empty only when the system cannot hash.
    std::string sha256;
    ImageRefusal refusal = ImageRefusal::None;
    // For either unreadable refusal: the file, and whether it was only too large.
    std::wstring unreadableFile;
    bool unreadableTooLarge = false;
    unsigned long unreadableError = 0; // the system's, when it was not only too large
    // The machine policy required a signature (told by the caller, which reads the policy).
    bool policyRequiresSignature = false;
    // A trusted catalog beside the image lists it: its version there, and whether its signature is the catalog's.
    std::string imageVersion;
    bool signedByCatalog = false;
};

// The folder `trusted` beside the program, with its trailing separator; empty if the program's path is unknown.
std::wstring TrustedCertificateFolder();

// Judges the image at `imagePath` (full path), whose bytes are `image`: reads `<image>.sha256` and `SHA256SUMS` in
// its folder, `<image>.p7s` and a signed `catalog.json` that lists the image, hashes the bytes once, and verifies the
// signature against the certificates in `trustedFolder`. The refusal is the first of: a side file that cannot be read,
// a checksum that refuses, a signature that does not verify, an untrusted signer, no signature where
// `signatureRequired`.
ImageVerdict JudgeImage(const std::wstring& imagePath, const std::uint8_t* image, std::size_t imageSize,
                        bool signatureRequired, const std::wstring& trustedFolder = TrustedCertificateFolder());

// True when the machine's policy (HKLM\SOFTWARE\Policies\Corvane\Ostrel update, RequireSignedImages, read in the
// 64-bit view) accepts only images with a valid, trusted signature: when the value is there and is neither a DWORD of
// 0 nor the text "0".
bool MachineRequiresSignedImages();
