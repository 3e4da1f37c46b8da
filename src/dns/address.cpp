#include "dns/address.h"

#include <algorithm>

namespace dns {

namespace {

bool isDigit(wchar_t c) {
    return c >= L'0' && c <= L'9';
}
bool isHex(wchar_t c) {
    return isDigit(c) || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
}
int hexValue(wchar_t c) {
    return c <= L'9' ? c - L'0' : (c | 0x20) - L'a' + 10;
}

std::vector<std::wstring_view> split(std::wstring_view text, wchar_t separator) {
    std::vector<std::wstring_view> parts;
    for (;;) {
        const auto end = text.find(separator);
        parts.push_back(text.substr(0, end));
        if (end == text.npos) return parts;
        text.remove_prefix(end + 1);
    }
}

// Four dotted decimal parts, the unset address included.
std::optional<IPv4> dotted(std::wstring_view text) {
    const auto parts = split(text, L'.');
    if (parts.size() != 4) return std::nullopt;
    IPv4 address{};
    for (std::size_t k = 0; k < 4; ++k) {
        const auto p = parts[k];
        if (p.empty() || p.size() > 3 || (p.size() > 1 && p[0] == L'0') ||
            !std::all_of(p.begin(), p.end(), isDigit))
            return std::nullopt;
        int value = 0;
        for (wchar_t c : p)
            value = value * 10 + (c - L'0');
        if (value > 255) return std::nullopt;
        address[k] = static_cast<std::uint8_t>(value);
    }
    return address;
}

// The 16-bit groups of one side of "::"; false when one is not a group.
bool hexGroups(std::wstring_view text, std::vector<std::uint16_t>& out, bool ipv4TailAllowed) {
    if (text.empty()) return true;
    const auto parts = split(text, L':');
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const auto part = parts[i];
        if (ipv4TailAllowed && i + 1 == parts.size() && part.find(L'.') != part.npos) {
            const auto v4 = dotted(part);
            if (!v4) return false;
            out.push_back(static_cast<std::uint16_t>((*v4)[0] << 8 | (*v4)[1]));
            out.push_back(static_cast<std::uint16_t>((*v4)[2] << 8 | (*v4)[3]));
            continue;
        }
        if (part.empty() || part.size() > 4 || !std::all_of(part.begin(), part.end(), isHex))
            return false;
        std::uint16_t value = 0;
        for (wchar_t c : part)
            value = static_cast<std::uint16_t>(value << 4 | hexValue(c));
        out.push_back(value);
    }
    return true;
}

std::wstring decimal(unsigned value) {
    std::wstring text;
    do {
        text.insert(text.begin(), static_cast<wchar_t>(L'0' + value % 10));
        value /= 10;
    } while (value);
    return text;
}

// Any IPv6 address, the unspecified one included.
std::optional<IPv6> anyIPv6(std::wstring_view text) {
    const auto gap = text.find(L"::");
    if (gap != text.npos && text.find(L"::", gap + 1) != text.npos) return std::nullopt;
    std::vector<std::uint16_t> head, tail;
    if (gap == text.npos) {
        if (text.empty() || !hexGroups(text, head, true) || head.size() != 8) return std::nullopt;
    } else if (!hexGroups(text.substr(0, gap), head, false) ||
               !hexGroups(text.substr(gap + 2), tail, true) || head.size() + tail.size() > 7) {
        return std::nullopt;
    }
    IPv6 address{};
    auto put = [&](std::size_t index, std::uint16_t group) {
        address[2 * index] = static_cast<std::uint8_t>(group >> 8);
        address[2 * index + 1] = static_cast<std::uint8_t>(group & 0xFF);
    };
    for (std::size_t i = 0; i < head.size(); ++i)
        put(i, head[i]);
    for (std::size_t i = 0; i < tail.size(); ++i)
        put(8 - tail.size() + i, tail[i]);
    return address;
}

} // namespace

std::optional<IPv4> parseIPv4(std::wstring_view text) {
    const auto address = dotted(text);
    if (!address || *address == IPv4{}) return std::nullopt;
    return address;
}

std::optional<IPv6> parseIPv6(std::wstring_view text) {
    const auto address = anyIPv6(text);
    if (!address || *address == IPv6{}) return std::nullopt;
    return address;
}

AddressCheck checkServer(Family family, std::wstring_view text) {
    const std::wstring quoted = L"\"" + std::wstring(text) + L"\" ";
    auto refuse = [&](std::wstring_view why) {
        return AddressCheck{{}, quoted + std::wstring(why)};
    };
    if (family == Family::V4) {
        const auto a = dotted(text);
        if (!a) return refuse(L"is not an IPv4 address.");
        if ((*a)[0] == 0) return refuse(L"lies in 0.0.0.0/8, which names no host.");
        if (*a == IPv4{255, 255, 255, 255}) return refuse(L"is the broadcast address.");
        if ((*a)[0] >= 224 && (*a)[0] < 240) return refuse(L"is a multicast address.");
        if ((*a)[0] >= 240) return refuse(L"lies in the reserved range 240.0.0.0/4.");
        return {ipv4Text(*a), {}};
    }
    const auto a = anyIPv6(text);
    if (!a) return refuse(L"is not an IPv6 address.");
    if (*a == IPv6{}) return refuse(L"is the unspecified address.");
    if ((*a)[0] == 0xFF) return refuse(L"is a multicast address.");
    if ((*a)[0] == 0xFE && ((*a)[1] & 0xC0) == 0x80)
        return refuse(L"is a link-local address, which a server list cannot tie to an adapter.");
    return {ipv6Text(*a), {}};
}

std::wstring ipv4Text(const IPv4& address) {
    return decimal(address[0]) + L'.' + decimal(address[1]) + L'.' + decimal(address[2]) + L'.' +
           decimal(address[3]);
}

