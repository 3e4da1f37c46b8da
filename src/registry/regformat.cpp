#include "toolkit/decimal.h"
#include "registry/regformat.h"
#include "toolkit/trim.h"

#include <array>
#include <limits>

namespace modReg {

namespace {

constexpr std::array<std::wstring_view, 7> kRootNames = {
    L"HKEY_CLASSES_ROOT",     L"HKEY_CURRENT_USER",   L"HKEY_LOCAL_MACHINE", L"HKEY_USERS",
    L"HKEY_PERFORMANCE_DATA", L"HKEY_CURRENT_CONFIG", L"HKEY_DYN_DATA"};

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool equalsNoCase(std::wstring_view a, std::wstring_view b) {
    return tk::foldAscii(a) == tk::foldAscii(b);
}

} // namespace

std::uint32_t rootKeyCode(std::wstring_view name) {
    for (std::size_t i = 0; i < kRootNames.size(); ++i)
        if (name == kRootNames[i]) return 0x80000000u + static_cast<std::uint32_t>(i);
    return 0;
}

std::string stringValueText(std::string_view buffer) {
    return tk::trimSpaces(buffer.substr(0, buffer.find('\0')));
}

std::string binaryValueText(std::string_view buffer) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    const std::string bytes = tk::trimSpaces(buffer);
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        hex += kDigits[b >> 4];
        hex += kDigits[b & 0x0F];
    }
    return hex;
}

std::string dwordValueText(std::uint32_t raw) {
    return tk::decimal<char>(static_cast<std::int32_t>(raw));
}

std::optional<std::string> bytesFromHex(std::string_view text) {
    std::string bytes;
    bytes.reserve((text.size() + 1) / 2);
    for (std::size_t i = 0; i < text.size(); i += 2) {
        int value = 0;
        for (std::size_t j = i; j < i + 2 && j < text.size(); ++j) {
            const int d = hexDigit(text[j]);
            if (d < 0) return std::nullopt;
            value = value * 16 + d;
        }
        bytes += static_cast<char>(value);
    }
    return bytes;
}

std::optional<std::uint32_t> dwordFromText(std::string_view text) {
    if (text.size() > 2 && text[0] == '&' && (text[1] == 'H' || text[1] == 'h')) {
        const auto digits = text.substr(2);
        if (digits.size() > 8) return std::nullopt;
        std::uint32_t value = 0;
        for (const char c : digits) {
            const int d = hexDigit(c);
            if (d < 0) return std::nullopt;
            value = value * 16 + static_cast<std::uint32_t>(d);
        }
        return value;
    }
    bool negative = false;
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) return std::nullopt;
    std::int64_t magnitude = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        magnitude = magnitude * 10 + (c - '0');
        if (magnitude > 0x80000000LL) return std::nullopt;
    }
    const std::int64_t value = negative ? -magnitude : magnitude;
    if (value < std::numeric_limits<std::int32_t>::min() ||
        value > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::uint32_t>(static_cast<std::int32_t>(value));
}

ValueKind valueKindFromName(std::wstring_view typeName) {
    if (equalsNoCase(typeName, L"string")) return ValueKind::String;
    if (equalsNoCase(typeName, L"binary")) return ValueKind::Binary;
    if (equalsNoCase(typeName, L"dword")) return ValueKind::Dword;
    return ValueKind::Unknown;
}

} // namespace modReg
