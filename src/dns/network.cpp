#include "dns/network.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>

#include <cstring>
#include <utility>

#include "dns/nameserver_state.h"
#include "dns/readback.h"
#include "registry/modReg.h"
#include "toolkit/handles.h"
#include "toolkit/system_library.h"
#include "toolkit/trim.h"

namespace dns {

namespace {

// iptypes.h's flags of IP_ADAPTER_ADDRESSES_LH, spelt out for every SDK.
constexpr ULONG kIpv4Enabled = 0x0080, kIpv6Enabled = 0x0100;
constexpr ULONG kIncludeGateways = 0x0080, kIncludeAllInterfaces = 0x0100;

constexpr std::wstring_view kLocalPolicyPath =
    L"SYSTEM\\CurrentControlSet\\Services\\Dnscache\\Parameters\\DnsPolicyConfig";
constexpr std::wstring_view kGroupPolicyPath =
    L"SOFTWARE\\Policies\\Microsoft\\Windows NT\\DNSClient\\DnsPolicyConfig";

std::wstring hardwareText(const BYTE* bytes, ULONG length) {
    static constexpr wchar_t kHex[] = L"0123456789ABCDEF";
    std::wstring text;
    for (ULONG i = 0; i < length && i < MAX_ADAPTER_ADDRESS_LENGTH; ++i) {
        if (i) text += L'-';
        text += kHex[bytes[i] >> 4];
        text += kHex[bytes[i] & 0xF];
    }
    return text;
}

std::wstring wide(const char* text) {
    std::wstring out;
    for (; text && *text; ++text)
        out += static_cast<wchar_t>(static_cast<unsigned char>(*text));
    return out;
}

std::optional<std::vector<SystemAdapter>> systemAdapters() {
    const auto buffer = adapterAddresses(kIncludeGateways | kIncludeAllInterfaces |
                                         GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST);
    if (!buffer) return std::nullopt;
    std::vector<SystemAdapter> adapters;
    for (auto* a = buffer->empty() ? nullptr
                                   : reinterpret_cast<const IP_ADAPTER_ADDRESSES*>(buffer->data());
         a; a = a->Next) {
        SystemAdapter s;
        s.guid = wide(a->AdapterName);
        s.friendlyName = a->FriendlyName ? a->FriendlyName : L"";
        s.description = a->Description ? a->Description : L"";
        s.ifIndex = a->IfIndex;
        s.ipv6IfIndex = a->Ipv6IfIndex;
        s.ifType = a->IfType;
        s.up = a->OperStatus == IfOperStatusUp;
        s.ipBound = (a->Flags & (kIpv4Enabled | kIpv6Enabled)) != 0 || a->FirstUnicastAddress;
        s.gateway = a->FirstGatewayAddress != nullptr;
        if (s.gateway) s.gatewayAddress = addressText(a->FirstGatewayAddress->Address.lpSockaddr);
        s.dnsSuffix = a->DnsSuffix ? a->DnsSuffix : L"";
        s.physicalAddress = hardwareText(a->PhysicalAddress, a->PhysicalAddressLength);
        for (auto* d = a->FirstDnsServerAddress; d; d = d->Next)
            if (auto text = addressText(d->Address.lpSockaddr);
                !text.empty() && !isSiteLocalPlaceholder(text))
                s.servers.push_back(std::move(text));
        adapters.push_back(std::move(s));
    }
    return adapters;
}

// a.root-servers.net: a public address that will stay one. Only the routing table is read.
std::optional<unsigned long> bestInterface(Family family) {
    using Fn = DWORD(WINAPI*)(sockaddr*, PDWORD);
    static const Fn fn = tk::moduleFunction<Fn>(iphlpapi(), "GetBestInterfaceEx");
    if (!fn) return std::nullopt;
    sockaddr_storage storage{};
    auto* sa = reinterpret_cast<sockaddr*>(&storage);
    if (family == Family::V4) {
        auto* in = reinterpret_cast<sockaddr_in*>(&storage);
        in->sin_family = AF_INET;
        const IPv4 address = *parseIPv4(L"198.41.0.4");
        std::memcpy(&in->sin_addr, address.data(), address.size());
    } else {
        auto* in6 = reinterpret_cast<sockaddr_in6*>(&storage);
        in6->sin6_family = AF_INET6;
        const IPv6 address = *parseIPv6(L"2001:503:ba3e::2:30");
        std::memcpy(&in6->sin6_addr, address.data(), address.size());
    }
    DWORD index = 0;
    if (fn(sa, &index) != NO_ERROR) return std::nullopt;
    return index;
}

// A value of a rule's key: a REG_MULTI_SZ as its strings, a REG_SZ as one.
std::vector<std::wstring> strings(HKEY key, const wchar_t* name) {
    DWORD type = 0, bytes = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_MULTI_SZ && type != REG_EXPAND_SZ) || bytes > 65536)
        return {};
    std::wstring data(bytes / sizeof(wchar_t) + 2, L'\0');
    bytes = static_cast<DWORD>((data.size() - 2) * sizeof(wchar_t));
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &bytes) !=
        ERROR_SUCCESS)
        return {};
    std::vector<std::wstring> out;
    for (std::size_t at = 0; at < data.size();) {
        const std::size_t end = data.find(L'\0', at);
        if (end == at) break;
        out.push_back(data.substr(at, end - at));
        if (type != REG_MULTI_SZ) break;
        at = end + 1;
    }
    return out;
}

void readRules(std::wstring_view path, bool groupPolicy, std::vector<PolicyRule>& rules) {
    tk::unique_hkey root;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, std::wstring(path).c_str(), 0, KEY_READ | KEY_WOW64_64KEY,
                      root.put()) != ERROR_SUCCESS)
        return;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256] = {};
        DWORD length = 256;
        if (RegEnumKeyExW(root.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        tk::unique_hkey key;
        if (RegOpenKeyExW(root.get(), name, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS)
            continue;
        PolicyRule rule;
        rule.groupPolicy = groupPolicy;
        for (auto& n : strings(key.get(), L"Name"))
            rule.names.push_back(tk::trimSpaces(n));
        // Generic servers are ";"-separated; DirectAccess rules name theirs in another value.
        for (const wchar_t* value : {L"GenericDNSServers", L"DirectAccessDNSServers"})
            for (const auto& list : strings(key.get(), value)) {
                std::wstring spaced = list;
                for (auto& c : spaced)
                    if (c == L';') c = L' ';
                for (auto& server : serverList(spaced))
                    rule.servers.push_back(std::move(server));
            }
        rules.push_back(std::move(rule));
    }
}

} // namespace

NetworkState networkState() {
    NetworkState state;
    state.adapters = systemAdaptersSeam.call(systemAdapters);
    state.routes.v4 = bestInterfaceSeam.call(bestInterface, Family::V4);
    state.routes.v6 = bestInterfaceSeam.call(bestInterface, Family::V6);
    return state;
}

std::vector<ListedAdapter> listedAdapters() {
    std::vector<ListedAdapter> listed;
    for (auto& card : modReg::enumNetworkCards(L"HKEY_LOCAL_MACHINE", kNetworkCardsPath))
        listed.push_back({std::move(card.description), std::move(card.serviceName)});
    return listed;
}

std::vector<PolicyRule> policyRules() {
    std::vector<PolicyRule> rules;
    readRules(kGroupPolicyPath, true, rules);
    readRules(kLocalPolicyPath, false, rules);
    return rules;
}

} // namespace dns
