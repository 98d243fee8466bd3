// Puts a text table of the test's choosing beside the test executable, and the shipped one back afterwards.
#pragma once

#include <cstdio>
#include <string>

#include "TestText.h"

class TextTableFile {
public:
    // With no content the table is missing altogether.
    explicit TextTableFile(const char* content = nullptr) : m_path(ProgramFolder() + "lang.ini") {
        std::rename(m_path.c_str(), (m_path + ".shipped").c_str());
        if (content) {
            if (FILE* file = std::fopen(m_path.c_str(), "wb")) {
                std::fputs(content, file);
                std::fclose(file);
            }
        }
    }
    ~TextTableFile() {
        std::remove(m_path.c_str());
        std::rename((m_path + ".shipped").c_str(), m_path.c_str());
    }
    TextTableFile(const TextTableFile&) = delete;
    TextTableFile& operator=(const TextTableFile&) = delete;

    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};
