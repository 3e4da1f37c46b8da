// The one pair of conversions between the program's UTF-16 strings and the ANSI code page,
// used only at the "A" calls (registry, profile file).
#pragma once

#include <string>
#include <string_view>

namespace tk {

std::string toAnsi(std::wstring_view text);
std::wstring fromAnsi(std::string_view text);

// True when every character survives the round trip through the ANSI code page.
bool fitsAnsi(std::wstring_view text);

} // namespace tk
