// The change engine: the one place where an adapter's DNS servers change, for every front end.
// Apply, DNS Default and Restore record the restore point first, write NameServer of both
// families in the three control sets, tell the running system, read back, and return one
// outcome with its verdict (dnsplan.h). The window, the command line and any later front end
// only gather the request and present the outcome.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dns/dnsplan.h"
#include "dns/network.h"
#include "toolkit/platform.h"

namespace dns {

struct ChangeRequest {
    ChangeKind kind = ChangeKind::Apply;
    std::wstring service{};             // the adapter's interface GUID
    std::wstring servers{}, servers6{}; // Apply: comma-separated; empty: none of the family
    // Go ahead when the previous servers cannot be recorded (the user said so).
    bool withoutRestorePoint = false;
};

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

// The settings record of iphlpapi's SetInterfaceDnsSettings (version 1).
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
};
inline constexpr ULONG kDnsInterfaceSettingsVersion1 = 1;
inline constexpr ULONG64 kDnsSettingIpv6 = 0x0001;
inline constexpr ULONG64 kDnsSettingNameServer = 0x0002;

// The system's SetInterfaceDnsSettings as a replaceable entry point: the result of the call,
// or nothing where the system has no such function. Empty handler: iphlpapi.dll's own.
using SetInterfaceDnsHandler =
    std::function<std::optional<DWORD>(const GUID&, const DnsInterfaceSettings&)>;
inline tk::Seam<SetInterfaceDnsHandler> setInterfaceDnsSeam;
using ScopedSetInterfaceDns = tk::ScopedHandler<setInterfaceDnsSeam>;

// The GUID of an interface name such as "{1D7E0C6B-…}"; nothing when the name is not one.
std::optional<GUID> interfaceGuidOf(std::wstring_view service);

} // namespace dns
