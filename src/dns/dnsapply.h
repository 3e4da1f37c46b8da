// Applying DNS servers to an adapter: the NameServer writes of both families in the three
// control sets, telling a running Windows to use them now, reading back what it uses, the
// record and restore of the previous values, and the flush command.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "dns/dnsplan.h"
#include "dns/nameserver_state.h"
#include "toolkit/platform.h"

namespace app {

// Writes value as NameServer (a string) under each control set's interface key of service
// for the family, in order ControlSet001, ControlSet002, CurrentControlSet. All three writes
// are made; the result says which succeeded.
[[nodiscard]] ControlSetWrites applyNameServer(std::wstring_view service, std::wstring_view value,
                                               Family family = Family::V4);

// NameServer of both families in every control set as it stands; nothing when a value could
// not be read (other than being absent).
std::optional<NameServerState> readNameServerState(std::wstring_view service);

// The GUID of an interface name such as "{1D7E0C6B-…}"; nothing when the name is not one.
std::optional<GUID> interfaceGuidOf(std::wstring_view service);
// Puts state back exactly: present values written, absent ones deleted. Says which control
// sets took every change.
[[nodiscard]] ControlSetWrites writeNameServerState(std::wstring_view service,
                                                    const NameServerState& state);

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

// Tells the adapter whose interface GUID is service to use servers of the family
// (comma-separated; empty: back to automatic) from now on. NotAvailable where the system has
// no such function (before Windows 10 2004, Wine); Failed when it refuses or service is no GUID.
InterfaceDnsResult setInterfaceDns(std::wstring_view service, std::wstring_view servers,
                                   Family family = Family::V4);

// Both steps of Apply and Default: the registry writes of both families, then, when all of
// them succeeded, the change for the running system, once per family. servers6 empty clears the
// adapter's static IPv6 servers, so none from an earlier Apply linger. A service name that is
// not an interface GUID is refused before anything is written.
struct ApplyOutcome {
    bool validService = false;
    ControlSetWrites written{}; // a control set counts when both families were written there
    InterfaceDnsResult live = InterfaceDnsResult::NotAvailable;
    ServersInUse inUse; // read back after the change; nothing when the system does not say
    bool allWritten() const;
};
ApplyOutcome changeNameServers(std::wstring_view service, std::wstring_view servers,
                               std::wstring_view servers6 = {});
// Writes a recorded state back (Restore), then tells the running system, as Apply does.
ApplyOutcome restoreNameServers(std::wstring_view service, const NameServerState& state);

// A typed or stored IPv6 pair ("a" or "a,b") as it is written: each address checked and in the
// system's canonical form. Empty stays empty (no IPv6 servers); nothing when an address is bad.
std::optional<std::wstring> ipv6PairValue(std::wstring_view pair);

// ipconfig.exe of this system's system directory with "/flushdns".
ProcessCommand systemFlushCommand();

} // namespace app
