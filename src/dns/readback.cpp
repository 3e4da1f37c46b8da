#include "dns/readback.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>
#include <objbase.h>

#include <utility>

#include "dns/change.h"
#include "toolkit/system_library.h"

namespace dns {

namespace {

HMODULE iphlpapi() {
    // Not a known system DLL, so never imported; kept for the life of the process.
    static const HMODULE module = tk::systemLibrary(L"iphlpapi.dll");
    return module;
}

std::wstring addressText(const SOCKET_ADDRESS& address) {
    wchar_t text[64] = {};
    const sockaddr* sa = address.lpSockaddr;
    if (!sa) return {};
    if (sa->sa_family == AF_INET)
        InetNtopW(AF_INET, &reinterpret_cast<const sockaddr_in*>(sa)->sin_addr, text, 64);
    else if (sa->sa_family == AF_INET6)
        InetNtopW(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(sa)->sin6_addr, text, 64);
    return text;
}

std::optional<std::vector<std::wstring>> systemServersInUse(std::wstring_view service) {
    using Fn = ULONG(WINAPI*)(ULONG, ULONG, PVOID, PIP_ADAPTER_ADDRESSES, PULONG);
    static const Fn fn = tk::moduleFunction<Fn>(iphlpapi(), "GetAdaptersAddresses");
    if (!fn) return std::nullopt;
    const ULONG flags = GAA_FLAG_SKIP_UNICAST | GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST;
    std::vector<unsigned char> buffer(16 * 1024);
    ULONG size = static_cast<ULONG>(buffer.size());
    ULONG result = ERROR_BUFFER_OVERFLOW;
    for (int tries = 0; tries < 4 && result == ERROR_BUFFER_OVERFLOW; ++tries) {
        buffer.resize(size);
        result = fn(AF_UNSPEC, flags, nullptr,
                    reinterpret_cast<PIP_ADAPTER_ADDRESSES>(buffer.data()), &size);
    }
    if (result != NO_ERROR) return std::nullopt;
    const std::string name(service.begin(), service.end()); // a GUID: ASCII only
    for (auto* a = reinterpret_cast<PIP_ADAPTER_ADDRESSES>(buffer.data()); a; a = a->Next) {
        if (!a->AdapterName || lstrcmpiA(a->AdapterName, name.c_str()) != 0) continue;
        std::vector<std::wstring> servers;
        for (auto* d = a->FirstDnsServerAddress; d; d = d->Next) {
            std::wstring text = addressText(d->Address);
            if (!text.empty()) servers.push_back(std::move(text));
        }
        return servers;
    }
    return std::nullopt;
}

std::optional<std::wstring> systemConfiguredServers(const GUID& guid, Family family) {
    using GetFn = DWORD(WINAPI*)(GUID, DnsInterfaceSettings*);
    using FreeFn = void(WINAPI*)(DnsInterfaceSettings*);
    static const GetFn get = tk::moduleFunction<GetFn>(iphlpapi(), "GetInterfaceDnsSettings");
    static const FreeFn release =
        tk::moduleFunction<FreeFn>(iphlpapi(), "FreeInterfaceDnsSettings");
    if (!get || !release) return std::nullopt;
    DnsInterfaceSettings settings{};
    settings.Version = kDnsInterfaceSettingsVersion1;
    // Which family is asked for (real Windows only; Wine has neither function).
    settings.Flags = family == Family::V6 ? kDnsSettingIpv6 : 0;
    if (get(guid, &settings) != NO_ERROR) return std::nullopt;
    std::wstring servers = settings.NameServer ? settings.NameServer : L"";
    release(&settings);
    return servers;
}

std::optional<std::vector<DohServer>> systemDohInForce(const GUID& guid, Family family) {
    using GetFn = DWORD(WINAPI*)(GUID, DnsInterfaceSettings*);
    using FreeFn = void(WINAPI*)(DnsInterfaceSettings*);
    static const GetFn get = tk::moduleFunction<GetFn>(iphlpapi(), "GetInterfaceDnsSettings");
    static const FreeFn release =
        tk::moduleFunction<FreeFn>(iphlpapi(), "FreeInterfaceDnsSettings");
    if (!get || !release) return std::nullopt;
    DnsInterfaceSettings settings{};
    settings.Version = kDnsInterfaceSettingsVersion3;
    settings.Flags = family == Family::V6 ? kDnsSettingIpv6 : 0;
    if (get(guid, &settings) != NO_ERROR) return std::nullopt;
    const auto servers = serverList(settings.NameServer ? settings.NameServer : L"");
    std::vector<DohServer> found;
    for (ULONG i = 0; settings.ServerProperties && i < settings.cServerProperties; ++i) {
        const auto& property = settings.ServerProperties[i];
        if (property.Type != kDnsServerDohProperty || !property.DohSettings ||
            property.ServerIndex >= servers.size())
            continue;
        DohServer server{family, servers[property.ServerIndex], property.DohSettings->Flags, {}};
        if (property.DohSettings->Template) server.url = property.DohSettings->Template;
        found.push_back(std::move(server));
    }
    release(&settings);
    return found;
}

} // namespace

std::optional<std::vector<DohServer>> dohInForce(std::wstring_view service) {
    const auto guid = interfaceGuidOf(service);
    if (!guid) return std::nullopt;
    auto v4 = dohInForceSeam.call(systemDohInForce, *guid, Family::V4);
    auto v6 = dohInForceSeam.call(systemDohInForce, *guid, Family::V6);
    if (!v4 || !v6) return std::nullopt;
    v4->insert(v4->end(), v6->begin(), v6->end());
    return v4;
}

bool isSiteLocalPlaceholder(std::wstring_view address) {
    return address == L"fec0:0:0:ffff::1" || address == L"fec0:0:0:ffff::2" ||
           address == L"fec0:0:0:ffff::3";
}

std::optional<std::vector<std::wstring>> serversInUse(std::wstring_view service) {
    auto servers = serversInUseSeam.call(systemServersInUse, service);
    if (servers) std::erase_if(*servers, isSiteLocalPlaceholder);
    return servers;
}

std::optional<std::wstring> configuredServers(std::wstring_view service, Family family) {
    const auto guid = interfaceGuidOf(service);
    if (!guid) return std::nullopt;
    return configuredServersSeam.call(systemConfiguredServers, *guid, family);
}

ServersInUse reportedServers(std::wstring_view service) {
    if (auto inUse = serversInUse(service)) return inUse;
    const auto v4 = configuredServers(service, Family::V4);
    const auto v6 = configuredServers(service, Family::V6);
    if (!v4 || !v6) return std::nullopt;
    auto servers = serverList(*v4);
    for (auto& server : serverList(*v6))
        servers.push_back(std::move(server));
    return servers;
}

} // namespace dns
