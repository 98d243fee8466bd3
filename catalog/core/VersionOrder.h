// Firmware versions in their order: dotted numbers compared part by part as numbers, so that 2.10.0 > 2.9.0.
#pragma once

#include <string_view>

// Below zero when `a` is older than `b`, zero when they are the same version (2.4 and 2.4.0 are), above zero when
// newer. A text that is no dotted version is older than any that is.
int CompareVersions(std::string_view a, std::string_view b);
