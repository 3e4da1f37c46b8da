// What Apply, Default and Flush write, start and say. Pure: the registry writes and the
// process start are in dnsapply and the toolkit.
#pragma once

#include <array>
#include <string>
#include <string_view>

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
// "ControlSet001" and so on: the control-set part of a base path.
std::wstring_view controlSetName(std::size_t index);

// An adapter's service name is the name of its interface key: a braced GUID such as
// "{1D7E0C6B-0000-4000-8000-000000000001}". Nothing else may reach a registry path: an empty
// or odd name would write NameServer on the Interfaces key itself or somewhere else.
bool isInterfaceGuid(std::wstring_view service);
// The stop message for an adapter whose service name is not such a GUID.
std::wstring invalidAdapterMessage(std::wstring_view service);

struct Notice {
    std::wstring text;
    unsigned flags = kInformationFlags;
    bool operator==(const Notice&) const = default;
};

// The five-line message after a successful Apply.
std::wstring completionMessage(std::wstring_view adapterDescription, std::wstring_view appliedName);

// What Apply shows: the completion message when every registry write succeeded, a stop
// message naming the control sets that were and were not written when any failed, and a
// note when the servers were saved but the adapter refused them for now.
Notice applyNotice(const ControlSetWrites& written, InterfaceDnsResult live,
                   std::wstring_view adapterDescription, std::wstring_view appliedName);
// What Default shows, by the same rules.
Notice defaultNotice(const ControlSetWrites& written, InterfaceDnsResult live);

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
