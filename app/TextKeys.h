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
inline constexpr char kTransferFailed[] = "1";
inline constexpr char kConfirmCloseDuringTransfer[] = "2";
inline constexpr char kTransferProgress[] = "3";
inline constexpr char kDropOneImage[] = "4";
inline constexpr char kNoResponseOnClose[] = "5";
inline constexpr char kAnotherRunWrites[] = "6";
inline constexpr char kShutdownDuringTransfer[] = "7";
inline constexpr char kProgressName[] = "11";
} // namespace TextKey
