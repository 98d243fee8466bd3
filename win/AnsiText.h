// Conversions between the system's ANSI code page, in which the window's texts and paths arrive, and UTF-16.
#pragma once

#include <string>

// The text in UTF-16; the conversion of a text in the ANSI code page loses nothing.
std::wstring AnsiToWide(const std::string& text);
