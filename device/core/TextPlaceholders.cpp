// Filling named placeholders into a text.
#include "TextPlaceholders.h"

std::string FillPlaceholders(std::string_view text, const std::vector<Placeholder>& placeholders) {
    std::string filled;
    filled.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t open = text.find('{', pos);
        if (open == std::string_view::npos)
            break;
        filled.append(text, pos, open - pos);
        const std::size_t close = text.find('}', open + 1);
        const Placeholder* match = nullptr;
        if (close != std::string_view::npos) {
            const std::string_view name = text.substr(open + 1, close - open - 1);
            for (const Placeholder& placeholder : placeholders) {
                if (placeholder.name == name)
                    match = &placeholder;
            }
        }
        if (match) {
            filled += match->value;
            pos = close + 1;
        } else {
            // Only the brace is taken as written: "{{done}" still fills the "{done}" after it.
            filled += '{';
            pos = open + 1;
        }
    }
    if (pos < text.size())
        filled.append(text, pos, std::string_view::npos);
    return filled;
}
