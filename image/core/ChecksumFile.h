// The checksum files published beside an image, `<image>.sha256` and the folder's `SHA256SUMS`: their lines, and
// what they say of the image's SHA-256.
#pragma once

#include <optional>
#include <string>

// True when two file names (UTF-8) name the same file, compared as the file system compares them. Windows ignores
// case beyond ASCII, which portable code cannot tell: the caller supplies the comparison.
using FileNameEquals = bool (*)(const std::string& a, const std::string& b);

// The texts of the two files as read, or nothing for a file that is not there.
struct ChecksumTexts {
    std::optional<std::string> imageSums;  // `<image file name>.sha256`
    std::optional<std::string> folderSums; // `SHA256SUMS` in the image's folder
};

enum class ChecksumState {
    None,     // no file speaks of the image
    Match,    // every file that names the image gives its hash
    Mismatch, // a file names the image with another hash
    NoHash,   // the .sha256 file holds no hash for the image, or SHA256SUMS no line that can be read
    Disagree, // the two files name the image with different hashes
};

enum class ChecksumSource { None, ImageSums, FolderSums, Both };

struct ChecksumVerdict {
    ChecksumState state = ChecksumState::None;
    // The file or files the state is about: those that match, the one (or both) with another hash, the file that
    // holds no hash, both when they disagree.
    ChecksumSource source = ChecksumSource::None;

    bool Refuses() const { return state != ChecksumState::None && state != ChecksumState::Match; }
};

// Judges the image, named `imageName` (its file name, UTF-8) with SHA-256 `imageSha256` (hex, either case), by the
// checksum files. The files are UTF-8 (with or without a byte-order mark) or UTF-16 with one (LE or BE), with CRLF or
// LF ends, blank lines and '#' comments. Accepted lines: `<64 hex>  <name>` and `<64 hex> *<name>` as sha256sum writes
// them (with its backslash escapes; a tab may stand for the first space), `SHA256 (<name>) = <64 hex>` as BSD tools
// write them, `SHA256(<name>)= <64 hex>` and `SHA2-256(<name>)= <64 hex>` as OpenSSL does, and in the .sha256 file
// only a bare hash (or the name "-", which sha256sum writes for its standard input). A name with a path counts by its
// last part. Lines of other digests are skipped; a SHA256SUMS that does not name the image says nothing, but one
// with lines and not one checksum line among them holds no hash (NoHash), as it cannot be read.
ChecksumVerdict JudgeChecksums(const ChecksumTexts& texts, const std::string& imageName, const std::string& imageSha256,
                               FileNameEquals sameName);
