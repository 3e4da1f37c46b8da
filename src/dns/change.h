// The change engine: the one place where an adapter's DNS servers change, for every front end.
// Apply, DNS Default and Restore record the restore point first, write NameServer of both
// families in the three control sets, tell the running system, read back, and return one
// outcome with its verdict (dnsplan.h). The window, the command line and any later front end
// only gather the request and present the outcome.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dns/dnsplan.h"
#include "dns/network.h"
#include "dns/request.h"
#include "toolkit/platform.h"

namespace dns {

// Makes the change; settingsPath is the settings file that keeps the restore records and the
// adapter last changed. The outcome carries the warnings of what may keep it from working.
ChangeOutcome change(const ChangeRequest& request, std::wstring_view settingsPath);
// The same change made to each adapter (request.service aside) in turn, each with its own
// restore record: one outcome per adapter, in order. The other adapters' servers are compared
// after all of them are changed.
std::vector<ChangeOutcome> changeEach(const ChangeRequest& request,
                                      const std::vector<std::wstring>& services,
                                      std::wstring_view settingsPath);

// Whether Restore has a record to put back for the adapter.
bool canRestore(std::wstring_view settingsPath, std::wstring_view service);

// The adapter's settings for the tool tip, "Current DNS servers" and /list: the static and
// DHCP servers from CurrentControlSet, the servers in use and its state (from `state`, or
// asked now).
CurrentDns currentDns(std::wstring_view service);
CurrentDns currentDns(std::wstring_view service, const NetworkState& state);

// NameServer of both families in every control set as it stands; nothing when a value could
// not be read (other than being absent).
std::optional<NameServerState> readNameServerState(std::wstring_view service);

// Flushing the resolver cache: the system's ipconfig by full path. The window starts it and
// carries on; the command line waits for it.
FlushOutcome flushResolverCache(bool wait);

// iphlpapi's DNS_DOH_SERVER_SETTINGS and DNS_SERVER_PROPERTY (MinGW's headers lack them).
struct DnsDohServerSettings {
    PWSTR Template;
    ULONG64 Flags;
};
struct DnsServerProperty {
    ULONG Version; // kDnsInterfaceSettingsVersion1
    ULONG ServerIndex;
    ULONG Type;                        // DNS_SERVER_PROPERTY_TYPE: kDnsServerDohProperty
    DnsDohServerSettings* DohSettings; // the DNS_SERVER_PROPERTY_TYPES union's one member
};
// The settings record of iphlpapi's Set/GetInterfaceDnsSettings: version 1's fields, then
// those that DNS_INTERFACE_SETTINGS3 adds, so one record serves both versions.
struct DnsInterfaceSettings {
    ULONG Version;
    ULONG64 Flags;
    PWSTR Domain;
    PWSTR NameServer;
    PWSTR SearchList;
    ULONG RegistrationEnabled;
    ULONG RegisterAdapterName;
    ULONG EnableLLMNR;
    ULONG QueryAdapterName;
    PWSTR ProfileNameServer;
    ULONG DisableUnconstrainedQueries;
    PWSTR SupplementalSearchList;
    ULONG cServerProperties;
    DnsServerProperty* ServerProperties;
    ULONG cProfileServerProperties;
    DnsServerProperty* ProfileServerProperties;
};
#ifdef _WIN64
static_assert(offsetof(DnsInterfaceSettings, ProfileNameServer) == 56);
static_assert(offsetof(DnsInterfaceSettings, ServerProperties) == 88);
static_assert(sizeof(DnsInterfaceSettings) == 112 && sizeof(DnsServerProperty) == 24);
#endif
inline constexpr ULONG kDnsInterfaceSettingsVersion1 = 1;
inline constexpr ULONG kDnsInterfaceSettingsVersion3 = 3;
inline constexpr ULONG64 kDnsSettingIpv6 = 0x0001;
inline constexpr ULONG64 kDnsSettingNameServer = 0x0002;
inline constexpr ULONG64 kDnsSettingDoh = 0x1000;
inline constexpr ULONG kDnsServerDohProperty = 1;

// The system's SetInterfaceDnsSettings as a replaceable entry point: the result of the call,
// or nothing where the system has no such function. Empty handler: iphlpapi.dll's own.
using SetInterfaceDnsHandler =
    std::function<std::optional<DWORD>(const GUID&, const DnsInterfaceSettings&)>;
inline tk::Seam<SetInterfaceDnsHandler> setInterfaceDnsSeam;
using ScopedSetInterfaceDns = tk::ScopedHandler<setInterfaceDnsSeam>;

// The system's build number as RtlGetVersion reports it (not as a compatibility shim would).
std::uint32_t systemBuild();
using SystemBuildHandler = std::function<std::uint32_t()>;
inline tk::Seam<SystemBuildHandler> systemBuildSeam;
using ScopedSystemBuild = tk::ScopedHandler<systemBuildSeam>;

// Whether this Windows has the DoH client, asked of GetInterfaceDnsSettings for the adapter with
// a version-3 record: true when it answers, false when it calls the version unsupported,
// nothing where the function is missing or it says neither (the build then decides).
std::optional<bool> dohClientProbe(const GUID& guid);
using DohClientHandler = std::function<std::optional<bool>(const GUID&)>;
inline tk::Seam<DohClientHandler> dohClientSeam;
using ScopedDohClient = tk::ScopedHandler<dohClientSeam>;
// The probe for the adapter, else the build.
bool offersDoh(std::wstring_view service);

// The adapter's DoH settings under Dnscache as they stand; nothing when they could not be read.
std::optional<DohSettings> readDohSettings(std::wstring_view service);
// The system's list entries (Dnscache\Parameters\DohWellKnownServers\<address>: Template,
// Flags) of the servers whose settings ask for the automatic template; those not listed are left
// out.
std::vector<DohServer> wellKnownDohServers(const std::vector<DohServer>& servers);
// The administrator's DoH policy as it stands (DoHPolicy and DohPolicySetting).
DohPolicy dohPolicy();

// The GUID of an interface name such as "{1D7E0C6B-…}"; nothing when the name is not one.
std::optional<GUID> interfaceGuidOf(std::wstring_view service);

} // namespace dns
