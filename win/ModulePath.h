// The executable's own full path, however long.
#pragma once

#include <string>

// The full path of the running executable in UTF-16, every character as the system holds it; empty if the system
// cannot tell it.
std::wstring ModuleFileNameW();

// The folder part of a path, with its trailing separator; empty when the path has none.
std::wstring FolderOf(const std::wstring& path);
