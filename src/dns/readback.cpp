#include "dns/readback.h"

#include <winsock2.h>
#include <ws2ipdef.h>
#include <iphlpapi.h>
#include <objbase.h>

#include <cstring>
#include <utility>

#include "dns/address.h"
#include "dns/change.h"
#include "toolkit/system_library.h"

namespace dns {

HMODULE iphlpapi() {
    // Not a known system DLL, so never imported; kept for the life of the process.
    static const HMODULE module = tk::systemLibrary(L"iphlpapi.dll");
    return module;
}

std::optional<std::vector<unsigned char>> adapterAddresses(ULONG flags) {
    using Fn = ULONG(WINAPI*)(ULONG, ULONG, PVOID, PIP_ADAPTER_ADDRESSES, PULONG);
    static const Fn fn = tk::moduleFunction<Fn>(iphlpapi(), "GetAdaptersAddresses");
    if (!fn) return std::nullopt;
    std::vector<unsigned char> buffer(16 * 1024);
    ULONG size = static_cast<ULONG>(buffer.size());
    ULONG result = ERROR_BUFFER_OVERFLOW;
    for (int tries = 0; tries < 4 && result == ERROR_BUFFER_OVERFLOW; ++tries) {
        buffer.resize(size);
        result = fn(AF_UNSPEC, flags, nullptr,
                    reinterpret_cast<PIP_ADAPTER_ADDRESSES>(buffer.data()), &size);
    }
    if (result == ERROR_NO_DATA) return std::vector<unsigned char>{};
    if (result != NO_ERROR) return std::nullopt;
    return buffer;
}

std::wstring addressText(const sockaddr* address) {
    if (!address) return {};
    if (address->sa_family == AF_INET) {
        IPv4 bytes{};
        std::memcpy(bytes.data(), &reinterpret_cast<const sockaddr_in*>(address)->sin_addr, 4);
        return ipv4Text(bytes);
    }
    if (address->sa_family == AF_INET6) {
        IPv6 bytes{};
        std::memcpy(bytes.data(), &reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr, 16);
        return ipv6Text(bytes);
    }
    return {};
}

namespace {

std::optional<std::vector<std::wstring>> systemServersInUse(std::wstring_view service) {
    const auto buffer =
        adapterAddresses(GAA_FLAG_SKIP_UNICAST | GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST);
    if (!buffer || buffer->empty()) return std::nullopt;
    const std::string name(service.begin(), service.end()); // a GUID: ASCII only
    for (auto* a = reinterpret_cast<const IP_ADAPTER_ADDRESSES*>(buffer->data()); a; a = a->Next) {
        if (!a->AdapterName || lstrcmpiA(a->AdapterName, name.c_str()) != 0) continue;
        std::vector<std::wstring> servers;
        for (auto* d = a->FirstDnsServerAddress; d; d = d->Next) {
            std::wstring text = addressText(d->Address.lpSockaddr);
            if (!text.empty()) servers.push_back(std::move(text));
        }
        return servers;
    }
    return std::nullopt;
}

} // namespace

std::optional<DWORD>
queryInterfaceDns(const GUID& guid, DnsInterfaceSettings& settings,
                  const std::function<void(const DnsInterfaceSettings&)>& read) {
    using GetFn = DWORD(WINAPI*)(GUID, DnsInterfaceSettings*);
    using FreeFn = void(WINAPI*)(DnsInterfaceSettings*);
    static const GetFn get = tk::moduleFunction<GetFn>(iphlpapi(), "GetInterfaceDnsSettings");
    static const FreeFn release =
        tk::moduleFunction<FreeFn>(iphlpapi(), "FreeInterfaceDnsSettings");
    if (!get || !release) return std::nullopt;
    const DWORD status = get(guid, &settings);
    if (status != NO_ERROR) return status;
    if (read) read(static_cast<const DnsInterfaceSettings&>(settings));
    release(&settings);
    return status;
}

namespace {

// GetInterfaceDnsSettings for the family, in a record of the version given; `read` takes what it
// needs before the record is freed. Nothing where Windows lacks the function (Wine) or refuses.
template <typename Read>
auto interfaceDnsSettings(const GUID& guid, Family family, ULONG version, Read read)
    -> std::optional<decltype(read(std::declval<const DnsInterfaceSettings&>()))> {
    DnsInterfaceSettings settings{};
    settings.Version = version;
    settings.Flags = family == Family::V6 ? kDnsSettingIpv6 : 0; // the family asked for
    std::optional<decltype(read(settings))> result;
    const auto status = queryInterfaceDns(
        guid, settings, [&](const DnsInterfaceSettings& answer) { result = read(answer); });
    if (status != NO_ERROR) return std::nullopt;
    return result;
}

std::optional<std::wstring> systemConfiguredServers(const GUID& guid, Family family) {
    return interfaceDnsSettings(
        guid, family, kDnsInterfaceSettingsVersion1, [](const DnsInterfaceSettings& settings) {
            return std::wstring(settings.NameServer ? settings.NameServer : L"");
        });
}

std::optional<std::vector<DohServer>> systemDohInForce(const GUID& guid, Family family) {
    return interfaceDnsSettings(
        guid, family, kDnsInterfaceSettingsVersion3,
        [family](const DnsInterfaceSettings& settings) {
            const auto servers = serverList(settings.NameServer ? settings.NameServer : L"");
            std::vector<DohServer> found;
            for (ULONG i = 0; settings.ServerProperties && i < settings.cServerProperties; ++i) {
                const auto& property = settings.ServerProperties[i];
                if (property.Type != kDnsServerDohProperty || !property.DohSettings ||
                    property.ServerIndex >= servers.size())
                    continue;
                DohServer server{
                    family, servers[property.ServerIndex], property.DohSettings->Flags, {}};
                if (property.DohSettings->Template) server.url = property.DohSettings->Template;
                found.push_back(std::move(server));
            }
            return found;
        });
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
