// A signed catalog beside an image (a mirror, or a copy of one on a share) vouches for the images it lists: like a
// checksum file that is also a signature.
#pragma once

#include <cstdint>
#include <string>

#include "ChecksumFile.h"

struct CatalogVouch {
    // The folder's catalog.json verifies with a trusted signer and lists the image's file name.
    bool listed = false;
    // ... and with the image's size and SHA-256.
    bool matches = false;
    std::string version;
    std::string signer;
    std::wstring catalogPath;
};

// What the catalog in `folder` (ending in its separator) says of the image `imageName` (UTF-8), `size` bytes with
// SHA-256 `sha256`. A catalog that is absent, unreadable, unsigned or not trusted vouches for nothing. Its expiry is
// not judged here: images outlive their catalogs, as they outlive their certificates.
CatalogVouch JudgeCatalogBeside(const std::wstring& folder, const std::string& imageName, std::uint64_t size,
                                const std::string& sha256, const std::wstring& trustedFolder, FileNameEquals sameName);
