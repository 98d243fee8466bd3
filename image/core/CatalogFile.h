// The vendor's catalog.json, a side file of the images it lists: its fields read and checked, never trusted before
// its signature (catalog.json.p7s) is.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

inline constexpr char kCatalogFileName[] = "catalog.json";
inline constexpr char kCatalogSignatureName[] = "catalog.json.p7s";

struct CatalogEntry {
    std::string version; // dotted numbers, "2.10.0"
    std::string channel;
    std::string released; // as written, "2026-11-30"
    std::string file;     // relative to the catalog's location, or an http(s) URL
    std::string fileName; // the last part of `file`: the name the image has in a mirror
    std::uint64_t size = 0;
    std::string sha256; // lower-case hex
    std::string notes;
};

struct CatalogFile {
    std::uint64_t sequence = 0;
    std::string product;
    std::string published;
    std::string expires;
    std::int64_t expiresAt = 0; // seconds since 1970-01-01 UTC
    std::vector<CatalogEntry> images;
};

enum class CatalogProblem {
    None,
    NotJson,
    NewerFormat, // "format" above 1: this catalog needs a newer tool
    Malformed,   // a field missing, of the wrong type or out of range (`detail` names it)
};

struct CatalogRead {
    CatalogProblem problem = CatalogProblem::None;
    std::string detail;
    CatalogFile catalog;
};

// Reads the catalog's bytes (UTF-8, an optional byte-order mark). Unknown fields are ignored. Never throws.
CatalogRead ReadCatalogFile(std::string_view bytes);

// "YYYY-MM-DDTHH:MM:SSZ" as seconds since 1970-01-01 UTC; nothing for any other text.
std::optional<std::int64_t> ParseUtcTime(std::string_view text);
// Seconds since 1970-01-01 UTC as "YYYY-MM-DDTHH:MM:SSZ".
std::string UtcTimeText(std::int64_t seconds);

// True for dotted decimal numbers: "2", "2.4.0"; each part at most 9 digits.
bool IsDottedVersion(std::string_view version);
