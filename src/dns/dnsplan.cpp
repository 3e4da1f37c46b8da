#include "dns/dnsplan.h"

namespace app {

namespace {

constexpr std::wstring_view kNotWritten =
    L"The DNS servers were not changed: the registry could not be written.\r\n"
    L"Run Keldrast as administrator and try again...";
constexpr std::wstring_view kNotInUse =
    L"The DNS servers were saved, but the adapter is not using them yet.\r\n"
    L"They take effect when the adapter reconnects or Windows restarts...";

} // namespace

std::wstring completionMessage(std::wstring_view adapterDescription,
                               std::wstring_view appliedName) {
    std::wstring text = L"Operation completed successfully...\r\nDNS has changed...\r\n\r\n\u00BB ";
    text += adapterDescription;
    text += L"\r\n\u00BB ";
    text += appliedName;
    return text;
}

Notice applyNotice(bool registryWritten, InterfaceDnsResult live,
                   std::wstring_view adapterDescription, std::wstring_view appliedName) {
    if (!registryWritten) return {std::wstring(kNotWritten), kStopFlags};
    std::wstring text = completionMessage(adapterDescription, appliedName);
    if (live == InterfaceDnsResult::Failed) {
        text += L"\r\n\r\n";
        text += kNotInUse;
    }
    return {text, kInformationFlags};
}

Notice defaultNotice(bool registryWritten, InterfaceDnsResult live) {
    if (!registryWritten) return {std::wstring(kNotWritten), kStopFlags};
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
