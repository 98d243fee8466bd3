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
} // namespace TextKey
