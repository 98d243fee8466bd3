// UTF-16 to UTF-8, in portable code: the one conversion that every room's text goes through.
#pragma once

#include <string>
#include <string_view>

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD, so the result is always valid UTF-8.
std::string Utf16ToUtf8(std::u16string_view text);
