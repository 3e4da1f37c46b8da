// VNI typing notation to Unicode: a digit 1-9 written right after a letter adds a
// Vietnamese mark to it ("Tho6ng ba1o!" is "Thông báo!"). Pure; no platform calls.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// The precomposed letter that the pair (letter, mark digit) stands for, if any.
std::optional<wchar_t> vniCombine(wchar_t letter, wchar_t mark);

// Converts a whole text: two passes over it, each replacing every (letter, digit) pair
// found left to right without stepping back, so "e65" becomes "ệ" and "a16" stays "á6".
std::wstring vniToUnicode(std::wstring_view text);
