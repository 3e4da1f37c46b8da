// The text rules of the registry module: how values read back as text and how text
// becomes value data. Pure; the registry calls themselves live in modReg.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace modReg {

// Size of the buffer every value is read into.
inline constexpr std::size_t kReadBufferSize = 1024;

// The 32-bit code of a predefined root key ("HKEY_LOCAL_MACHINE" -> 0x80000002), matched
// exactly and case-sensitively; 0 for any other name.
std::uint32_t rootKeyCode(std::wstring_view name);

// A REG_SZ read: the text before the first NUL of the buffer, blanks trimmed.
std::string stringValueText(std::string_view buffer);
// A REG_BINARY read: the whole buffer (data and blank filler) with blanks trimmed at both
// ends, each byte as two upper-case hexadecimal digits.
std::string binaryValueText(std::string_view buffer);
// A REG_DWORD read: the signed decimal text (0xFFFFFFFF gives "-1").
std::string dwordValueText(std::uint32_t raw);

// Bytes from hexadecimal pairs ("0A1BFF" -> 0x0A 0x1B 0xFF; a last odd digit stands
// alone). Nothing when any character is not a hexadecimal digit.
std::optional<std::string> bytesFromHex(std::string_view text);
// A 32-bit value from decimal text (-2147483648 to 2147483647, optional sign) or from
// "&H" followed by 1 to 8 hexadecimal digits. Nothing for any other text.
std::optional<std::uint32_t> dwordFromText(std::string_view text);

// The value types writeValue knows, from a case-insensitive type name.
enum class ValueKind { String, Binary, Dword, Unknown };
ValueKind valueKindFromName(std::wstring_view typeName);

} // namespace modReg
