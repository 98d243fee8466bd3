// The text table, read from the file beside the executable at every lookup, so that an edited table shows at once.
#include "TextTable.h"

#include <iterator>

#include <windows.h>

#include "AnsiText.h"
#include "ModulePath.h"

std::wstring TextTable::Text(const char* section, const char* key) const {
    // The path is built without a length limit (a cut path could name another folder's lang.ini), and in UTF-16: in
    // the ANSI code page a folder named in another script would name no folder at all.
    const std::wstring exePath = ModuleFileNameW();
    if (exePath.empty())
        return std::wstring();
    // A table saved as UTF-16 with a byte-order mark is read as Unicode on every Windows; one without a mark is read
    // in the ANSI code page, as tables were before.
    wchar_t text[kTextLimit + 3];
    const DWORD length =
        GetPrivateProfileStringW(AnsiToWide(section).c_str(), AnsiToWide(key).c_str(), L"", text,
                                 static_cast<DWORD>(std::size(text)), (FolderOf(exePath) + L"lang.ini").c_str());
    std::wstring found(text, length);
    // Cut to the limit, but never between the two halves of a character.
    if (found.size() > kTextLimit)
        found.resize(IS_HIGH_SURROGATE(found[kTextLimit - 1]) ? kTextLimit - 1 : kTextLimit);
    return found;
}

std::wstring TextTable::Text(const TextId& id) const {
    const std::wstring text = Text(id.section, id.key);
    return !text.empty() ? text : Utf8ToWide(id.fallback);
}

const char* TextTable::Lookup(const char* section, const char* key) {
    CopyAsAnsi(Text(section, key), m_buffer, sizeof m_buffer);
    return m_buffer;
}
