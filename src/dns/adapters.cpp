#include "dns/adapters.h"
#include "toolkit/trim.h"

#include <algorithm>

#include "dns/address.h"

namespace dns {

namespace {

// IANA ifType values (ipifcons.h).
constexpr unsigned long kEthernet = 6, kPpp = 23, kLoopback = 24, kPropVirtual = 53, kWiFi = 71,
                        kTunnel = 131;

bool contains(std::wstring_view text, std::wstring_view part) {
    return tk::foldAscii(text).find(tk::foldAscii(part)) != std::wstring::npos;
}

// The host's port of a Hyper-V virtual switch: "vEthernet (...)", "Hyper-V Virtual Ethernet
// Adapter". A physical card bound to an external switch hands its settings (and its hardware
// address) to this one.
bool isSwitchPort(const SystemAdapter& adapter) {
    return contains(adapter.description, L"Hyper-V Virtual Ethernet") ||
           tk::foldAscii(adapter.friendlyName).starts_with(L"vethernet (");
}

const SystemAdapter* routeAdapter(const NetworkState& state) {
    if (!state.adapters) return nullptr;
    for (const auto& a : *state.adapters)
        if (state.routes.v4 && a.ifIndex == *state.routes.v4 && isConnected(a)) return &a;
    for (const auto& a : *state.adapters)
        if (carriesDefaultRoute(a, state.routes)) return &a;
    return nullptr;
}

// The listed description where the adapter is listed, otherwise the name Windows gives it.
std::wstring nameOf(const SystemAdapter& adapter, const std::vector<ListedAdapter>& listed) {
    for (const auto& l : listed)
        if (tk::foldAscii(l.service) == tk::foldAscii(adapter.guid)) return l.description;
    return adapter.friendlyName.empty() ? adapter.guid : adapter.friendlyName;
}

std::wstring quoted(std::wstring_view name) {
    return L"\"" + std::wstring(name) + L"\"";
}

std::wstring joined(const std::vector<std::wstring>& items, std::wstring_view separator) {
    std::wstring text;
    for (const auto& item : items)
        text += (text.empty() ? L"" : std::wstring(separator)) + item;
    return text;
}

std::vector<std::wstring> normalised(const std::vector<std::wstring>& list) {
    std::vector<std::wstring> out;
    for (const auto& s : list) {
        const auto family = familyOf(s);
        out.push_back(family ? *canonicalAddress(*family, s) : tk::foldAscii(s));
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

std::optional<Warning> unreachable(std::wstring_view service, std::wstring_view name,
                                   const NetworkState& state,
                                   const std::vector<ListedAdapter>& listed) {
    const SystemAdapter* adapter = findAdapter(state, service);
    if (adapter && !adapter->ipBound && !adapter->physicalAddress.empty())
        for (const auto& port : *state.adapters)
            if (&port != adapter && port.ipBound && isSwitchPort(port) &&
                tk::foldAscii(port.physicalAddress) == tk::foldAscii(adapter->physicalAddress))
                return Warning{std::wstring(kVirtualSwitchWarning),
                               quoted(name) +
                                   L" is bound to a virtual switch only: Windows uses "
                                   L"the settings of " +
                                   quoted(nameOf(port, listed)) + L", so change that adapter."};
    if (adapter && isConnected(*adapter)) return std::nullopt;
    std::wstring text = quoted(name) + L" is not connected, so Windows does not ask its DNS "
                                       L"servers now";
    if (!adapter) text += L" (Windows does not list it: it is disabled, or not bound to TCP/IP)";
    if (const SystemAdapter* route = routeAdapter(state))
        text += L"; " + quoted(nameOf(*route, listed)) + L" carries the default route";
    return Warning{std::wstring(kNotConnectedWarning), text + L"."};
}

} // namespace

AdapterKind adapterKind(const SystemAdapter& adapter) {
    switch (adapter.ifType) {
    case kLoopback:
        return AdapterKind::Loopback;
    case kWiFi:
        return AdapterKind::WiFi;
    case kTunnel:
    case kPpp:
    case kPropVirtual:
        return AdapterKind::Tunnel;
    case kEthernet:
        return isSwitchPort(adapter) || contains(adapter.description, L"virtual")
                   ? AdapterKind::Virtual
                   : AdapterKind::Ethernet;
    default:
        return AdapterKind::Other;
    }
}

std::wstring_view kindName(AdapterKind kind) {
    switch (kind) {
    case AdapterKind::Ethernet:
        return L"Ethernet";
    case AdapterKind::WiFi:
        return L"Wi-Fi";
    case AdapterKind::Virtual:
        return L"virtual";
    case AdapterKind::Tunnel:
        return L"tunnel";
    case AdapterKind::Loopback:
        return L"loopback";
    case AdapterKind::Other:
        break;
    }
    return L"other";
}

bool isConnected(const SystemAdapter& adapter) {
    return adapter.up && adapter.ipBound && adapter.ifType != kLoopback;
}

bool carriesDefaultRoute(const SystemAdapter& adapter, const DefaultRoutes& routes) {
    if (!routes.v4 && !routes.v6) return isConnected(adapter) && adapter.gateway;
    return isConnected(adapter) && ((routes.v4 && *routes.v4 == adapter.ifIndex) ||
                                    (routes.v6 && *routes.v6 == adapter.ipv6IfIndex));
}

const SystemAdapter* findAdapter(const NetworkState& state, std::wstring_view service) {
    if (!state.adapters || service.empty()) return nullptr;
    const std::wstring wanted = tk::foldAscii(service);
    for (const auto& a : *state.adapters)
        if (tk::foldAscii(a.guid) == wanted) return &a;
    return nullptr;
}

std::optional<AdapterStatus> adapterStatus(const NetworkState& state, std::wstring_view service) {
    if (!state.adapters) return std::nullopt;
    const SystemAdapter* a = findAdapter(state, service);
    if (!a) return AdapterStatus{};
    return AdapterStatus{true, isConnected(*a), carriesDefaultRoute(*a, state.routes),
                         adapterKind(*a)};
}

std::wstring statusText(const std::optional<AdapterStatus>& status) {
    if (!status) return L"not reported by Windows";
    if (!status->listed) return L"not listed by Windows (disabled, or not bound to TCP/IP)";
    std::wstring text = status->connected ? L"connected (" : L"not connected (";
    text += std::wstring(kindName(status->kind)) + L")";
    if (status->defaultRoute) text += L", carries the default route";
    return text;
}

std::vector<std::size_t> connectedAdapters(const std::vector<ListedAdapter>& listed,
                                           const NetworkState& state) {
    std::vector<std::size_t> out;
    for (std::size_t i = 0; i < listed.size(); ++i)
        if (const auto* a = findAdapter(state, listed[i].service); a && isConnected(*a))
            out.push_back(i);
    return out;
}

std::optional<std::size_t> defaultRouteAdapter(const std::vector<ListedAdapter>& listed,
                                               const NetworkState& state) {
    const SystemAdapter* route = routeAdapter(state);
    for (std::size_t i = 0; route && i < listed.size(); ++i)
        if (tk::foldAscii(listed[i].service) == tk::foldAscii(route->guid)) return i;
    return std::nullopt;
}

bool sameServers(const std::vector<std::wstring>& a, const std::vector<std::wstring>& b) {
    return normalised(a) == normalised(b);
}

std::vector<Warning> changeWarnings(std::wstring_view changed,
                                    const std::vector<std::wstring>& alsoChanged,
                                    const std::vector<ListedAdapter>& listed,
                                    const NetworkState& state, const std::vector<PolicyRule>& rules,
                                    const std::vector<std::wstring>& wanted) {
    std::vector<Warning> warnings;
    const auto isChanged = [&](std::wstring_view guid) {
        return tk::foldAscii(guid) == tk::foldAscii(changed) ||
               std::any_of(alsoChanged.begin(), alsoChanged.end(),
                           [&](const auto& s) { return tk::foldAscii(s) == tk::foldAscii(guid); });
    };
    if (state.adapters) {
        std::wstring name(changed);
        for (const auto& l : listed)
            if (tk::foldAscii(l.service) == tk::foldAscii(changed)) name = l.description;
        if (auto warning = unreachable(changed, name, state, listed))
            warnings.push_back(std::move(*warning));
        std::vector<std::wstring> others;
        for (const auto& a : *state.adapters)
            if (!wanted.empty() && isConnected(a) && !isChanged(a.guid) && !a.servers.empty() &&
                !sameServers(a.servers, wanted))
                others.push_back(quoted(nameOf(a, listed)) + L" (" + joined(a.servers, L", ") +
                                 L")");
        if (!others.empty())
            warnings.push_back({std::wstring(kOtherAdapterWarning),
                                L"Windows also asks the DNS servers of the other connected "
                                L"adapters: " +
                                    joined(others, L"; ") + L"."});
    }
    // Rules set by group policy replace the local ones.
    const bool policy = std::any_of(rules.begin(), rules.end(),
                                    [](const PolicyRule& rule) { return rule.groupPolicy; });
    std::vector<std::wstring> servers;
    bool everyName = false;
    for (const auto& rule : rules) {
        if (rule.groupPolicy != policy ||
            std::find(rule.names.begin(), rule.names.end(), L".") == rule.names.end())
            continue;
        everyName = true;
        servers.insert(servers.end(), rule.servers.begin(), rule.servers.end());
    }
    if (everyName)
        warnings.push_back(
            {std::wstring(kPolicyRuleWarning),
             L"A name resolution policy rule" +
                 std::wstring(policy ? L" set by group policy" : L"") + L" sends every name to " +
                 (servers.empty() ? std::wstring(L"other servers") : joined(servers, L", ")) +
                 L", whatever the adapters' servers are (typically a VPN does this)."});
    return warnings;
}

} // namespace dns
