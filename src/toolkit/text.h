// The one pair of conversions between the program's UTF-16 strings and the ANSI code page,
// used only at the "A" calls (registry, profile file).
#pragma once

#include <string>
#include <string_view>

namespace tk {

std::string toAnsi(std::wstring_view text);
std::wstring fromAnsi(std::string_view text);
// The same from any code page (CP_UTF8 for files that say they are UTF-8).
std::wstring fromCodePage(std::string_view text, unsigned codePage);

// True when the text converts to the ANSI code page and back unchanged.
bool fitsAnsi(std::wstring_view text);

} // namespace tk
