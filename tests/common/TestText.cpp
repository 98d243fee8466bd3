// Texts for the tests: conversions and lines.
#include "TestText.h"

#include <windows.h>

std::string Utf8(const std::wstring& wide) {
    return WideToUtf8(wide);
}

// The nth whole line of the text that begins with `start`, without its line end; empty when there is none.
std::string NthLineStartingWith(const std::string& text, const std::string& start, int nth) {
    int seen = 0;
    for (std::size_t begin = 0, end; (end = text.find('\n', begin)) != std::string::npos; begin = end + 1) {
        std::string line = text.substr(begin, end - begin);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.compare(0, start.size(), start) == 0 && ++seen == nth)
            return line;
    }
    return {};
}

std::string ProgramFolder() {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    const std::string program(path, length);
    return program.substr(0, program.find_last_of('\\') + 1);
}
