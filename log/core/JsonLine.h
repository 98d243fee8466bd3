// One JSON object on one line, for the event stream and the log, written and read with nlohmann-json; text arrives
// as UTF-8 or UTF-16.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "Utf16.h"

// Members stay in the order they were added: a person reading the log sees the time and the station first.
using JsonValue = nlohmann::ordered_json;

// The text as a JSON string with its quotes: control characters, quotes and backslashes escaped, and a byte that is
// not UTF-8 replaced by U+FFFD, so that the line stays valid UTF-8.
std::string JsonString(std::string_view utf8);

// The object on one line, with its line end.
std::string JsonText(const JsonValue& object);
// The object a line holds; a discarded value when the line is not JSON. Never throws.
JsonValue ParseJsonLine(std::string_view line);
// The member `key` of `object` when it is a string.
std::optional<std::string> JsonStringMember(const JsonValue& object, const char* key);
// The member `key` of `object` when it is a number that fits 64 bits unsigned.
std::optional<std::uint64_t> JsonNumberMember(const JsonValue& object, const char* key);

class JsonLine {
public:
    JsonLine& Add(const char* key, std::string_view utf8);
    JsonLine& Add(const char* key, const char* utf8) { return Add(key, std::string_view(utf8)); }
    JsonLine& Add(const char* key, const std::string& utf8) { return Add(key, std::string_view(utf8)); }
    JsonLine& Add(const char* key, const std::optional<std::string>& utf8);
    JsonLine& AddNumber(const char* key, std::uint64_t number);
    JsonLine& AddBool(const char* key, bool value);
    // A number rounded to a fixed count of decimals.
    JsonLine& AddFixed(const char* key, double number, int decimals);
    JsonLine& AddNull(const char* key);

    // The object and its line end.
    std::string Line() const { return JsonText(m_object); }

private:
    JsonValue m_object = JsonValue::object();
};
