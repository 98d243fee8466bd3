// JSON text: UTF-16 to UTF-8, string escaping, and objects built field by field.
#include "JsonLine.h"

#include <cstdio>

namespace {

void AppendUtf8(std::string& out, std::uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

constexpr std::uint32_t kReplacement = 0xFFFD;

// The code point of the UTF-8 sequence at `at`, which it passes; kReplacement for a byte that starts no valid
// sequence (overlong forms and surrogates included), which it passes alone.
std::uint32_t NextCodePoint(std::string_view text, std::size_t& at) {
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
    const std::uint8_t lead = byte(at);
    int length;
    std::uint32_t code;
    std::uint32_t least;
    if (lead < 0x80) {
        ++at;
        return lead;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2, code = lead & 0x1F, least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, code = lead & 0x0F, least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, code = lead & 0x07, least = 0x10000;
    } else {
        ++at;
        return kReplacement;
    }
    if (at + length > text.size()) {
        ++at;
        return kReplacement;
    }
    for (int i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) {
            ++at;
            return kReplacement;
        }
        code = code << 6 | (byte(at + i) & 0x3F);
    }
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        ++at;
        return kReplacement;
    }
    at += length;
    return code;
}

} // namespace

std::string Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t code = text[i];
        if (code >= 0xD800 && code <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            code = 0x10000 + ((code - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (code >= 0xD800 && code <= 0xDFFF) {
            code = kReplacement;
        }
        AppendUtf8(out, code);
    }
    return out;
}

std::string JsonString(std::string_view utf8) {
    std::string out = "\"";
    for (std::size_t at = 0; at < utf8.size();) {
        const std::uint32_t code = NextCodePoint(utf8, at);
        switch (code) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (code < 0x20 || code == 0x7F) {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(code));
                out += escape;
            } else {
                AppendUtf8(out, code);
            }
        }
    }
    return out + "\"";
}

JsonLine& JsonLine::AddRaw(const char* key, const std::string& value) {
    if (m_text.size() > 1)
        m_text += ',';
    m_text += JsonString(key) + ':' + value;
    return *this;
}

JsonLine& JsonLine::Add(const char* key, std::string_view utf8) {
    return AddRaw(key, JsonString(utf8));
}

JsonLine& JsonLine::Add(const char* key, const std::optional<std::string>& utf8) {
    return utf8 ? Add(key, std::string_view(*utf8)) : AddNull(key);
}

JsonLine& JsonLine::AddNumber(const char* key, std::uint64_t number) {
    return AddRaw(key, std::to_string(number));
}

JsonLine& JsonLine::AddBool(const char* key, bool value) {
    return AddRaw(key, value ? "true" : "false");
}

JsonLine& JsonLine::AddFixed(const char* key, double number, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, number);
    return AddRaw(key, text);
}

JsonLine& JsonLine::AddNull(const char* key) {
    return AddRaw(key, "null");
}
