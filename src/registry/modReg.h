// Registry reads and writes by root-key name, key path and value name. Stateless: every
// call opens its key (for reading only, so adapters list without administrator rights; full
// access for writes) and closes it before returning. The "A" registry
// functions are used, so paths, names and string data pass through the ANSI code page.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "registry/regformat.h"

namespace modReg {

// The predefined key for one of the seven root names (case-sensitive), or nullptr.
HKEY rootKeyFromName(std::wstring_view name);

// The value as text: REG_SZ trimmed, REG_BINARY as upper-case hex, REG_DWORD as signed
// decimal; empty text for other types, missing values, data over 1024 bytes and failures.
std::wstring readValue(std::wstring_view root, std::wstring_view path, std::wstring_view name);

// Stores value (blanks trimmed) as "string", "binary" (hex pairs) or "dword" (decimal or
// "&H" hex); the type name is case-insensitive. Creates missing keys. An unknown type name
// stores nothing and gives true; text that is not valid for "binary" or "dword" stores
// nothing and gives false.
[[nodiscard]] bool writeValue(std::wstring_view root, std::wstring_view path,
                              std::wstring_view name, std::wstring_view value,
                              std::wstring_view typeName);

// One installed network card: the text shown and the name of its interface key.
struct AdapterRecord {
    std::wstring description;
    std::wstring serviceName;
    bool operator==(const AdapterRecord&) const = default;
};

// The subkeys of root\path in enumeration order, each with its trimmed "Description" and
// "ServiceName" (empty when missing). Empty when the key cannot be opened.
std::vector<AdapterRecord> enumNetworkCards(std::wstring_view root, std::wstring_view path);

} // namespace modReg
