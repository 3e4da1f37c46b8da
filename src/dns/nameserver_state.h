// Where an adapter's static DNS servers live in the registry (NameServer of both families in
// three control sets), which adapters may be changed, and the restore record that lets
// "Restore previous DNS" put them back exactly. Pure: the registry calls are in change.cpp.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "dns/address.h"
#include "dns/doh.h"

namespace dns {

// Control sets whose interface keys receive NameServer, in the order they are written.
inline constexpr std::array<std::wstring_view, 3> kInterfaceBasePaths = {
    L"SYSTEM\\ControlSet001\\Services\\Tcpip\\Parameters\\Interfaces\\",
    L"SYSTEM\\ControlSet002\\Services\\Tcpip\\Parameters\\Interfaces\\",
    L"SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces\\"};
inline constexpr std::size_t kCurrentControlSet = kInterfaceBasePaths.size() - 1;
inline constexpr std::wstring_view kNetworkCardsPath =
    L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards";
inline constexpr std::wstring_view kNameServerValue = L"NameServer";
inline constexpr std::wstring_view kDhcpNameServerValue = L"DhcpNameServer";

// "ControlSet001" and so on: the control-set part of a base path.
std::wstring_view controlSetName(std::size_t index);
// The interface key of service under a control set's base path, for a family.
std::wstring interfaceKeyPath(Family family, std::size_t controlSet, std::wstring_view service);

// Which control sets took a write, in the order of kInterfaceBasePaths, per family.
using ControlSetWrites = std::array<bool, kInterfaceBasePaths.size()>;
struct Writes {
    ControlSetWrites v4{}, v6{};
    const ControlSetWrites& of(Family family) const { return family == Family::V6 ? v6 : v4; }
    ControlSetWrites& of(Family family) { return family == Family::V6 ? v6 : v4; }
    bool all() const;
    bool none() const;
    bool operator==(const Writes&) const = default;
};

// An adapter's service name is the name of its interface key: a braced GUID such as
// "{1D7E0C6B-0000-4000-8000-000000000001}". Nothing else may reach a registry path: an empty
// or odd name would write NameServer on the Interfaces key itself or somewhere else.
bool isInterfaceGuid(std::wstring_view service);
// Such a name as the GUID's fields; nothing when it is not one.
struct InterfaceGuid {
    std::uint32_t data1 = 0;
    std::uint16_t data2 = 0, data3 = 0;
    std::array<std::uint8_t, 8> data4{};
};
std::optional<InterfaceGuid> interfaceGuid(std::wstring_view service);

// NameServer of each family in each control set. Nothing means the value is absent, which is
// not the same as empty: an absent value is deleted on restore, an empty one is written empty.
struct NameServerState {
    std::array<std::optional<std::wstring>, 2 * kInterfaceBasePaths.size()> values;
    // The adapter's DoH settings; nothing in a record made before Keldrast wrote them, which
    // leaves them as they stand on restore.
    std::optional<DohSettings> doh{};
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
// Then, when the DoH settings are recorded, "-" (no DohInterfaceSettings key) or "+",
// and one field per server: "4" or "6", its address, its flags in decimal and its template,
// joined by "," (escaped in them too), the last two "-" when absent (the template otherwise "=" and
// the text).
std::wstring encodeState(const NameServerState& state);
// Nothing when the text is not such a value, or when a value is not one isRestorableNameServer
// allows, a DoH server not an address of its family, its template one /template refuses for
// it, its flags outside kKnownDohFlags, or a family with more than kMaxDohServersPerFamily DoH
// servers: the record is data from a file that others may edit, and it is written into HKLM.
std::optional<NameServerState> decodeState(std::wstring_view text);
// Whether the state comes back from its record exactly: what a change records must, or there
// is no restore point.
bool roundTrips(const NameServerState& state);

} // namespace dns
