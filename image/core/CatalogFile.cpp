// The catalog's fields, read with nlohmann-json without exceptions and checked one by one.
#include "CatalogFile.h"

#include <cstdio>

#include <nlohmann/json.hpp>

namespace {

using Json = nlohmann::json;

constexpr std::uint64_t kMaxImageSize = 0xFFFFFFFFu;

bool IsHex(std::string_view text) {
    for (const char c : text) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')))
            return false;
    }
    return true;
}

std::string Lower(std::string text) {
    for (char& c : text)
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    return text;
}

// The last part of a relative path or URL, if it can name a file in a Windows folder.
std::string MirrorName(const std::string& file) {
    std::string name = file.substr(file.find_last_of("/\\") + 1);
    if (name.empty() || name == "." || name == ".." || name.back() == '.' || name.back() == ' ' || name.size() > 200)
        return {};
    for (const char c : name) {
        if (static_cast<unsigned char>(c) < 0x20 || std::string_view("<>:\"|?*").find(c) != std::string_view::npos)
            return {};
    }
    return name;
}

bool Text(const Json& object, const char* key, bool required, std::string& value) {
    const auto found = object.find(key);
    if (found == object.end())
        return !required;
    if (!found->is_string())
        return false;
    value = found->get<std::string>();
    return !required || !value.empty();
}

bool Number(const Json& object, const char* key, std::uint64_t& value) {
    const auto found = object.find(key);
    if (found == object.end() || !found->is_number_unsigned())
        return false;
    value = found->get<std::uint64_t>();
    return true;
}

CatalogRead Refuse(CatalogProblem problem, std::string detail) {
    CatalogRead read;
    read.problem = problem;
    read.detail = std::move(detail);
    return read;
}

bool Fail(std::string& problem, std::string text) {
    problem = std::move(text);
    return false;
}

bool ReadEntry(const Json& item, CatalogEntry& entry, std::string& problem) {
    if (!item.is_object())
        return Fail(problem, "not an object");
    if (!Text(item, "version", true, entry.version) || !IsDottedVersion(entry.version))
        return Fail(problem, "\"version\" is not dotted numbers");
    const char* const texts[] = {"channel", "released", "file"};
    std::string* const fields[] = {&entry.channel, &entry.released, &entry.file};
    for (int i = 0; i < 3; ++i) {
        if (!Text(item, texts[i], true, *fields[i]))
            return Fail(problem, std::string("\"") + texts[i] + "\" is missing or no text");
    }
    if (!Text(item, "notes", false, entry.notes))
        return Fail(problem, "\"notes\" is no text");
    entry.fileName = MirrorName(entry.file);
    if (entry.fileName.empty())
        return Fail(problem, "\"file\" does not end in a usable file name");
    // The mirror keeps the catalog's own files and its temporary files beside the images.
    const std::string lowerName = Lower(entry.fileName);
    if (lowerName == kCatalogFileName || lowerName == kCatalogSignatureName || lowerName.front() == '~')
        return Fail(problem, "\"file\" names a file of the mirror's own");
    if (!Number(item, "size", entry.size) || entry.size == 0 || entry.size > kMaxImageSize)
        return Fail(problem, "\"size\" is not a number of bytes from 1 to 4 GiB - 1");
    if (!Text(item, "sha256", true, entry.sha256) || entry.sha256.size() != 64 || !IsHex(entry.sha256))
        return Fail(problem, "\"sha256\" is not 64 hex digits");
    entry.sha256 = Lower(entry.sha256);
    return true;
}

} // namespace

