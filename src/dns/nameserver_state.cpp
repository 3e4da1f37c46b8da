#include "dns/nameserver_state.h"

#include <algorithm>

namespace dns {

namespace {

constexpr wchar_t kHex[] = L"0123456789ABCDEF";

int hexValue(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    return -1;
}

} // namespace

bool Writes::all() const {
    const auto yes = [](bool w) { return w; };
    return std::all_of(v4.begin(), v4.end(), yes) && std::all_of(v6.begin(), v6.end(), yes);
}

bool Writes::none() const {
    const auto yes = [](bool w) { return w; };
    return std::none_of(v4.begin(), v4.end(), yes) && std::none_of(v6.begin(), v6.end(), yes);
}

std::wstring_view controlSetName(std::size_t index) {
    std::wstring_view base = kInterfaceBasePaths[index];
    base.remove_prefix(base.find(L'\\') + 1);
    return base.substr(0, base.find(L'\\'));
}

bool isInterfaceGuid(std::wstring_view service) {
    constexpr std::wstring_view shape = L"{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}";
    if (service.size() != shape.size()) return false;
    for (std::size_t i = 0; i < shape.size(); ++i)
        if (shape[i] == L'x' ? hexValue(service[i]) < 0 : service[i] != shape[i]) return false;
    return true;
}

std::optional<InterfaceGuid> interfaceGuid(std::wstring_view service) {
    if (!isInterfaceGuid(service)) return std::nullopt;
    // The hex digits in order, without braces and dashes: 32 of them.
    std::uint64_t high = 0, low = 0;
    int digit = 0;
    for (wchar_t c : service) {
        const int value = hexValue(c);
        if (value < 0) continue;
        auto& half = digit++ < 16 ? high : low;
        half = half << 4 | static_cast<unsigned>(value);
    }
    InterfaceGuid guid;
    guid.data1 = static_cast<std::uint32_t>(high >> 32);
    guid.data2 = static_cast<std::uint16_t>(high >> 16);
    guid.data3 = static_cast<std::uint16_t>(high);
    for (int i = 0; i < 8; ++i)
        guid.data4[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(low >> (56 - 8 * i));
    return guid;
}

std::wstring interfaceKeyPath(Family family, std::size_t controlSet, std::wstring_view service) {
    std::wstring path(kInterfaceBasePaths[controlSet]);
    if (family == Family::V6) path.replace(path.find(L"\\Tcpip\\"), 7, L"\\Tcpip6\\");
    path += service;
    return path;
}

std::wstring encodeState(const NameServerState& state) {
    std::wstring text;
    for (std::size_t i = 0; i < state.values.size(); ++i) {
        if (i) text += L'|';
        if (!state.values[i]) {
            text += L'-';
            continue;
        }
        text += L'=';
        for (const wchar_t c : *state.values[i]) {
            if (c > 0x20 && c < 0x7F && c != L'%' && c != L'|') {
                text += c;
                continue;
            }
            text += L'%';
            for (int shift = 12; shift >= 0; shift -= 4)
                text += kHex[(static_cast<unsigned>(c) >> shift) & 0xF];
        }
    }
    return text;
}

std::optional<NameServerState> decodeState(std::wstring_view text) {
    NameServerState state;
    std::size_t field = 0;
    std::size_t i = 0;
    for (;; ++field) {
        if (field >= state.values.size() || i >= text.size()) return std::nullopt;
        if (text[i] == L'=') {
            std::wstring value;
            for (++i; i < text.size() && text[i] != L'|'; ++i) {
                if (text[i] != L'%') {
                    value += text[i];
                    continue;
                }
                unsigned code = 0;
                for (int d = 1; d <= 4; ++d) {
                    const int v = i + d < text.size() ? hexValue(text[i + d]) : -1;
                    if (v < 0) return std::nullopt;
                    code = code * 16 + static_cast<unsigned>(v);
                }
                value += static_cast<wchar_t>(code);
                i += 4;
            }
            state.values[field] = std::move(value);
        } else if (text[i] == L'-') {
            ++i;
        } else {
            return std::nullopt;
        }
        if (i == text.size()) break;
        if (text[i] != L'|') return std::nullopt;
        ++i;
    }
    if (field + 1 != state.values.size()) return std::nullopt;
    for (const Family family : kFamilies)
        for (std::size_t set = 0; set < kInterfaceBasePaths.size(); ++set)
            if (const auto& value = state.at(family, set); value && !isServerListOf(family, *value))
                return std::nullopt;
    return state;
}

} // namespace dns
