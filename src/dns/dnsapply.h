// Applying DNS servers to an adapter: the NameServer writes in the three control sets,
// telling a running Windows to use them now, and the flush command.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "dns/dnsplan.h"

namespace app {

// Writes value as NameServer (a string) under each control set's interface key of
// service, in order ControlSet001, ControlSet002, CurrentControlSet. All three writes are
// made; true only when all succeeded.
[[nodiscard]] bool applyNameServer(std::wstring_view service, std::wstring_view value);

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
inline constexpr ULONG64 kDnsSettingNameServer = 0x0002;
using SetInterfaceDnsSettingsFn = DWORD(WINAPI*)(GUID, const DnsInterfaceSettings*);

// Replaces the SetInterfaceDnsSettings that setInterfaceDns calls (nullptr: as if the
// system had none); restoreSetInterfaceDnsSettings goes back to looking the function up in the
// system's iphlpapi.dll.
void replaceSetInterfaceDnsSettings(SetInterfaceDnsSettingsFn fn);
void restoreSetInterfaceDnsSettings();

// Tells the adapter whose interface GUID is service to use servers (comma-separated;
// empty: back to automatic) from now on. NotAvailable where the system has no such
// function (before Windows 10 2004, Wine); Failed when it refuses or service is no GUID.
InterfaceDnsResult setInterfaceDns(std::wstring_view service, std::wstring_view servers);

// Both steps of Apply and Default: the registry writes, then, when all of them
// succeeded, the change for the running system.
struct ApplyOutcome {
    bool registryWritten = false;
    InterfaceDnsResult live = InterfaceDnsResult::NotAvailable;
};
ApplyOutcome changeNameServers(std::wstring_view service, std::wstring_view servers);

// ipconfig.exe of this system's system directory with "/flushdns".
ProcessCommand systemFlushCommand();

} // namespace app
