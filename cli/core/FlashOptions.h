// The console flasher's command line: its options as a struct, and the usage text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// List: the catalog's images (--list); Sync: the mirror refreshed, no device touched (--sync).
enum class FlashMode { Flash, Info, History, Help, Version, List, Sync };

// Paths stay in UTF-16 as they came, so that any file name the system allows reaches the file functions intact.
struct FlashOptions {
    FlashMode mode = FlashMode::Flash;
    std::u16string image;
    // Wait for the device to be attached; without a limit, waits for as long as it takes.
    bool wait = false;
    std::optional<std::uint32_t> waitSeconds;
    bool repeat = false;
    // With repeat: stop after this many successful downloads.
    std::optional<std::uint32_t> count;
    std::u16string logPath;
    bool json = false;
    bool quiet = false;
    // Refuse an image without a valid signature from a trusted signer, as the machine's policy can ask.
    bool requireSignature = false;
    // UTF-8; none: the computer's name, and the signed-in user's name.
    std::optional<std::string> station;
    std::optional<std::string> operatorName;
    // The board of the one download (--serial), or of the attempts to look back on (--history).
    std::optional<std::string> serial;
    // Ask for each board's serial on standard input before its download.
    bool scan = false;
    bool allowRepeatSerial = false;
    // The vendor's catalog: where it is (--catalog), its channel (--channel), and the image it gives in place of a
    // path (--latest, --image-version); --sync's folder as the mirror.
    std::optional<std::u16string> catalog;
    std::optional<std::string> channel;
    bool latest = false;
    std::optional<std::string> imageVersion;
    std::optional<std::u16string> mirror;

    bool UsesCatalog() const { return latest || imageVersion || mode == FlashMode::List || mode == FlashMode::Sync; }
};

// The options, or a plain-English error (for a usage error) when the arguments are not understood.
struct ParsedFlashOptions {
    FlashOptions options;
    std::string error;
};

// `args` without the program name.
ParsedFlashOptions ParseFlashOptions(const std::vector<std::u16string>& args);

// The usage text and the exit codes, as --help prints them.
std::string FlashUsage();
