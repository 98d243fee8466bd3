// The firmware mirror: a folder that holds only verified files (the last good catalog and its signature, the images
// fetched), each written under a temporary name and renamed into place once verified.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "CatalogFetch.h"
#include "CatalogFile.h"
#include "Sha256Stream.h"
#include "Handle.h"

// One file on its way into the mirror: written and hashed as it arrives, under a temporary name that no reader of
// the mirror takes for an image; deleted unless committed.
class MirrorFile : public FetchSink {
public:
    // Creates the mirror folder (with its parents) when needed.
    MirrorFile(const std::wstring& mirror, const std::wstring& name);
    ~MirrorFile();
    MirrorFile(const MirrorFile&) = delete;
    MirrorFile& operator=(const MirrorFile&) = delete;

    bool IsOpen() const { return m_file.IsValid(); }
    bool Take(const std::uint8_t* data, std::size_t size) override;
    // The SHA-256 of what was taken, lower-case hex; once.
    std::string Sha256() { return m_hash.Finish(); }
    // Puts the file in place under its name, replacing an older one; false when it cannot (it is then deleted).
    bool Commit();

private:
    std::wstring m_path;
    std::wstring m_temporary;
    FileHandle m_file;
    Sha256Stream m_hash;
};

// True when the mirror holds `entry`'s image whole: its size and SHA-256.
bool MirrorHolds(const std::wstring& mirror, const CatalogEntry& entry);
// True when the mirror holds a file of the entry's name and size (not read: for listing).
bool MirrorHasFile(const std::wstring& mirror, const CatalogEntry& entry);
