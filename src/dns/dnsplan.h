// What Apply, Default and Flush write, start and say. Pure: the registry writes and the
// process start are in dnsapply and the toolkit.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace app {

// Control sets whose interface keys receive NameServer, in the order they are written.
inline constexpr std::array<std::wstring_view, 3> kInterfaceBasePaths = {
    L"SYSTEM\\ControlSet001\\Services\\Tcpip\\Parameters\\Interfaces\\",
    L"SYSTEM\\ControlSet002\\Services\\Tcpip\\Parameters\\Interfaces\\",
    L"SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces\\"};
inline constexpr std::wstring_view kNetworkCardsPath =
    L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards";
inline constexpr std::wstring_view kNameServerValue = L"NameServer";
inline constexpr std::wstring_view kCustomAppliedName = L"Custom DNS...";

// Message box flags of the standard box.
inline constexpr unsigned kStopFlags = 16;
inline constexpr unsigned kInformationFlags = 64;

// Whether the adapter took the servers at once (Windows 10 2004 and later can be told).
enum class InterfaceDnsResult { NotAvailable, Applied, Failed };

// Which control sets took a write, in the order of kInterfaceBasePaths.
using ControlSetWrites = std::array<bool, kInterfaceBasePaths.size()>;
inline bool allOf(const ControlSetWrites& written) {
    for (const bool w : written)
        if (!w) return false;
    return true;
}
// "ControlSet001" and so on: the control-set part of a base path.
std::wstring_view controlSetName(std::size_t index);

// An adapter's service name is the name of its interface key: a braced GUID such as
// "{1D7E0C6B-0000-4000-8000-000000000001}". Nothing else may reach a registry path: an empty
// or odd name would write NameServer on the Interfaces key itself or somewhere else.
bool isInterfaceGuid(std::wstring_view service);
// Such a name as the GUID's fields; nothing when it is not one.
struct InterfaceGuid {
    std::uint32_t data1 = 0;
    std::uint16_t data2 = 0, data3 = 0;
    std::array<std::uint8_t, 8> data4{};
};
std::optional<InterfaceGuid> interfaceGuid(std::wstring_view service);
// The stop message for an adapter whose service name is not such a GUID.
std::wstring invalidAdapterMessage(std::wstring_view service);

struct Notice {
    std::wstring text;
    unsigned flags = kInformationFlags;
    bool operator==(const Notice&) const = default;
};

// The servers the system says the adapter uses, IPv4 and IPv6; nothing when it does not say
// (Wine, Windows without the functions, or an adapter it does not list).
using ServersInUse = std::optional<std::vector<std::wstring>>;

// What the read-back shows against what was applied. For Default (nothing applied) any
// reported list counts as applied: the servers then come from DHCP.
enum class ReadBack { AsApplied, Differs, NotReported };
ReadBack readBack(const std::vector<std::wstring>& applied, const ServersInUse& inUse);

// The five-line message after a successful Apply.
std::wstring completionMessage(std::wstring_view adapterDescription, std::wstring_view appliedName);

// What Apply shows: the completion message and a sixth line with the servers in use when every
// registry write succeeded, with a note when Windows uses other servers or does not say; a stop
// message naming the control sets that were and were not written when any failed. `applied` is
// every server written, IPv4 then IPv6.
Notice applyNotice(const ControlSetWrites& written, InterfaceDnsResult live,
                   const std::vector<std::wstring>& applied, const ServersInUse& inUse,
                   std::wstring_view adapterDescription, std::wstring_view appliedName);
// What Default shows, by the same rules.
Notice defaultNotice(const ControlSetWrites& written, InterfaceDnsResult live,
                     const ServersInUse& inUse);
// What "Restore previous DNS" shows, by the same rules; `applied` is what CurrentControlSet
// now holds for both families.
Notice restoreNotice(const ControlSetWrites& written, InterfaceDnsResult live,
                     const std::vector<std::wstring>& applied, const ServersInUse& inUse,
                     std::wstring_view adapterDescription);
inline constexpr std::wstring_view kNothingToRestore =
    L"There is nothing to restore for this adapter: Keldrast has not changed its DNS servers...";

// The adapter's DNS settings as the tool tip and "Current DNS servers" show them.
struct CurrentDns {
    std::optional<std::wstring> static4, static6; // NameServer of CurrentControlSet
    std::optional<std::wstring> dhcp4, dhcp6;     // DhcpNameServer
    ServersInUse inUse;
};
std::wstring currentDnsText(std::wstring_view adapterDescription, const CurrentDns& current);

inline constexpr std::wstring_view kFlushFailedMessage =
    L"Could not start \"ipconfig /flushdns\". The DNS cache was not flushed...";

// The flush command: ipconfig.exe of the system directory by full path, never by bare
// name, so that a program file planted beside this one cannot run in its place. Empty
// when the system directory is unknown.
struct ProcessCommand {
    std::wstring application;
    std::wstring commandLine;
};
ProcessCommand flushCommand(std::wstring_view systemDirectory);

} // namespace app
