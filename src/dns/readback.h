// What Windows reports for an adapter after a change: the servers it uses now
// (GetAdaptersAddresses) and, on Windows 10 2004 and later, its configured servers per family
// (GetInterfaceDnsSettings). Both are replaceable entry points, so tests can give every answer.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dns/dnsplan.h"
#include "toolkit/platform.h"

struct sockaddr;

namespace dns {

// iphlpapi.dll from the system folder: every call into it is resolved at run time.
HMODULE iphlpapi();
// An address Windows reports, in this program's own text form (no Winsock call); empty for
// another family.
std::wstring addressText(const sockaddr* address);
// GetAdaptersAddresses (both families) with these flags: the buffer that holds its list, empty
// when there are no interfaces; nothing when the function is missing or fails.
std::optional<std::vector<unsigned char>> adapterAddresses(ULONG flags);
struct DnsInterfaceSettings;
// GetInterfaceDnsSettings into `settings` (its Version and Flags set by the caller); `read` looks
// at the record before FreeInterfaceDnsSettings frees it, when the call succeeded. The call's
// status; nothing where Windows lacks the functions (Wine, before Windows 10 2004).
std::optional<DWORD>
queryInterfaceDns(const GUID& guid, DnsInterfaceSettings& settings,
                  const std::function<void(const DnsInterfaceSettings&)>& read = {});

// The DNS servers the adapter whose interface GUID is service uses now, IPv4 and IPv6 as the
// system lists them (the entry point's answer) less the site-local placeholders
// fec0:0:0:ffff::1 to ::3. Nothing when the system does not report that adapter.
std::optional<std::vector<std::wstring>> serversInUse(std::wstring_view service);
using ServersInUseHandler =
    std::function<std::optional<std::vector<std::wstring>>(std::wstring_view service)>;
inline tk::Seam<ServersInUseHandler> serversInUseSeam;
using ScopedServersInUse = tk::ScopedHandler<serversInUseSeam>;

// The configured (static) servers of one family, comma-separated, as GetInterfaceDnsSettings
// gives them; nothing where the system has no such function or it fails.
std::optional<std::wstring> configuredServers(std::wstring_view service, Family family);
using ConfiguredServersHandler =
    std::function<std::optional<std::wstring>(const GUID& guid, Family family)>;
inline tk::Seam<ConfiguredServersHandler> configuredServersSeam;
using ScopedConfiguredServers = tk::ScopedHandler<configuredServersSeam>;

// The DoH settings the system reports in force for the adapter, both families
// (GetInterfaceDnsSettings version 3: each DoH server property with its server); nothing where
// the system has no such function or it fails.
std::optional<std::vector<DohServer>> dohInForce(std::wstring_view service);
using DohInForceHandler =
    std::function<std::optional<std::vector<DohServer>>(const GUID& guid, Family family)>;
inline tk::Seam<DohInForceHandler> dohInForceSeam;
using ScopedDohInForce = tk::ScopedHandler<dohInForceSeam>;

// What the system reports after a change: the servers in use; where it does not list the
// adapter, the servers it is configured with, both families, where it can tell those.
ServersInUse reportedServers(std::wstring_view service);

// Whether an address is one of the placeholders Windows lists for IPv6 when it has no server.
bool isSiteLocalPlaceholder(std::wstring_view address);

} // namespace dns
