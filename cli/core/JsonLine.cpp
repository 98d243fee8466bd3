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
    for (const char c : utf8) {
        switch (c) {
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
            if (static_cast<unsigned char>(c) < 0x20) {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
                out += escape;
            } else {
                out += c;
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
