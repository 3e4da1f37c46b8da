#include "dns/dnsplan.h"

#include <optional>

namespace app {

namespace {

constexpr std::wstring_view kNotWritten =
    L"The DNS servers were not changed: the registry could not be written.\r\n"
    L"Run Keldrast as administrator and try again...";
constexpr std::wstring_view kNotInUse =
    L"The DNS servers were saved, but the adapter is not using them yet.\r\n"
    L"They take effect when the adapter reconnects or Windows restarts...";

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

Notice applyNotice(const ControlSetWrites& written, InterfaceDnsResult live,
                   std::wstring_view adapterDescription, std::wstring_view appliedName) {
    if (auto failure = writeFailure(written)) return *failure;
    std::wstring text = completionMessage(adapterDescription, appliedName);
    if (live == InterfaceDnsResult::Failed) {
        text += L"\r\n\r\n";
        text += kNotInUse;
    }
    return {text, kInformationFlags};
}

Notice defaultNotice(const ControlSetWrites& written, InterfaceDnsResult live) {
    if (auto failure = writeFailure(written)) return *failure;
    std::wstring text = L"DNS has set to default...";
    if (live == InterfaceDnsResult::Failed) {
        text += L"\r\n\r\n";
        text += kNotInUse;
    }
    return {text, kInformationFlags};
}

ProcessCommand flushCommand(std::wstring_view systemDirectory) {
    if (systemDirectory.empty()) return {}; // never fall back to a search by bare name
    std::wstring application(systemDirectory);
    if (!application.empty() && application.back() != L'\\') application += L'\\';
    application += L"ipconfig.exe";
    return {application, L"\"" + application + L"\" /flushdns"};
}

} // namespace app
