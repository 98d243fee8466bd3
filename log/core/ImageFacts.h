// What a download run knows of its image: path, size, header fields, SHA-256; as text and as JSON.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "ImageHeader.h"
#include "JsonLine.h"

struct ImageFacts {
    std::string path; // UTF-8, full path
    // The header was read (the file holds at least one); `size` and `sha256` once the whole image was read.
    bool haveHeader = false;
    ImageHeader header;
    std::optional<std::uint32_t> size;
    std::optional<std::string> sha256; // lower-case hex
    // Once the image was judged by the files beside it: "match", "mismatch" or "none", and the checksum files'
    // names; "valid", "invalid", "untrusted" or "none", and the signer's subject when there is one.
    std::optional<std::string> checksum;
    std::string checksumFiles;
    std::optional<std::string> signature;
    std::optional<std::string> signer;
    // Why an "untrusted" signer is not trusted, in a few words ("expired 2021-03-01"), when a trusted certificate
    // stands for it.
    std::optional<std::string> signerProblem;
    // The machine policy that required a signature ("RequireSignedImages"); nothing when none did.
    std::optional<std::string> policy;
    // The signature is that of a trusted catalog beside the image, which gives its version.
    bool signedByCatalog = false;
    std::optional<std::string> imageVersion;
};

// "e-flash", "serial flash", "NAND flash" or "unknown".
const char* FlashKindName(std::uint8_t kind);

// The fields of the image as JSON, after the fields already in `line`.
JsonLine& AddImageFields(JsonLine& line, const ImageFacts& facts);
// The lines that --info prints.
std::string InfoText(const ImageFacts& facts);