std::wstring ipv6Text(const IPv6& address) {
    std::array<unsigned, 8> groups{};
    for (std::size_t i = 0; i < 8; ++i)
        groups[i] = static_cast<unsigned>(address[2 * i] << 8 | address[2 * i + 1]);
    const bool mapped =
        std::all_of(groups.begin(), groups.begin() + 5, [](unsigned g) { return g == 0; }) &&
        groups[5] == 0xFFFF;
    const std::size_t hexCount = mapped ? 6 : 8;
    std::size_t bestStart = hexCount, bestLength = 0;
    for (std::size_t i = 0; i < hexCount;) {
        std::size_t j = i;
        while (j < hexCount && groups[j] == 0)
            ++j;
        if (j - i > bestLength) bestStart = i, bestLength = j - i;
        i = j == i ? i + 1 : j;
    }
    if (bestLength < 2) bestStart = hexCount;
    static constexpr wchar_t kHex[] = L"0123456789abcdef";
    std::wstring text;
    for (std::size_t i = 0; i < hexCount; ++i) {
        if (i == bestStart) {
            text += L"::";
            i += bestLength - 1;
            continue;
        }
        if (!text.empty() && text.back() != L':') text += L':';
        bool leading = true;
        for (int shift = 12; shift >= 0; shift -= 4) {
            const unsigned digit = groups[i] >> shift & 0xF;
            if (leading && digit == 0 && shift) continue;
            leading = false;
            text += kHex[digit];
        }
    }
    if (mapped) {
        if (text.back() != L':') text += L':';
        text += ipv4Text({address[12], address[13], address[14], address[15]});
    }
    return text;
}

std::optional<std::uint32_t> classicIPv4(std::wstring_view text) {
    const auto parts = split(text, L'.');
    if (parts.size() > 4) return std::nullopt;
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        std::wstring_view part = parts[i];
        unsigned base = 10;
        if (part.size() > 1 && part[0] == L'0' && (part[1] == L'x' || part[1] == L'X'))
            base = 16, part.remove_prefix(2);
        else if (part.size() > 1 && part[0] == L'0')
            base = 8, part.remove_prefix(1);
        if (part.empty()) return std::nullopt; // "0x" alone is no number either
        std::uint64_t number = 0;
        for (const wchar_t c : part) {
            const int digit = isHex(c) ? hexValue(c) : 99;
            if (digit >= static_cast<int>(base)) return std::nullopt;
            number = number * base + static_cast<unsigned>(digit);
            if (number > 0xFFFFFFFFu) return std::nullopt;
        }
        // Every part but the last is one byte; the last fills the bytes that are left.
        const bool last = i + 1 == parts.size();
        const unsigned bits = last ? 8 * static_cast<unsigned>(4 - i) : 8;
        if (bits < 32 && number >> bits) return std::nullopt;
        value |= number << (last ? 0 : 8 * (3 - i));
    }
    return static_cast<std::uint32_t>(value);
}

std::optional<std::wstring> canonicalAddress(Family family, std::wstring_view text) {
    if (family == Family::V4) {
        const auto address = parseIPv4(text);
        return address ? std::optional(ipv4Text(*address)) : std::nullopt;
    }
    const auto address = parseIPv6(text);
    return address ? std::optional(ipv6Text(*address)) : std::nullopt;
}

std::optional<Family> familyOf(std::wstring_view text) {
    if (parseIPv4(text)) return Family::V4;
    if (parseIPv6(text)) return Family::V6;
    return std::nullopt;
}

bool isLoopback(std::wstring_view text) {
    if (const auto v4 = parseIPv4(text)) return (*v4)[0] == 127;
    const auto v6 = parseIPv6(text);
    return v6 && *v6 == IPv6{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
}

std::vector<std::wstring> serverList(std::wstring_view text) {
    std::vector<std::wstring> servers;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find_first_of(L", ", start), text.size());
        if (end > start) servers.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    return servers;
}

std::wstring joinServers(const std::vector<std::wstring>& servers) {
    std::wstring out;
    for (const auto& server : servers)
        out += (out.empty() ? L"" : L",") + server;
    return out;
}

std::optional<std::wstring> serverPairValue(Family family, std::wstring_view pair) {
    const auto addresses = serverList(pair);
    if (addresses.size() > 2 || (addresses.empty() && pair.find_first_not_of(L' ') != pair.npos))
        return std::nullopt;
    std::vector<std::wstring> canonical;
    for (const auto& address : addresses) {
        auto text = canonicalAddress(family, address);
        if (!text) return std::nullopt;
        canonical.push_back(std::move(*text));
    }
    return joinServers(canonical);
}

bool isServerListOf(Family family, std::wstring_view value) {
    if (value.find_first_not_of(L", ") == value.npos) return true;
    const auto servers = serverList(value);
    return std::all_of(servers.begin(), servers.end(), [&](const std::wstring& server) {
        return canonicalAddress(family, server).has_value();
    });
}

bool isRestorableNameServer(Family family, std::wstring_view value) {
    if (value.size() > kMaxNameServerLength) return false;
    constexpr std::wstring_view separators = L",; \t";
    std::size_t start = 0;
    while (start < value.size()) {
        const auto end = std::min(value.find_first_of(separators, start), value.size());
        const auto piece = value.substr(start, end - start);
        start = end + 1;
        if (piece.empty()) continue;
        const bool ok =
            family == Family::V4
                ? piece.find_first_not_of(L"0123456789.") == piece.npos
                : piece.find(L':') != piece.npos &&
                      piece.find_first_not_of(L"0123456789abcdefABCDEF:.%") == piece.npos;
        if (!ok) return false;
    }
    return true;
}

} // namespace dns
