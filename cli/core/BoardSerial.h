// A board's serial as a scanner or a person gives it, and the log's memory of the boards already flashed.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "RunRecord.h"

inline constexpr std::size_t kLongestSerial = 64;

// The line without the blanks around it (a scanner may end it with a carriage return, a person with a space).
std::string TrimSerialLine(std::string_view line);
// 1 to 64 printable ASCII characters (blanks inside included): what barcodes and labels carry.
bool IsValidSerial(std::string_view serial);
// Why `serial` is not one, for the user; empty when it is.
std::string SerialProblem(std::string_view serial);

// The first record of `records` that wrote the image of `sha256` whole into the board `serial`; none when no such
// line exists.
std::optional<RunRecord> FindFlashedBoard(const std::vector<RunRecord>& records, std::string_view serial,
                                          std::string_view sha256);
