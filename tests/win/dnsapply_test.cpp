// Apply and Default against the real registry (HKLM, as the program writes it), with
// SetInterfaceDnsSettings driven through its replaceable entry point.
#include "app/dnsapply.h"

#include <objbase.h>

#include <gtest/gtest.h>

#include <string>

#include "registry/modReg.h"
#include "toolkit/handles.h"

using namespace app;

namespace {

constexpr wchar_t kService[] = L"{4B1D5E2A-0C3F-4A8B-9D71-6E2F8C0A1B3D}";

std::wstring nameServerIn(std::wstring_view base, std::wstring_view service) {
    std::wstring path(base);
    path += service;
    return modReg::readValue(L"HKEY_LOCAL_MACHINE", path, L"NameServer");
}

void removeInterfaceKeys(std::wstring_view service) {
    for (const auto base : {kInterfaceBasePaths[0], kInterfaceBasePaths[1]}) {
        std::wstring path(base);
        path += service;
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, path.c_str());
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, path.c_str());
    }
}

struct Recorded {
    int calls = 0;
    GUID guid{};
    ULONG version = 0;
    ULONG64 flags = 0;
    std::wstring nameServer;
    bool nameServerNull = false;
    DWORD answer = NO_ERROR;
} g_recorded;

DWORD WINAPI recordingSetInterfaceDnsSettings(GUID guid, const DnsInterfaceSettings* settings) {
    ++g_recorded.calls;
    g_recorded.guid = guid;
    g_recorded.version = settings->Version;
    g_recorded.flags = settings->Flags;
    g_recorded.nameServerNull = settings->NameServer == nullptr;
    if (settings->NameServer) g_recorded.nameServer = settings->NameServer;
    return g_recorded.answer;
}

class ApplyTest : public testing::Test {
  protected:
    void SetUp() override {
        removeInterfaceKeys(kService);
        g_recorded = {};
        replaceSetInterfaceDnsSettings(&recordingSetInterfaceDnsSettings);
    }
    void TearDown() override {
        restoreSetInterfaceDnsSettings();
        removeInterfaceKeys(kService);
    }
};

} // namespace

TEST_F(ApplyTest, WritesAllThreeControlSetsThenTellsTheAdapter) {
    const auto outcome = changeNameServers(kService, L"8.8.8.8,8.8.4.4");
    EXPECT_TRUE(outcome.registryWritten);
    EXPECT_EQ(outcome.live, InterfaceDnsResult::Applied);
    for (const auto base : kInterfaceBasePaths)
        EXPECT_EQ(nameServerIn(base, kService), L"8.8.8.8,8.8.4.4") << std::wstring(base);
    ASSERT_EQ(g_recorded.calls, 1);
    GUID expected{};
    ASSERT_EQ(IIDFromString(kService, &expected), S_OK);
    EXPECT_TRUE(IsEqualGUID(g_recorded.guid, expected));
    EXPECT_EQ(g_recorded.version, 1u);
    EXPECT_EQ(g_recorded.flags, 0x2u);
    EXPECT_EQ(g_recorded.nameServer, L"8.8.8.8,8.8.4.4");
}

TEST_F(ApplyTest, DefaultWritesEmptyValuesAndTheEmptyList) {
    ASSERT_TRUE(changeNameServers(kService, L"1.1.1.1,1.0.0.1").registryWritten);
    const auto outcome = changeNameServers(kService, L"");
    EXPECT_TRUE(outcome.registryWritten);
    EXPECT_EQ(outcome.live, InterfaceDnsResult::Applied);
    for (const auto base : kInterfaceBasePaths) {
        std::wstring path(base);
        path += kService;
        tk::unique_hkey key;
        ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, key.put()), 0);
        DWORD type = 0, size = 99;
        ASSERT_EQ(RegQueryValueExW(key.get(), L"NameServer", nullptr, &type, nullptr, &size), 0);
        EXPECT_EQ(type, DWORD(REG_SZ));
        EXPECT_EQ(size, 0u);
    }
    EXPECT_FALSE(g_recorded.nameServerNull);
    EXPECT_EQ(g_recorded.nameServer, L"");
}

TEST_F(ApplyTest, AdapterRefusalIsReportedAsFailed) {
    g_recorded.answer = ERROR_INVALID_PARAMETER;
    const auto outcome = changeNameServers(kService, L"9.9.9.9,149.112.112.112");
    EXPECT_TRUE(outcome.registryWritten);
    EXPECT_EQ(outcome.live, InterfaceDnsResult::Failed);
}

TEST_F(ApplyTest, NoSuchFunctionMeansTheRegistryIsAllThereIs) {
    replaceSetInterfaceDnsSettings(nullptr);
    const auto outcome = changeNameServers(kService, L"9.9.9.9,149.112.112.112");
    EXPECT_TRUE(outcome.registryWritten);
    EXPECT_EQ(outcome.live, InterfaceDnsResult::NotAvailable);
    EXPECT_EQ(g_recorded.calls, 0);
}

TEST_F(ApplyTest, ServiceThatIsNoGuidCannotBeToldLive) {
    const std::wstring service = L"NotAGuid";
    removeInterfaceKeys(service);
    const auto outcome = changeNameServers(service, L"1.1.1.1,1.0.0.1");
    EXPECT_TRUE(outcome.registryWritten);
    EXPECT_EQ(outcome.live, InterfaceDnsResult::Failed);
    EXPECT_EQ(g_recorded.calls, 0);
    removeInterfaceKeys(service);
}

TEST_F(ApplyTest, FailedWriteIsNotSuccessAndTheAdapterIsLeftAlone) {
    // A key name longer than the registry allows cannot be created.
    const std::wstring service(300, L'x');
    EXPECT_FALSE(applyNameServer(service, L"1.1.1.1,1.0.0.1"));
    const auto outcome = changeNameServers(service, L"1.1.1.1,1.0.0.1");
    EXPECT_FALSE(outcome.registryWritten);
    EXPECT_EQ(g_recorded.calls, 0);
    EXPECT_EQ(applyNotice(outcome.registryWritten, outcome.live, L"D", L"N").flags, 16u);
}

TEST(SystemDns, WineHasNoSetInterfaceDnsSettings) {
    restoreSetInterfaceDnsSettings();
    const HMODULE iphlpapi = LoadLibraryExW(L"iphlpapi.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    ASSERT_NE(iphlpapi, nullptr);
    const bool exported = GetProcAddress(iphlpapi, "SetInterfaceDnsSettings") != nullptr;
    FreeLibrary(iphlpapi);
    if (exported) GTEST_SKIP() << "this system has SetInterfaceDnsSettings";
    EXPECT_EQ(setInterfaceDns(kService, L"8.8.8.8,8.8.4.4"), InterfaceDnsResult::NotAvailable);
}

TEST(SystemDns, FlushCommandIsIpconfigOfTheSystemDirectory) {
    wchar_t system[MAX_PATH];
    const UINT n = GetSystemDirectoryW(system, MAX_PATH);
    const auto command = systemFlushCommand();
    EXPECT_EQ(command.application, std::wstring(system, n) + L"\\ipconfig.exe");
    EXPECT_EQ(command.commandLine, L"\"" + command.application + L"\" /flushdns");
    const DWORD attributes = GetFileAttributesW(command.application.c_str());
    EXPECT_NE(attributes, INVALID_FILE_ATTRIBUTES);
}
