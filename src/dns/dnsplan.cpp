#include "dns/dnsplan.h"

#include "dns/nameserver_state.h"

#include <algorithm>
#include <optional>

namespace app {

namespace {

constexpr std::wstring_view kNotWritten =
    L"The DNS servers were not changed: the registry could not be written.\r\n"
    L"Run Keldrast as administrator and try again...";
constexpr std::wstring_view kNotInUse =
    L"The DNS servers were saved, but the adapter is not using them yet.\r\n"
    L"They take effect when the adapter reconnects or Windows restarts...";

constexpr std::wstring_view kSavedNotReported =
    L"The DNS servers were saved. Windows does not say which servers the adapter uses now;\r\n"
    L"they take effect when the adapter reconnects or Windows restarts...";

constexpr std::wstring_view kRunAsAdministrator = L"Run Keldrast as administrator and try again...";

std::wstring joinControlSets(const ControlSetWrites& written, bool which) {
    std::wstring names;
    for (std::size_t i = 0; i < written.size(); ++i) {
        if (written[i] != which) continue;
        if (!names.empty()) names += L", ";
        names += controlSetName(i);
    }
    return names;
}

// The stop notice when not every control set was written; nothing when all were.
std::optional<Notice> writeFailure(const ControlSetWrites& written) {
    const std::wstring done = joinControlSets(written, true);
    const std::wstring failed = joinControlSets(written, false);
    if (failed.empty()) return std::nullopt;
    if (done.empty()) return Notice{std::wstring(kNotWritten), kStopFlags};
    return Notice{L"The DNS servers were changed only in part.\r\nWritten: " + done +
                      L"\r\nNot written: " + failed + L"\r\n" + std::wstring(kRunAsAdministrator),
                  kStopFlags};
}

bool isHex(wchar_t c) {
    return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
}

} // namespace

std::wstring_view controlSetName(std::size_t index) {
    std::wstring_view base = kInterfaceBasePaths[index];
    base.remove_prefix(base.find(L'\\') + 1);
    return base.substr(0, base.find(L'\\'));
}

bool isInterfaceGuid(std::wstring_view service) {
    constexpr std::wstring_view shape = L"{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}";
    if (service.size() != shape.size()) return false;
    for (std::size_t i = 0; i < shape.size(); ++i)
        if (shape[i] == L'x' ? !isHex(service[i]) : service[i] != shape[i]) return false;
    return true;
}

std::optional<InterfaceGuid> interfaceGuid(std::wstring_view service) {
    if (!isInterfaceGuid(service)) return std::nullopt;
    // The hex digits in order, without braces and dashes: 32 of them.
    std::uint64_t high = 0, low = 0;
    int digit = 0;
    for (wchar_t c : service) {
        if (!isHex(c)) continue;
        const unsigned value = c <= L'9' ? c - L'0' : (c | 0x20) - L'a' + 10;
        auto& half = digit++ < 16 ? high : low;
        half = half << 4 | value;
    }
    InterfaceGuid guid;
    guid.data1 = static_cast<std::uint32_t>(high >> 32);
    guid.data2 = static_cast<std::uint16_t>(high >> 16);
    guid.data3 = static_cast<std::uint16_t>(high);
    for (int i = 0; i < 8; ++i)
        guid.data4[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(low >> (56 - 8 * i));
    return guid;
}

std::wstring invalidAdapterMessage(std::wstring_view service) {
    return L"The DNS servers were not changed: the selected adapter's interface name \"" +
           std::wstring(service) + L"\" is not an interface GUID...";
}

std::wstring completionMessage(std::wstring_view adapterDescription,
                               std::wstring_view appliedName) {
    std::wstring text = L"Operation completed successfully...\r\nDNS has changed...\r\n\r\n\u00BB ";
    text += adapterDescription;
    text += L"\r\n\u00BB ";
    text += appliedName;
    return text;
}

namespace {

std::wstring joined(const std::vector<std::wstring>& servers) {
    std::wstring text;
    for (const auto& server : servers) {
        if (!text.empty()) text += L", ";
        text += server;
    }
    return text;
}

std::wstring folded(std::wstring text) {
    for (auto& c : text)
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    return text;
}

std::wstring inUseText(const ServersInUse& inUse) {
    if (!inUse) return L"not reported by Windows";
    return inUse->empty() ? L"none" : joined(*inUse);
}

// The line with the servers in use, and the note that follows it when they are not the ones
// applied or Windows does not say.
std::wstring inUseLines(InterfaceDnsResult live, const std::vector<std::wstring>& applied,
                        const ServersInUse& inUse) {
    std::wstring text = L"\r\n\u00BB In use: " + inUseText(inUse);
    switch (readBack(applied, inUse)) {
    case ReadBack::AsApplied:
        break;
    case ReadBack::Differs:
        text += L"\r\n\r\nThe DNS servers were saved, but Windows still uses " + joined(*inUse) +
                L".\r\nThey take effect when the adapter reconnects or Windows restarts...";
        break;
    case ReadBack::NotReported:
        text += L"\r\n\r\n";
        text += live == InterfaceDnsResult::Failed ? kNotInUse : kSavedNotReported;
        break;
    }
    return text;
}

std::wstring serversOrNone(const std::optional<std::wstring>& value) {
    const auto servers = serverList(value.value_or(L""));
    return servers.empty() ? L"none" : joined(servers);
}

} // namespace

ReadBack readBack(const std::vector<std::wstring>& applied, const ServersInUse& inUse) {
    if (!inUse) return ReadBack::NotReported;
    if (applied.empty()) return ReadBack::AsApplied;
    auto sortedFolded = [](const std::vector<std::wstring>& list) {
        std::vector<std::wstring> out;
        for (const auto& s : list)
            out.push_back(folded(s));
        std::sort(out.begin(), out.end());
        out.erase(std::unique(out.begin(), out.end()), out.end());
        return out;
    };
    return sortedFolded(applied) == sortedFolded(*inUse) ? ReadBack::AsApplied : ReadBack::Differs;
}

Notice applyNotice(const ControlSetWrites& written, InterfaceDnsResult live,
                   const std::vector<std::wstring>& applied, const ServersInUse& inUse,
                   std::wstring_view adapterDescription, std::wstring_view appliedName) {
    if (auto failure = writeFailure(written)) return *failure;
    return {completionMessage(adapterDescription, appliedName) + inUseLines(live, applied, inUse),
            kInformationFlags};
}

Notice defaultNotice(const ControlSetWrites& written, InterfaceDnsResult live,
                     const ServersInUse& inUse) {
    if (auto failure = writeFailure(written)) return *failure;
    return {L"DNS has set to default..." + inUseLines(live, {}, inUse), kInformationFlags};
}

Notice restoreNotice(const ControlSetWrites& written, InterfaceDnsResult live,
                     const std::vector<std::wstring>& applied, const ServersInUse& inUse,
                     std::wstring_view adapterDescription) {
    if (auto failure = writeFailure(written)) {
        failure->text += L"\r\nThe previous settings stay recorded, so Restore can be tried again.";
        return *failure;
    }
    return {L"The previous DNS servers were restored...\r\n\r\n\u00BB " +
                std::wstring(adapterDescription) + inUseLines(live, applied, inUse),
            kInformationFlags};
}

std::wstring currentDnsText(std::wstring_view adapterDescription, const CurrentDns& current) {
    std::wstring text = L"\u00BB " + std::wstring(adapterDescription);
    text += L"\r\nIPv4 servers set: " + serversOrNone(current.static4);
    text += L"\r\nIPv6 servers set: " + serversOrNone(current.static6);
    std::vector<std::wstring> dhcp = serverList(current.dhcp4.value_or(L""));
    for (auto& server : serverList(current.dhcp6.value_or(L"")))
        dhcp.push_back(std::move(server));
    text += L"\r\nFrom DHCP: " + (dhcp.empty() ? std::wstring(L"none") : joined(dhcp));
    text += L"\r\nIn use: " + inUseText(current.inUse);
    return text;
}

ProcessCommand flushCommand(std::wstring_view systemDirectory) {
    if (systemDirectory.empty()) return {}; // never fall back to a search by bare name
    std::wstring application(systemDirectory);
    if (!application.empty() && application.back() != L'\\') application += L'\\';
    application += L"ipconfig.exe";
    return {application, L"\"" + application + L"\" /flushdns"};
}

} // namespace app
