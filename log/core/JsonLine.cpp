// JSON text: objects written and read with nlohmann-json.
#include "JsonLine.h"

#include <cmath>

namespace {

// Compact, and never an exception for text that is not UTF-8.
std::string Dump(const JsonValue& value) {
    return value.dump(-1, ' ', false, JsonValue::error_handler_t::replace);
}

// No line of ours has more than a few dozen members, at any depth.
constexpr std::size_t kMostMembers = 256;

// Counts the members of a line's objects as it is read, and gives up at the first beyond kMostMembers.
struct MemberCount : nlohmann::json_sax<nlohmann::json> {
    std::size_t members = 0;
    bool tooMany = false;

    bool key(string_t&) override {
        tooMany = ++members > kMostMembers;
        return !tooMany;
    }
    bool null() override { return true; }
    bool boolean(bool) override { return true; }
    bool number_integer(number_integer_t) override { return true; }
    bool number_unsigned(number_unsigned_t) override { return true; }
    bool number_float(number_float_t, const string_t&) override { return true; }
    bool string(string_t&) override { return true; }
    bool binary(binary_t&) override { return true; }
    bool start_object(std::size_t) override { return true; }
    bool end_object() override { return true; }
    bool start_array(std::size_t) override { return true; }
    bool end_array() override { return true; }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override { return false; }
};

} // namespace

std::string JsonString(std::string_view utf8) {
    return Dump(JsonValue(std::string(utf8)));
}

std::string JsonText(const JsonValue& object) {
    return Dump(object) + "\n";
}

JsonValue ParseJsonLine(std::string_view line) {
    // The ordered object looks each member up by a linear search as it is parsed: a crafted line of many thousand
    // members would hold every reader of the log for seconds per line. Counted first, without building anything.
    MemberCount count;
    if (!nlohmann::json::sax_parse(line.begin(), line.end(), &count) || count.tooMany)
        return JsonValue(JsonValue::value_t::discarded);
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
