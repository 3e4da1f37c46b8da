// Trimming text at both ends. Pure.
#pragma once

#include <string>
#include <string_view>

namespace tk {

// `text` without the spaces (' ' only, no other white space) at its ends.
std::string trimSpaces(std::string_view text);
std::wstring trimSpaces(std::wstring_view text);

} // namespace tk
