// Replaces a file beside the test executable for one test (or removes it), and puts the original back.
#pragma once

#include <string>

#include <windows.h>

#include "TestText.h"

class SwappedFile {
public:
    // With an empty replacement the file is simply missing; otherwise the replacement (beside the executable
    // too) is copied in its place.
    SwappedFile(const std::string& name, const std::string& replacement) : m_path(ProgramFolder() + name) {
        MoveFileA(m_path.c_str(), (m_path + ".original").c_str());
        if (!replacement.empty())
            CopyFileA((ProgramFolder() + replacement).c_str(), m_path.c_str(), FALSE);
    }
    ~SwappedFile() {
        DeleteFileA(m_path.c_str());
        MoveFileA((m_path + ".original").c_str(), m_path.c_str());
    }
    SwappedFile(const SwappedFile&) = delete;
    SwappedFile& operator=(const SwappedFile&) = delete;

private:
    std::string m_path;
};
