// Sections and keys of the text table lang.ini: the program carries only these, the texts live in the file.
#pragma once

namespace TextKey {
inline constexpr char kTitleSection[] = "title";
inline constexpr char kControlSection[] = "control";
inline constexpr char kMessageSection[] = "message";

inline constexpr char kWindowTitle[] = "100";      // title
inline constexpr char kDownloadCaption[] = "1004"; // control
inline constexpr char kCancelCaption[] = "1001";   // control

inline constexpr char kDeviceFound[] = "1024";
inline constexpr char kDeviceNotFound[] = "1025";
inline constexpr char kDeviceMissing[] = "1021";
inline constexpr char kNotAnImage[] = "1023";
inline constexpr char kTransferEnded[] = "1031";
inline constexpr char kDriverNotLoaded[] = "1032";
inline constexpr char kUartImage[] = "1033";
inline constexpr char kImageUnreadable[] = "1034";
inline constexpr char kNoFileChosen[] = "1035";

// Texts of our own, in a section of their own so that no existing table's keys collide with them.
inline constexpr char kExtraSection[] = "extra";
} // namespace TextKey

// A text of our own and the English text shown when the table lacks it (a table from before it existed).
struct TextId {
    const char* section;
    const char* key;
    const char* fallback;
};

namespace Text {
inline constexpr TextId kTransferFailed{TextKey::kExtraSection, "1",
                                        "Download FAILED: the device did not take the whole image. Check the cable, "
                                        "wait until the window says the device is connected, then download the image "
                                        "again before using the device."};
inline constexpr TextId kConfirmCloseDuringTransfer{
    TextKey::kExtraSection, "2",
    "A download is still running. If you close now, the device is left without a complete firmware image. Stop the "
    "download and close?"};
inline constexpr TextId kTransferProgress{TextKey::kExtraSection, "3", "{done} of {total}, {rate}, about {left} left"};
inline constexpr TextId kDropOneImage{TextKey::kExtraSection, "4", "Drop one firmware image (.hdr) at a time."};
inline constexpr TextId kNoResponseOnClose{
    TextKey::kExtraSection, "5", "The device does not respond. Unplug it to finish closing; it must be flashed again."};
inline constexpr TextId kAnotherRunWrites{TextKey::kExtraSection, "6",
                                          "Another copy of the tool is writing to the device. Wait until it has "
                                          "finished."};
inline constexpr TextId kShutdownDuringTransfer{
    TextKey::kExtraSection, "7",
    "A firmware download is running; shutting down now leaves the device without a complete image."};
inline constexpr TextId kChecksumMismatch{
    TextKey::kExtraSection, "8", "The image does not match its checksum file; it may be damaged. Nothing was sent."};
inline constexpr TextId kSignatureRefused{
    TextKey::kExtraSection, "9", "The image's signature is not valid or not from a trusted signer. Nothing was sent."};
inline constexpr TextId kUnsignedRefused{
    TextKey::kExtraSection, "10",
    "This computer accepts only signed images, and this image is not signed. Get the image with its signature file "
    "(.p7s) from the vendor and keep both in the same folder."};
inline constexpr TextId kProgressName{TextKey::kExtraSection, "11", "Progress"};
inline constexpr TextId kFirmwareReady{TextKey::kExtraSection, "12",
                                       "Firmware {version} of {date} is ready: press Download to write it."};
inline constexpr TextId kSideFileUnreadable{TextKey::kExtraSection, "13",
                                            "The image's checksum or signature file cannot be read; nothing was sent."};

// Every text of our own, for the check that the English table says the same.
inline constexpr const TextId* kAll[] = {&kTransferFailed,         &kConfirmCloseDuringTransfer,
                                         &kTransferProgress,       &kDropOneImage,
                                         &kNoResponseOnClose,      &kAnotherRunWrites,
                                         &kShutdownDuringTransfer, &kChecksumMismatch,
                                         &kSignatureRefused,       &kUnsignedRefused,
                                         &kProgressName,           &kFirmwareReady,
                                         &kSideFileUnreadable};
} // namespace Text
