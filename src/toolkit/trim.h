// Trimming and case folding of plain text. Pure.
#pragma once

#include <string>
#include <string_view>

namespace tk {

// `text` without the spaces (' ' only, no other white space) at its ends.
std::string trimSpaces(std::string_view text);
std::wstring trimSpaces(std::wstring_view text);

// `text` with A-Z as a-z and every other character as it is: the fold for what is ASCII by
// nature (switches, GUIDs, host names, property names). Names a user types into the settings
// file fold as the system folds them (mConfig::foldKey).
std::wstring foldAscii(std::wstring_view text);

} // namespace tk
