// Numbers as decimal text without the C runtime's printf. std::to_wstring and swprintf go
// through its whole formatter, which would add about 30 KB to the exe for a handful of
// numbers.
#pragma once

#include <charconv>
#include <cmath>
#include <string>
#include <type_traits>

namespace tk {

// A whole number: decimal(-12) == L"-12".
template <typename Char = wchar_t, typename Int>
requires std::is_integral_v<Int> std::basic_string<Char> decimal(Int value) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    return std::basic_string<Char>(digits, end);
}

// `value` with `places` digits after the point, rounded as printf's "%.*f" rounds: by the
// double's exact value, and a true tie to even. fixed(0.35, 1) == L"0.3" (0.35 is stored as
// 0.34999…), fixed(2.5, 0) == L"2", fixed(7.0, 0) == L"7".
template <typename Char = wchar_t> std::basic_string<Char> fixed(double value, int places) {
    long long scale = 1;
    for (int i = 0; i < places; ++i)
        scale *= 10;
    const double scaledValue = value * static_cast<double>(scale);
    // What the multiplication rounded away decides a result that landed on a half.
    const double lost = std::fma(value, static_cast<double>(scale), -scaledValue);
    const double whole = std::floor(scaledValue);
    long long scaled = static_cast<long long>(whole);
    const double rest = scaledValue - whole;
    if (rest > 0.5 || (rest == 0.5 && (lost > 0 || (lost == 0 && scaled % 2 != 0)))) ++scaled;
    const unsigned long long magnitude = scaled < 0 ? 0ULL - static_cast<unsigned long long>(scaled)
                                                    : static_cast<unsigned long long>(scaled);
    std::basic_string<Char> text =
        scaled < 0 ? std::basic_string<Char>(1, Char('-')) : std::basic_string<Char>();
    text += decimal<Char>(magnitude / static_cast<unsigned long long>(scale));
    if (places > 0) {
        std::basic_string<Char> fraction =
            decimal<Char>(magnitude % static_cast<unsigned long long>(scale));
        text += Char('.');
        text.append(static_cast<std::size_t>(places) - fraction.size(), Char('0'));
        text += fraction;
    }
    return text;
}

} // namespace tk
