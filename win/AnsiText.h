// Conversions between the system's ANSI code page, in which the window's texts arrive, and UTF-16; and between
// UTF-16 and UTF-8, in which the tool's files name files.
#pragma once

#include <cstddef>
#include <string>

// The text in UTF-16; the conversion of a text in the ANSI code page loses nothing.
std::wstring AnsiToWide(const std::string& text);

// UTF-8 to UTF-16 and back; a byte or unit that is no character becomes U+FFFD.
std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);

// Writes the text in the code page (the ANSI one by default) into `buffer` with its terminating zero, as much of it as
// fits in `size` bytes and never part of a character: a double-byte character that would straddle the last byte is
// left out whole. Returns the bytes written before the zero.
std::size_t CopyAsAnsi(const std::wstring& text, char* buffer, std::size_t size, unsigned codePage = 0);
