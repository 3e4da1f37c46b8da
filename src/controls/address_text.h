// IPv4 addresses as the address box exchanges them. Pure.
//
// The four-field editor holds a "field value": first field in the most significant byte.
// The box's long is that value in network byte order read as a little-endian signed integer
// (the host byte order of every platform the program runs on): 8.8.4.4 is 67373064.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ctl {

// Dotted text with the rules of inet_addr: one to four parts ("a", "a.b", "a.b.c", "a.b.c.d",
// the last part filling the remaining bytes), each decimal, octal (leading 0) or hexadecimal
// (leading 0x), ended by the end of text or white space. Gives the field value, or nothing
// for text that is not an address.
std::optional<std::uint32_t> parseAddress(std::string_view text);

// Field value and the box's long, both ways (a byte swap).
std::int32_t addressLongFromFields(std::uint32_t fields) noexcept;
std::uint32_t fieldsFromAddressLong(std::int32_t value) noexcept;

// "a.b.c.d" in decimal without leading zeros, as inet_ntoa writes it.
std::string formatAddress(std::uint32_t fields);

// What the box holds after its text is set: rejected text gives all bits set.
std::int32_t addressLongFromText(std::string_view text);

} // namespace ctl
