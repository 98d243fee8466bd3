// The executable's own full path, however long, and full paths of others.
#pragma once

#include <string>

// The full path of the running executable in UTF-16, every character as the system holds it; empty if the system
// cannot tell it.
std::wstring ModuleFileNameW();

// The full path of a path that may be relative (to the current folder); the path itself if the system cannot tell.
std::wstring FullPathOf(const std::wstring& path);

// The folder part of a path, with its trailing separator; empty when the path has none.
std::wstring FolderOf(const std::wstring& path);
