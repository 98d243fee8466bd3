// One JSON object on one line, for the event stream and the log; text arrives as UTF-8 or UTF-16.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD, so the result is always valid UTF-8.
std::string Utf16ToUtf8(std::u16string_view text);

// The text (valid UTF-8, as Utf16ToUtf8 makes it) as a JSON string with its quotes: control characters, quotes and
// backslashes escaped.
std::string JsonString(std::string_view utf8);

class JsonLine {
public:
    JsonLine& Add(const char* key, std::string_view utf8);
    JsonLine& Add(const char* key, const char* utf8) { return Add(key, std::string_view(utf8)); }
    JsonLine& Add(const char* key, const std::string& utf8) { return Add(key, std::string_view(utf8)); }
    JsonLine& Add(const char* key, const std::optional<std::string>& utf8);
    JsonLine& AddNumber(const char* key, std::uint64_t number);
    JsonLine& AddBool(const char* key, bool value);
    // A number with a fixed count of decimals.
    JsonLine& AddFixed(const char* key, double number, int decimals);
    JsonLine& AddNull(const char* key);

    // The object and its line end.
    std::string Line() const { return m_text + "}\n"; }

private:
    JsonLine& AddRaw(const char* key, const std::string& value);

    std::string m_text = "{";
};
