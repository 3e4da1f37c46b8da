#include "dns/dnsapply.h"

#include <objbase.h>

#include "registry/modReg.h"
#include "toolkit/handles.h"

namespace app {

namespace {

bool g_replaced = false;
SetInterfaceDnsSettingsFn g_replacement = nullptr;

} // namespace

bool applyNameServer(std::wstring_view service, std::wstring_view value) {
    bool all = true;
    for (const auto base : kInterfaceBasePaths) {
        std::wstring path(base);
        path += service;
        all = modReg::writeValue(L"HKEY_LOCAL_MACHINE", path, kNameServerValue, value, L"string") &&
              all;
    }
    return all;
}

void replaceSetInterfaceDnsSettings(SetInterfaceDnsSettingsFn fn) {
    g_replaced = true;
    g_replacement = fn;
}

void restoreSetInterfaceDnsSettings() {
    g_replaced = false;
    g_replacement = nullptr;
}

InterfaceDnsResult setInterfaceDns(std::wstring_view service, std::wstring_view servers) {
    // The program runs elevated: the library comes from the system directory only.
    tk::unique_hmodule library;
    SetInterfaceDnsSettingsFn fn = g_replacement;
    if (!g_replaced) {
        library.reset(LoadLibraryExW(L"iphlpapi.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
        if (library)
            fn = reinterpret_cast<SetInterfaceDnsSettingsFn>(
                reinterpret_cast<void*>(GetProcAddress(library.get(), "SetInterfaceDnsSettings")));
    }
    if (!fn) return InterfaceDnsResult::NotAvailable;

    std::wstring guidText(service);
    GUID guid{};
    if (FAILED(IIDFromString(guidText.c_str(), &guid))) return InterfaceDnsResult::Failed;
    std::wstring nameServer(servers);
    DnsInterfaceSettings settings{};
    settings.Version = kDnsInterfaceSettingsVersion1;
    settings.Flags = kDnsSettingNameServer;
    settings.NameServer = nameServer.data();
    return fn(guid, &settings) == NO_ERROR ? InterfaceDnsResult::Applied
                                           : InterfaceDnsResult::Failed;
}

ApplyOutcome changeNameServers(std::wstring_view service, std::wstring_view servers) {
    ApplyOutcome outcome;
    outcome.registryWritten = applyNameServer(service, servers);
    if (outcome.registryWritten) outcome.live = setInterfaceDns(service, servers);
    return outcome;
}

ProcessCommand systemFlushCommand() {
    wchar_t directory[MAX_PATH + 1] = {};
    const UINT n = GetSystemDirectoryW(directory, MAX_PATH + 1);
    return flushCommand(std::wstring_view(directory, n <= MAX_PATH ? n : 0));
}

} // namespace app
