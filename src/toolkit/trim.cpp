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

} // namespace tk
