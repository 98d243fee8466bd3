// Texts the tests need around the Win32 calls: ANSI code page and UTF-8 to and from UTF-16, and a program's lines.
#pragma once

#include <string>

std::wstring Widen(const std::string& ansi);
std::string Utf8(const std::wstring& wide);
// The nth whole line of the text that begins with `start`, without its line end; empty when there is none.
std::string NthLineStartingWith(const std::string& text, const std::string& start, int nth = 1);
