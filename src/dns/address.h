// DNS server addresses: IPv4 and IPv6 as text and as bytes, their canonical text, loopback,
// and the server lists that NameServer values hold. Pure: every address the program reads
// from the user, a settings file or the command line goes through here.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dns {

enum class Family { V4, V6 };
inline constexpr std::array<Family, 2> kFamilies = {Family::V4, Family::V6};

using IPv4 = std::array<std::uint8_t, 4>;
using IPv6 = std::array<std::uint8_t, 16>;

// Four decimal parts 0 to 255 without leading zeros. 0.0.0.0, the unset address, is no server.
std::optional<IPv4> parseIPv4(std::wstring_view text);
// Any text form of an IPv6 address ("::" once, an IPv4 tail), without a zone. "::", the
// unspecified address, is no server.
std::optional<IPv6> parseIPv6(std::wstring_view text);

std::wstring ipv4Text(const IPv4& address);
// The address as the classic inet_addr reads it, as a number (the first part in the highest
// byte): one to four parts, each decimal, octal after a leading 0 or hexadecimal after 0x,
// the last filling the bytes left ("10.1" is 10.0.0.1). Nothing when it is not one.
std::optional<std::uint32_t> classicIPv4(std::wstring_view text);
// The canonical text: lower case, leading zeros dropped, the longest run of two or more zero
// groups (the first of equal runs) as "::", and an IPv4-mapped address with its dotted tail.
std::wstring ipv6Text(const IPv6& address);

// The address in canonical text when it is one of the family; nothing otherwise.
std::optional<std::wstring> canonicalAddress(Family family, std::wstring_view text);
// Either family.
std::optional<Family> familyOf(std::wstring_view text);
// 127.0.0.0/8 and ::1.
bool isLoopback(std::wstring_view text);

// The servers of a NameServer value or a list read back from the system: split at commas and
// spaces, empty pieces dropped.
std::vector<std::wstring> serverList(std::wstring_view text);
// A list joined with commas, as NameServer holds it.
std::wstring joinServers(const std::vector<std::wstring>& servers);

// A pair of servers ("a" or "a,b") of the family as it is written: each address checked and in
// canonical text. Empty stays empty (no servers); nothing when an address is bad or there are
// more than two.
std::optional<std::wstring> serverPairValue(Family family, std::wstring_view pair);
// A server address as a change may write it: its canonical text, or why no DNS server can have
// it ("0.8.4.4 lies in 0.0.0.0/8, which names no host"). Refused: text that is no address of
// the family; 0.0.0.0/8, 255.255.255.255, multicast and the reserved 240.0.0.0/4; "::",
// multicast and link-local IPv6, which NameServer cannot tie to an interface. Loopback is
// accepted: local resolvers and DNS proxies listen there.
struct AddressCheck {
    std::optional<std::wstring> canonical{};
    std::wstring refusal{}; // when no canonical: the address and the reason, in one sentence
};
AddressCheck checkServer(Family family, std::wstring_view text);

// Whether a NameServer value holds only servers of the family (or nothing), separated by
// commas and spaces.
bool isServerListOf(Family family, std::wstring_view value);
// What a restore record may put back as NameServer: what Windows may hold there, as it was
// read, but nothing else. At most kMaxNameServerLength characters; pieces separated by commas,
// semicolons, spaces or tabs; an IPv4 piece only digits and dots (leading zeros and 0.0.0.0
// included), an IPv6 piece hex digits, dots and "%" with at least one colon. A forged record
// can then name servers, as a valid one can, but cannot put names, words or control
// characters into the registry.
inline constexpr std::size_t kMaxNameServerLength = 4096;
bool isRestorableNameServer(Family family, std::wstring_view value);

} // namespace dns
