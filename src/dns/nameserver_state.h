// What an adapter's static DNS servers are in the registry: NameServer of both families in
// every control set, and the record of it that lets "Restore previous DNS" put it back exactly.
// Pure: the registry reads and writes are in dnsapply.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dns/dnsplan.h"

namespace app {

enum class Family { V4, V6 };
inline constexpr std::array<Family, 2> kFamilies = {Family::V4, Family::V6};

// The interface key of service under a control set's base path, for a family.
std::wstring interfaceKeyPath(Family family, std::size_t controlSet, std::wstring_view service);

// NameServer of each family in each control set. Nothing means the value is absent, which is
// not the same as empty: an absent value is deleted on restore, an empty one is written empty.
struct NameServerState {
    std::array<std::optional<std::wstring>, 2 * kInterfaceBasePaths.size()> values;
    std::optional<std::wstring>& at(Family family, std::size_t controlSet) {
        return values[(family == Family::V6 ? kInterfaceBasePaths.size() : 0) + controlSet];
    }
    const std::optional<std::wstring>& at(Family family, std::size_t controlSet) const {
        return values[(family == Family::V6 ? kInterfaceBasePaths.size() : 0) + controlSet];
    }
    bool operator==(const NameServerState&) const = default;
};

// The state as one settings-file value: the six values in order (IPv4 then IPv6, each
// ControlSet001, ControlSet002, CurrentControlSet) joined by "|", each "-" when absent or "="
// and the value, with "%", "|", spaces and characters outside printable ASCII written as %XXXX.
std::wstring encodeState(const NameServerState& state);
// Nothing when the text is not such a value.
std::optional<NameServerState> decodeState(std::wstring_view text);

// The servers of a NameServer value or a list read back from the system: split at commas and
// spaces, empty pieces dropped.
std::vector<std::wstring> serverList(std::wstring_view text);

} // namespace app
