// The executable's own full path, however long.
#pragma once

#include <string>

// The full path of the running executable; empty if the system cannot tell it.
std::string ModuleFileName();

// The folder part of a path, with its trailing separator; empty when the path has none.
std::string FolderOf(const std::string& path);
