// Texts with named placeholders such as "{done}", filled in by the program rather than by a printf-style format.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct Placeholder {
    std::string_view name; // without the braces
    std::string value;
};

// `text` with every "{name}" of a known placeholder replaced by its value, in one pass: a value is never searched
// again, an unknown or unclosed brace stays as written, a placeholder may appear any number of times or not at
// all, and '%' is an ordinary character.
std::string FillPlaceholders(std::string_view text, const std::vector<Placeholder>& placeholders);
