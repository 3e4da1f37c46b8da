#include "toolkit/trim.h"

namespace tk {

namespace {

template <typename Char> std::basic_string<Char> trimmed(std::basic_string_view<Char> text) {
    const auto first = text.find_first_not_of(Char(' '));
    if (first == text.npos) return {};
    const auto last = text.find_last_not_of(Char(' '));
    return std::basic_string<Char>(text.substr(first, last - first + 1));
}

} // namespace

std::string trimSpaces(std::string_view text) {
    return trimmed(text);
}

std::wstring trimSpaces(std::wstring_view text) {
    return trimmed(text);
}

std::wstring foldAscii(std::wstring_view text) {
    std::wstring folded(text);
    for (auto& c : folded)
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    return folded;
}

} // namespace tk
