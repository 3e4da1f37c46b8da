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

struct Notice {
    std::wstring text;
    unsigned flags = kInformationFlags;
    bool operator==(const Notice&) const = default;
};

// The five-line message after a successful Apply.
std::wstring completionMessage(std::wstring_view adapterDescription, std::wstring_view appliedName);

// What Apply shows: the completion message when the registry writes succeeded, a stop
// message when any failed, and a note when the servers were saved but the adapter
// refused them for now.
Notice applyNotice(bool registryWritten, InterfaceDnsResult live,
                   std::wstring_view adapterDescription, std::wstring_view appliedName);
// What Default shows, by the same rules.
Notice defaultNotice(bool registryWritten, InterfaceDnsResult live);

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
