// Which adapters matter: what Windows reports of each network interface (connected or not,
// its kind, the servers it uses, whether the default route leaves through it), the listed
// adapters matched to it by interface GUID, the warnings after a change and the words for an
// adapter's state. Pure: the system calls are in network.h.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dns {

// One interface as GetAdaptersAddresses reports it.
struct SystemAdapter {
    std::wstring guid{}; // AdapterName: the interface GUID, "{...}"
    std::wstring friendlyName{}, description{};
    unsigned long ifIndex = 0, ipv6IfIndex = 0;
    unsigned long ifType = 0;            // IANA ifType: 6 Ethernet, 71 Wi-Fi, 24 loopback...
    bool up = false;                     // OperStatus is IfOperStatusUp
    bool ipBound = false;                // IPv4 or IPv6 is enabled on it
    bool gateway = false;                // it has a default gateway
    std::wstring physicalAddress{};      // "00-15-5D-01-02-03"; empty when it has none
    std::vector<std::wstring> servers{}; // the DNS servers it uses, placeholders left out
    std::wstring gatewayAddress{};       // the first default gateway's address; empty without
    std::wstring dnsSuffix{};            // the connection's DNS suffix; empty without
};

// The interfaces GetBestInterfaceEx picks for a public address of each family: the ones the
// default routes leave through. Nothing when the family has no route; when neither has, a
// connected adapter with a gateway counts as carrying it.
struct DefaultRoutes {
    std::optional<unsigned long> v4{}, v6{};
};

// What Windows reports; adapters is nothing when it does not say (the call failed).
struct NetworkState {
    std::optional<std::vector<SystemAdapter>> adapters{};
    DefaultRoutes routes{};
};

enum class AdapterKind { Ethernet, WiFi, Virtual, Tunnel, Loopback, Other };
AdapterKind adapterKind(const SystemAdapter& adapter);
// "Ethernet", "Wi-Fi", "virtual", "tunnel", "loopback", "other".
std::wstring_view kindName(AdapterKind kind);

// Connected, as Windows asks its servers: up, with IP bound, and no loopback. A filter
// driver's interface (no IP bound) never counts.
bool isConnected(const SystemAdapter& adapter);
bool carriesDefaultRoute(const SystemAdapter& adapter, const DefaultRoutes& routes);
// The interface whose GUID is service, letter case aside; null when Windows does not list it.
const SystemAdapter* findAdapter(const NetworkState& state, std::wstring_view service);

// A listed adapter (the installed network cards): what is shown and its interface GUID.
struct ListedAdapter {
    std::wstring description{};
    std::wstring service{};
};

// The state of a listed adapter as the tool tip, "Current DNS servers" and /list show it.
struct AdapterStatus {
    bool listed = false; // Windows lists it among its interfaces
    bool connected = false;
    bool defaultRoute = false;
    AdapterKind kind = AdapterKind::Other;
    bool operator==(const AdapterStatus&) const = default;
};
// Nothing when Windows does not say.
std::optional<AdapterStatus> adapterStatus(const NetworkState& state, std::wstring_view service);
// "connected (Ethernet), carries the default route", "not connected (Wi-Fi)", "not listed by
// Windows (disabled, or not bound to TCP/IP)", "not reported by Windows".
std::wstring statusText(const std::optional<AdapterStatus>& status);

// The listed adapters that are connected, in list order; and the one the default route
// leaves through (IPv4 first, then IPv6), when it is listed.
std::vector<std::size_t> connectedAdapters(const std::vector<ListedAdapter>& listed,
                                           const NetworkState& state);
std::optional<std::size_t> defaultRouteAdapter(const std::vector<ListedAdapter>& listed,
                                               const NetworkState& state);

// A name resolution policy rule (HKLM ...\DnsPolicyConfig\<rule>): the names it covers
// ("Name"; "." is every name) and the servers it sends them to.
struct PolicyRule {
    std::vector<std::wstring> names{};
    std::vector<std::wstring> servers{};
    bool groupPolicy = false; // under the group-policy key, which overrides the local one
};

// One line after a change, with a code that stays the same across versions.
struct Warning {
    std::wstring code{};
    std::wstring text{};
    bool operator==(const Warning&) const = default;
};
inline constexpr std::wstring_view kNotConnectedWarning = L"not-connected";
inline constexpr std::wstring_view kOtherAdapterWarning = L"other-adapter-servers";
inline constexpr std::wstring_view kPolicyRuleWarning = L"policy-rule";
inline constexpr std::wstring_view kVirtualSwitchWarning = L"virtual-switch";

// What may keep the change of the adapter `changed` from taking effect, one warning each: it is
// not connected (and which adapter carries the default route), or bound only to a virtual
// switch; another connected adapter (not among alsoChanged) has servers that Windows also
// asks; a policy rule sends every name elsewhere. wanted: the servers the change put in place,
// to compare the other adapters with; empty when it put none (automatic servers).
std::vector<Warning> changeWarnings(std::wstring_view changed,
                                    const std::vector<std::wstring>& alsoChanged,
                                    const std::vector<ListedAdapter>& listed,
                                    const NetworkState& state, const std::vector<PolicyRule>& rules,
                                    const std::vector<std::wstring>& wanted);

// Whether two server lists hold the same addresses, in any order and text form.
bool sameServers(const std::vector<std::wstring>& a, const std::vector<std::wstring>& b);

} // namespace dns
