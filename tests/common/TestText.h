// Texts the tests need around the Win32 calls (AnsiToWide comes from the tool's own AnsiText.h): UTF-16 to UTF-8,
// a program's lines, and the folder of the running test program.
#pragma once

#include <string>

#include "AnsiText.h"

std::string Utf8(const std::wstring& wide);
// The nth whole line of the text that begins with `start`, without its line end; empty when there is none.
std::string NthLineStartingWith(const std::string& text, const std::string& start, int nth = 1);
// The folder of the running program, with its trailing separator; the tests' files lie beside it.
std::string ProgramFolder();
