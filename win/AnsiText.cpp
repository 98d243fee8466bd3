// Conversions between the system's ANSI code page and UTF-16, and between UTF-16 and UTF-8.
#include "AnsiText.h"

#include "Utf16.h"

#include <cstring>

#include <windows.h>

namespace {
std::wstring Widen(UINT codePage, const std::string& text) {
    if (text.empty())
        return {};
    const int length = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}
} // namespace

std::wstring AnsiToWide(const std::string& text) {
    return Widen(CP_ACP, text);
}

std::wstring Utf8ToWide(const std::string& text) {
    return Widen(CP_UTF8, text);
}

std::string WideToUtf8(const std::wstring& text) {
    // wchar_t is a UTF-16 unit on Windows: the portable conversion is the one every room uses.
    return Utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(text.data()), text.size()));
}

std::size_t CopyAsAnsi(const std::wstring& text, char* buffer, std::size_t size, unsigned codePage) {
    if (size == 0)
        return 0;
    std::size_t used = 0;
    // One character at a time, so that the cut falls between characters whatever their length in the code page
    // (one or two bytes in the ANSI ones, up to four in UTF-8).
    for (std::size_t i = 0; i < text.size();) {
        const bool pair = IS_HIGH_SURROGATE(text[i]) && i + 1 < text.size() && IS_LOW_SURROGATE(text[i + 1]);
        const int units = pair ? 2 : 1;
        char bytes[8];
        const int length =
            WideCharToMultiByte(codePage, 0, text.data() + i, units, bytes, sizeof bytes, nullptr, nullptr);
        if (length <= 0 || used + static_cast<std::size_t>(length) > size - 1)
            break;
        std::memcpy(buffer + used, bytes, static_cast<std::size_t>(length));
        used += static_cast<std::size_t>(length);
        i += static_cast<std::size_t>(units);
    }
    buffer[used] = '\0';
    return used;
}
