// The machine policy's key and the names of the values the programs read under it (HKLM, 64-bit view).
#pragma once

namespace MachinePolicy {

inline constexpr wchar_t kKey[] = L"SOFTWARE\\Policies\\Corvane\\Ostrel update";
inline constexpr wchar_t kRequireSignedImages[] = L"RequireSignedImages";
inline constexpr wchar_t kLogFolder[] = L"LogFolder";
inline constexpr wchar_t kCatalog[] = L"Catalog";
inline constexpr wchar_t kChannel[] = L"Channel";
inline constexpr wchar_t kFirmwareFolder[] = L"FirmwareFolder";

} // namespace MachinePolicy
