// The machine policy: the values that Group Policy sets for the tool under one key of HKEY_LOCAL_MACHINE, read in the
// 64-bit view (where the policy is set on 64-bit Windows, also for this 32-bit program). Every value the programs
// read is named here.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace MachinePolicy {

inline constexpr wchar_t kKey[] = L"SOFTWARE\\Policies\\Corvane\\Ostrel update";
// A switch (see Switch): on, only images with a valid signature from a trusted signer are written.
inline constexpr wchar_t kRequireSignedImages[] = L"RequireSignedImages";
// A folder (a share) that gathers every station's log.
inline constexpr wchar_t kLogFolder[] = L"LogFolder";
// Read with the firmware catalog: where the catalog is (an empty text: no catalog, no network), the channel it
// follows (stable when absent), and the mirror folder.
inline constexpr wchar_t kCatalog[] = L"Catalog";
inline constexpr wchar_t kChannel[] = L"Channel";
inline constexpr wchar_t kFirmwareFolder[] = L"FirmwareFolder";

// The value `name` as a switch that fails closed: nothing when it is absent; off (false) only for a DWORD of 0 or the
// text "0"; on for anything else that is there: another number or text (Group Policy Preferences write "1" as
// REG_SZ), another type, a value that cannot be read.
std::optional<bool> Switch(const wchar_t* name);
// The value `name` when it is text (REG_SZ or REG_EXPAND_SZ, as written), without its terminating zeros.
std::optional<std::wstring> Text(const wchar_t* name);
// The value `name` as a folder: text, with the environment's variables of a REG_EXPAND_SZ expanded (such as
// %ProgramData%) and its trailing separators removed; nothing when it is absent, no text, or empty.
std::optional<std::wstring> Folder(const wchar_t* name);

} // namespace MachinePolicy
