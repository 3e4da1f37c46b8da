#include "controls/address_text.h"

#include <array>

namespace ctl {

namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

int digitValue(char c, int base) {
    int v = -1;
    if (c >= '0' && c <= '9')
        v = c - '0';
    else if (c >= 'a' && c <= 'f')
        v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
        v = c - 'A' + 10;
    return v < base ? v : -1;
}

} // namespace

std::optional<std::uint32_t> parseAddress(std::string_view text) {
    std::array<std::uint64_t, 4> parts{};
    std::size_t count = 0;
    std::size_t i = 0;
    for (;;) {
        if (i >= text.size() || digitValue(text[i], 10) < 0) return std::nullopt;
        int base = 10;
        if (text[i] == '0') {
            base = 8;
            ++i;
            if (i < text.size() && (text[i] == 'x' || text[i] == 'X')) {
                base = 16;
                ++i;
            }
        }
        std::uint64_t value = 0;
        bool anyDigit = base == 8; // the leading zero itself
        while (i < text.size()) {
            const int d = digitValue(text[i], base);
            if (d < 0) break;
            value = value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(d);
            if (value > 0xFFFFFFFFull) return std::nullopt;
            anyDigit = true;
            ++i;
        }
        if (!anyDigit) return std::nullopt;
        parts[count++] = value;
        if (i < text.size() && text[i] == '.') {
            if (count == 4) return std::nullopt;
            ++i;
            continue;
        }
        break;
    }
    if (i < text.size() && !isSpace(text[i])) return std::nullopt;

    // The leading parts are one byte each; the last fills the bytes that remain.
    const std::uint64_t lastLimit = 0xFFFFFFFFull >> (8 * (count - 1));
    for (std::size_t p = 0; p + 1 < count; ++p)
        if (parts[p] > 0xFF) return std::nullopt;
    if (parts[count - 1] > lastLimit) return std::nullopt;
    std::uint64_t fields = parts[count - 1];
    for (std::size_t p = 0; p + 1 < count; ++p)
        fields |= parts[p] << (24 - 8 * p);
    return static_cast<std::uint32_t>(fields);
}

std::int32_t addressLongFromFields(std::uint32_t fields) noexcept {
    const std::uint32_t swapped = ((fields & 0xFFu) << 24) | ((fields & 0xFF00u) << 8) |
                                  ((fields >> 8) & 0xFF00u) | (fields >> 24);
    return static_cast<std::int32_t>(swapped);
}

std::uint32_t fieldsFromAddressLong(std::int32_t value) noexcept {
    return static_cast<std::uint32_t>(addressLongFromFields(static_cast<std::uint32_t>(value)));
}

std::string formatAddress(std::uint32_t fields) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        text += std::to_string((fields >> shift) & 0xFFu);
        if (shift) text += '.';
    }
    return text;
}

std::int32_t addressLongFromText(std::string_view text) {
    return addressLongFromFields(parseAddress(text).value_or(0xFFFFFFFFu));
}

} // namespace ctl
