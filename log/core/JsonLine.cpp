// JSON text: UTF-16 to UTF-8, and objects written and read with nlohmann-json.
#include "JsonLine.h"

#include <cmath>

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

// Compact, and never an exception for text that is not UTF-8.
std::string Dump(const JsonValue& value) {
    return value.dump(-1, ' ', false, JsonValue::error_handler_t::replace);
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
    return Dump(JsonValue(std::string(utf8)));
}

std::string JsonText(const JsonValue& object) {
    return Dump(object) + "\n";
}

JsonValue ParseJsonLine(std::string_view line) {
    return JsonValue::parse(line.begin(), line.end(), nullptr, false);
}

std::optional<std::string> JsonStringMember(const JsonValue& object, const char* key) {
    if (!object.is_object())
        return std::nullopt;
    const auto member = object.find(key);
    if (member == object.end() || !member->is_string())
        return std::nullopt;
    return member->get<std::string>();
}

std::optional<std::uint64_t> JsonNumberMember(const JsonValue& object, const char* key) {
    if (!object.is_object())
        return std::nullopt;
    const auto member = object.find(key);
    if (member == object.end() || !member->is_number_unsigned())
        return std::nullopt;
    return member->get<std::uint64_t>();
}

JsonLine& JsonLine::Add(const char* key, std::string_view utf8) {
    m_object[key] = std::string(utf8);
    return *this;
}

JsonLine& JsonLine::Add(const char* key, const std::optional<std::string>& utf8) {
    return utf8 ? Add(key, std::string_view(*utf8)) : AddNull(key);
}

JsonLine& JsonLine::AddNumber(const char* key, std::uint64_t number) {
    m_object[key] = number;
    return *this;
}

JsonLine& JsonLine::AddBool(const char* key, bool value) {
    m_object[key] = value;
    return *this;
}

JsonLine& JsonLine::AddFixed(const char* key, double number, int decimals) {
    const double scale = std::pow(10.0, decimals);
    m_object[key] = std::round(number * scale) / scale;
    return *this;
}

JsonLine& JsonLine::AddNull(const char* key) {
    m_object[key] = nullptr;
    return *this;
}
