// UTF-8, the one codec of the program: the command line's output, the elevated copy's channel
// and settings files that say they are UTF-8. Pure.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tk {

// UTF-8 of a wide text; a lone surrogate becomes U+FFFD.
std::string toUtf8(std::wstring_view text);
// The inverse; malformed bytes become U+FFFD.
std::wstring fromUtf8(std::string_view bytes);
// The same, but nothing when any byte is malformed.
std::optional<std::wstring> fromUtf8Strict(std::string_view bytes);

} // namespace tk
