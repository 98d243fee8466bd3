// JSON text: objects written and read with nlohmann-json.
#include "JsonLine.h"

#include <cmath>

namespace {

// Compact, and never an exception for text that is not UTF-8.
std::string Dump(const JsonValue& value) {
    return value.dump(-1, ' ', false, JsonValue::error_handler_t::replace);
}

} // namespace

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
