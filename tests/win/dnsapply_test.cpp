// Apply and Default against the real registry (HKLM, as the program writes it), with
// SetInterfaceDnsSettings driven through its replaceable entry point.
#include "dns/dnsapply.h"

#include <objbase.h>

#include <gtest/gtest.h>

#include <string>

#include "registry/modReg.h"

using namespace app;

namespace {

constexpr wchar_t kService[] = L"{4B1D5E2A-0C3F-4A8B-9D71-6E2F8C0A1B3D}";

void removeInterfaceKeys() {
    for (const auto base : kInterfaceBasePaths)
        for (const auto* service : {kService, L"NotAGuid"})
            RegDeleteTreeW(HKEY_LOCAL_MACHINE, (std::wstring(base) + service).c_str());
}

int g_calls = 0;
DWORD g_answer = NO_ERROR;
GUID g_guid{};
std::wstring g_settings; // version, flags and name servers of the last call

DWORD WINAPI recordingSetInterfaceDnsSettings(GUID guid, const DnsInterfaceSettings* settings) {
    ++g_calls;
    g_guid = guid;
    g_settings = std::to_wstring(settings->Version) + L" " + std::to_wstring(settings->Flags) +
                 L" " + (settings->NameServer ? settings->NameServer : L"<null>");
    return g_answer;
}

} // namespace

TEST(ApplyTest, RegistryFirstThenTheAdapterOnEveryPath) {
    using enum InterfaceDnsResult;
    GUID guid{};
    ASSERT_EQ(IIDFromString(kService, &guid), S_OK);
    const auto rec = &recordingSetInterfaceDnsSettings;
    const std::tuple<std::wstring, const wchar_t*, SetInterfaceDnsSettingsFn, DWORD, bool,
                     InterfaceDnsResult, int>
        cases[] = {
            {kService, L"8.8.8.8,8.8.4.4", rec, NO_ERROR, true, Applied, 1},
            {kService, L"", rec, NO_ERROR, true, Applied, 1}, // Default
            {kService, L"9.9.9.9,149.112.112.112", rec, ERROR_INVALID_PARAMETER, true, Failed, 1},
            {kService, L"1.1.1.1,1.0.0.1", nullptr, NO_ERROR, true, NotAvailable, 0},
            {L"NotAGuid", L"1.1.1.1,1.0.0.1", rec, NO_ERROR, true, Failed, 0},
            // No key may have this name: nothing is written, the adapter is left alone.
            {std::wstring(300, L'x'), L"1.1.1.1,1.0.0.1", rec, NO_ERROR, false, NotAvailable, 0}};
    removeInterfaceKeys();
    for (const auto& [service, servers, fn, answer, written, live, calls] : cases) {
        g_calls = 0;
        g_settings.clear();
        g_answer = answer;
        replaceSetInterfaceDnsSettings(fn);
        const auto outcome = changeNameServers(service, servers);
        EXPECT_EQ(outcome.registryWritten, written) << service;
        EXPECT_EQ(outcome.live, live) << service;
        for (const auto base : kInterfaceBasePaths)
            EXPECT_EQ(modReg::readValue(L"HKEY_LOCAL_MACHINE", std::wstring(base) + service,
                                        L"NameServer"),
                      written ? servers : L"")
                << std::wstring(base);
        EXPECT_EQ(g_calls, calls) << service;
        EXPECT_TRUE(!calls || IsEqualGUID(g_guid, guid));
        EXPECT_EQ(g_settings, calls ? L"1 2 " + std::wstring(servers) : L""); // never a null list
    }
    restoreSetInterfaceDnsSettings();
    removeInterfaceKeys();
}

TEST(SystemDns, WineHasNoSetInterfaceDnsSettingsAndFlushRunsTheSystemIpconfig) {
    const HMODULE iphlpapi = LoadLibraryExW(L"iphlpapi.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    ASSERT_NE(iphlpapi, nullptr);
    EXPECT_TRUE(GetProcAddress(iphlpapi, "SetInterfaceDnsSettings") ||
                setInterfaceDns(kService, L"8.8.8.8") == InterfaceDnsResult::NotAvailable);
    FreeLibrary(iphlpapi);
    wchar_t system[MAX_PATH];
    const UINT n = GetSystemDirectoryW(system, MAX_PATH);
    const auto command = systemFlushCommand();
    EXPECT_EQ(command.application, std::wstring(system, n) + L"\\ipconfig.exe");
    EXPECT_EQ(command.commandLine, L"\"" + command.application + L"\" /flushdns");
    EXPECT_NE(GetFileAttributesW(command.application.c_str()), INVALID_FILE_ATTRIBUTES);
}