CatalogRead ReadCatalogFile(std::string_view bytes) {
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
        bytes.remove_prefix(3);
    const Json root = Json::parse(bytes.begin(), bytes.end(), nullptr, false);
    if (root.is_discarded() || !root.is_object())
        return Refuse(CatalogProblem::NotJson, "not a JSON object");
    std::uint64_t format = 0;
    if (!Number(root, "format", format) || format == 0)
        return Refuse(CatalogProblem::Malformed, "\"format\" is missing or not a number");
    if (format > 1)
        return Refuse(CatalogProblem::NewerFormat,
                      "this catalog needs a newer tool (format " + std::to_string(format) + ")");
    CatalogRead read;
    CatalogFile& catalog = read.catalog;
    if (!Number(root, "sequence", catalog.sequence))
        return Refuse(CatalogProblem::Malformed, "\"sequence\" is missing or not a number");
    if (!Text(root, "product", false, catalog.product) || !Text(root, "published", false, catalog.published))
        return Refuse(CatalogProblem::Malformed, "\"product\" or \"published\" is no text");
    const std::optional<std::int64_t> expires =
        Text(root, "expires", true, catalog.expires) ? ParseUtcTime(catalog.expires) : std::nullopt;
    if (!expires)
        return Refuse(CatalogProblem::Malformed, "\"expires\" is not a time as 2027-06-01T00:00:00Z");
    catalog.expiresAt = *expires;
    const auto images = root.find("images");
    if (images == root.end() || !images->is_array())
        return Refuse(CatalogProblem::Malformed, "\"images\" is missing or not a list");
    for (const Json& item : *images) {
        CatalogEntry entry;
        std::string problem;
        if (!ReadEntry(item, entry, problem))
            return Refuse(CatalogProblem::Malformed,
                          "image " + std::to_string(catalog.images.size() + 1) + ": " + problem);
        // One name in the mirror is one image: two images of one name would overwrite each other there, and the
        // gate would judge the one by the other's entry.
        for (const CatalogEntry& earlier : catalog.images) {
            if (Lower(earlier.fileName) == Lower(entry.fileName) &&
                (earlier.size != entry.size || earlier.sha256 != entry.sha256))
                return Refuse(CatalogProblem::Malformed, "images " + earlier.version + " and " + entry.version +
                                                             " are both named " + entry.fileName);
        }
        catalog.images.push_back(std::move(entry));
    }
    return read;
}

namespace {

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar (Howard Hinnant's days_from_civil).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

} // namespace

std::optional<std::int64_t> ParseUtcTime(std::string_view text) {
    // Positions of the digits in "YYYY-MM-DDTHH:MM:SSZ".
    if (text.size() != 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' ||
        text[16] != ':' || text[19] != 'Z')
        return std::nullopt;
    const auto number = [&](std::size_t at, std::size_t length, unsigned& value) {
        value = 0;
        for (std::size_t i = at; i < at + length; ++i) {
            if (text[i] < '0' || text[i] > '9')
                return false;
            value = value * 10 + static_cast<unsigned>(text[i] - '0');
        }
        return true;
    };
    unsigned year, month, day, hour, minute, second;
    if (!number(0, 4, year) || !number(5, 2, month) || !number(8, 2, day) || !number(11, 2, hour) ||
        !number(14, 2, minute) || !number(17, 2, second))
        return std::nullopt;
    static const unsigned kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (month < 1 || month > 12 || day < 1 || day > kDays[month - 1] || (month == 2 && day == 29 && !leap) ||
        hour > 23 || minute > 59 || second > 59)
        return std::nullopt;
    return DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
}

std::string UtcTimeText(std::int64_t seconds) {
    std::int64_t days = seconds / 86400;
    std::int64_t rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    // Howard Hinnant's civil_from_days.
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(days - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned day = doy - (153 * mp + 2) / 5 + 1;
    const unsigned month = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t year = static_cast<std::int64_t>(yoe) + era * 400 + (month <= 2);
    char text[40];
    std::snprintf(text, sizeof text, "%04lld-%02u-%02uT%02u:%02u:%02uZ", static_cast<long long>(year), month, day,
                  static_cast<unsigned>(rest / 3600), static_cast<unsigned>(rest / 60 % 60),
                  static_cast<unsigned>(rest % 60));
    return text;
}

bool IsDottedVersion(std::string_view version) {
    std::size_t digits = 0;
    for (const char c : version) {
        if (c == '.') {
            if (digits == 0)
                return false;
            digits = 0;
        } else if (c >= '0' && c <= '9' && ++digits <= 9) {
            continue;
        } else {
            return false;
        }
    }
    return digits > 0;
}
