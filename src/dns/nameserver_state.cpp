#include "toolkit/decimal.h"
#include "dns/nameserver_state.h"

#include <algorithm>
#include <cstdint>
#include <vector>

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

namespace {

// DoH fields escape "," too, which separates their parts.
void escapeInto(std::wstring& text, std::wstring_view value, bool doh = false) {
    for (const wchar_t c : value) {
        if (c > 0x20 && c < 0x7F && c != L'%' && c != L'|' && (!doh || c != L',')) {
            text += c;
            continue;
        }
        text += L'%';
        for (int shift = 12; shift >= 0; shift -= 4)
            text += kHex[(static_cast<unsigned>(c) >> shift) & 0xF];
    }
}

std::optional<std::wstring> unescape(std::wstring_view text) {
    std::wstring value;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != L'%') {
            value += text[i];
            continue;
        }
        unsigned code = 0;
        for (std::size_t d = 1; d <= 4; ++d) {
            const int v = i + d < text.size() ? hexValue(text[i + d]) : -1;
            if (v < 0) return std::nullopt;
            code = code * 16 + static_cast<unsigned>(v);
        }
        value += static_cast<wchar_t>(code);
        i += 4;
    }
    return value;
}

std::vector<std::wstring_view> split(std::wstring_view text, wchar_t separator) {
    std::vector<std::wstring_view> pieces;
    for (;;) {
        const auto end = text.find(separator);
        pieces.push_back(text.substr(0, end));
        if (end == text.npos) return pieces;
        text.remove_prefix(end + 1);
    }
}

// "-" or "=" and the escaped value.
std::optional<std::optional<std::wstring>> decodeValue(std::wstring_view field) {
    if (field == L"-") return std::optional<std::wstring>();
    if (field.empty() || field.front() != L'=') return std::nullopt;
    auto value = unescape(field.substr(1));
    if (!value) return std::nullopt;
    return std::optional<std::wstring>(std::move(*value));
}

std::optional<DohServer> decodeDohServer(std::wstring_view field) {
    const auto parts = split(field, L',');
    if (parts.size() != 4 || (parts[0] != L"4" && parts[0] != L"6")) return std::nullopt;
    DohServer server;
    server.family = parts[0] == L"6" ? Family::V6 : Family::V4;
    const auto address = unescape(parts[1]);
    if (!address || !canonicalAddress(server.family, *address)) return std::nullopt;
    server.address = *address;
    if (parts[2] != L"-") {
        if (parts[2].empty() || parts[2].size() > 20) return std::nullopt;
        std::uint64_t flags = 0;
        for (const wchar_t c : parts[2]) {
            if (c < L'0' || c > L'9' || flags > (UINT64_MAX - 9) / 10) return std::nullopt;
            flags = flags * 10 + static_cast<unsigned>(c - L'0');
        }
        server.flags = flags;
    }
    const auto url = decodeValue(parts[3]);
    if (!url) return std::nullopt;
    server.url = *url;
    // Held to what an Apply would write: a template /template accepts for this server, and
    // only the flags Windows defines.
    if (server.url && !validTemplate(*server.url, server.address)) return std::nullopt;
    if (server.flags && (*server.flags & ~kKnownDohFlags)) return std::nullopt;
    return server;
}

} // namespace

std::wstring encodeState(const NameServerState& state) {
    std::wstring text;
    for (std::size_t i = 0; i < state.values.size(); ++i) {
        if (i) text += L'|';
        if (!state.values[i]) {
            text += L'-';
            continue;
        }
        text += L'=';
        escapeInto(text, *state.values[i]);
    }
    if (!state.doh) return text;
    text += state.doh->present ? L"|+" : L"|-";
    for (const auto& server : state.doh->servers) {
        text += server.family == Family::V6 ? L"|6," : L"|4,";
        escapeInto(text, server.address, true);
        text += server.flags ? L"," + tk::decimal(*server.flags) + L"," : L",-,";
        if (!server.url) {
            text += L'-';
            continue;
        }
        text += L'=';
        escapeInto(text, *server.url, true);
    }
    return text;
}

std::optional<NameServerState> decodeState(std::wstring_view text) {
    NameServerState state;
    const auto fields = split(text, L'|');
    if (fields.size() < state.values.size()) return std::nullopt;
    for (std::size_t i = 0; i < state.values.size(); ++i) {
        auto value = decodeValue(fields[i]);
        if (!value) return std::nullopt;
        state.values[i] = std::move(*value);
    }
    if (fields.size() > state.values.size()) {
        const auto mark = fields[state.values.size()];
        if (mark != L"-" && mark != L"+") return std::nullopt;
        state.doh = DohSettings{mark == L"+", {}};
        std::array<std::size_t, 2> perFamily{};
        for (std::size_t i = state.values.size() + 1; i < fields.size(); ++i) {
            auto server = decodeDohServer(fields[i]);
            if (!server || !state.doh->present ||
                ++perFamily[server->family == Family::V6] > kMaxDohServersPerFamily)
                return std::nullopt;
            state.doh->servers.push_back(std::move(*server));
        }
    }
    for (const Family family : kFamilies)
        for (std::size_t set = 0; set < kInterfaceBasePaths.size(); ++set)
            if (const auto& value = state.at(family, set);
                value && !isRestorableNameServer(family, *value))
                return std::nullopt;
    return state;
}

bool roundTrips(const NameServerState& state) {
    return decodeState(encodeState(state)) == state;
}

} // namespace dns
