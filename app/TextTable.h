// The text table lang.ini beside the executable: the window's every text of the table, read in UTF-16 whatever the
// table's encoding.
#pragma once

#include <cstddef>
#include <string>

#include "TextKeys.h"

class TextTable {
public:
    // The longest text read, in UTF-16 units; the 8-bit lookup buffer holds as many bytes.
    static constexpr std::size_t kTextLimit = 259;

    // The text of (section, key), at most kTextLimit units long; the empty text when the file or key is missing.
    std::wstring Text(const char* section, const char* key) const;
    // A text of ours, or its English text when the table lacks it; for a specified key, its table text.
    std::wstring Text(const TextId& id) const;
    // The text of (section, key) in the ANSI code page, in the one text buffer; the next lookup overwrites it.
    const char* Lookup(const char* section, const char* key);

private:
    char m_buffer[kTextLimit + 1] = "";
};
