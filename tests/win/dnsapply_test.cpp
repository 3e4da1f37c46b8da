// Apply and Default against the real registry (HKLM, as the program writes it), with
// SetInterfaceDnsSettings answered through its replaceable entry point.
#include "dns/dnsapply.h"
#include "dns/previous_state.h"

#include <objbase.h>

#include <gtest/gtest.h>

#include <string>

#include "registry/modReg.h"

using namespace app;

namespace {

constexpr wchar_t kService[] = L"{4B1D5E2A-0C3F-4A8B-9D71-6E2F8C0A1B3D}";
constexpr wchar_t kInterfaces[] = L"SYSTEM\\ControlSet001\\Services\\Tcpip\\Parameters\\Interfaces";

// The control sets written, spelt out here rather than taken from the program.
std::wstring nameServerAt(std::size_t set, std::wstring_view service) {
    const wchar_t* sets[] = {L"ControlSet001", L"ControlSet002", L"CurrentControlSet"};
    return modReg::readValue(L"HKEY_LOCAL_MACHINE",
                             L"SYSTEM\\" + std::wstring(sets[set]) +
                                 L"\\Services\\Tcpip\\Parameters\\Interfaces\\" +
                                 std::wstring(service),
                             L"NameServer");
}

void removeInterfaceKeys() {
    for (const Family family : kFamilies)
        for (std::size_t set = 0; set < kInterfaceBasePaths.size(); ++set)
            RegDeleteTreeW(HKEY_LOCAL_MACHINE, interfaceKeyPath(family, set, kService).c_str());
}

// What the system call was given.
struct Call {
    GUID guid{};
    ULONG version = 0;
    ULONG64 flags = 0;
    std::wstring nameServer;
};

} // namespace

TEST(ApplyTest, RegistryFirstThenTheRunningSystem) {
    using enum InterfaceDnsResult;
    GUID guid{};
    ASSERT_EQ(IIDFromString(kService, &guid), S_OK);
    const struct {
        const wchar_t* servers;
        std::optional<DWORD> answer; // nothing: the system has no such function
        InterfaceDnsResult live;
    } cases[] = {{L"8.8.8.8,8.8.4.4", NO_ERROR, Applied},
                 {L"", NO_ERROR, Applied}, // Default: an empty list, never a null one
                 {L"9.9.9.9,149.112.112.112", ERROR_INVALID_PARAMETER, Failed},
                 {L"1.1.1.1,1.0.0.1", std::nullopt, NotAvailable}};
    removeInterfaceKeys();
    for (const auto& c : cases) {
        std::vector<Call> calls;
        ScopedSetInterfaceDns system{[&](const GUID& g, const DnsInterfaceSettings& s) {
            calls.push_back({g, s.Version, s.Flags, s.NameServer ? s.NameServer : L"<null>"});
            return c.answer;
        }};
        const auto outcome = changeNameServers(kService, c.servers);
        EXPECT_TRUE(outcome.allWritten()) << c.servers;
        EXPECT_EQ(outcome.live, c.live) << c.servers;
        for (std::size_t set = 0; set < kInterfaceBasePaths.size(); ++set)
            EXPECT_EQ(nameServerAt(set, kService), c.servers) << set;
        // Once per family; without an IPv6 pair the IPv6 servers are cleared.
        ASSERT_EQ(calls.size(), 2u) << c.servers;
        for (const auto& call : calls) {
            EXPECT_TRUE(IsEqualGUID(call.guid, guid));
            EXPECT_EQ(call.version, 1u);
        }
        EXPECT_EQ(calls[0].flags, 2u); // the name servers only
        EXPECT_EQ(calls[0].nameServer, c.servers);
        EXPECT_EQ(calls[1].flags, 3u); // the IPv6 name servers
        EXPECT_EQ(calls[1].nameServer, L"");
    }
    removeInterfaceKeys();
}

TEST(ApplyTest, AServiceNameThatIsNoGuidWritesNothing) {
    int calls = 0;
    ScopedSetInterfaceDns system{[&](const GUID&, const DnsInterfaceSettings&) {
        ++calls;
        return std::optional<DWORD>(NO_ERROR);
    }};
    // Which names are interface GUIDs is the core tests'; one that is not reaches no key.
    const std::wstring service = L"{4B1D5E2A-0C3F-4A8B-9D71-6E2F8C0A1B3D}\\x";
    const auto outcome = changeNameServers(service, L"8.8.8.8,8.8.4.4");
    EXPECT_FALSE(outcome.validService);
    EXPECT_FALSE(outcome.allWritten());
    for (std::size_t set = 0; set < kInterfaceBasePaths.size(); ++set)
        EXPECT_EQ(nameServerAt(set, service), L"") << set;
    EXPECT_EQ(modReg::readValue(L"HKEY_LOCAL_MACHINE", kInterfaces, L"NameServer"), L"");
    EXPECT_EQ(calls, 0);
}

TEST(ApplyTest, OneControlSetRefusedIsReportedAsAPartialWrite) {
    // ControlSet002's interface key refuses values; the other two take them.
    removeInterfaceKeys();
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring settings = std::wstring(temp) + L"keldrast-partial-test.ini";
    DeleteFileW(settings.c_str());
    ASSERT_TRUE(rememberPreviousState(settings, kService)); // every value absent
    const std::wstring locked = std::wstring(kInterfaceBasePaths[1]) + kService;
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, locked.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    SECURITY_DESCRIPTOR sd{};
    ACL acl{};
    ASSERT_TRUE(InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION));
    ASSERT_TRUE(InitializeAcl(&acl, sizeof(acl), ACL_REVISION)); // empty: nobody may do anything
    ASSERT_TRUE(SetSecurityDescriptorDacl(&sd, TRUE, &acl, FALSE));
    ASSERT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &sd), ERROR_SUCCESS);

    int calls = 0;
    ScopedSetInterfaceDns system{[&](const GUID&, const DnsInterfaceSettings&) {
        ++calls;
        return std::optional<DWORD>(NO_ERROR);
    }};
    const auto outcome = changeNameServers(kService, L"8.8.8.8,8.8.4.4");
    EXPECT_EQ(outcome.written, (ControlSetWrites{true, false, true}));
    EXPECT_EQ(calls, 0); // the running system is told only what the registry holds everywhere

    // A restore that cannot write everywhere keeps its record for another try.
    const auto restored = restorePreviousState(settings, kService);
    EXPECT_TRUE(restored.hadRecord);
    EXPECT_EQ(restored.outcome.written, (ControlSetWrites{true, false, true}));
    EXPECT_EQ(nameServerAt(0, kService), L"") << "deleted where it could be";
    EXPECT_TRUE(hasPreviousState(settings, kService));
    DeleteFileW(settings.c_str());
    // Open to all again through the handle that locked it, so no later run finds it refusing.
    ASSERT_TRUE(SetSecurityDescriptorDacl(&sd, TRUE, nullptr, FALSE));
    EXPECT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &sd), ERROR_SUCCESS);
    RegCloseKey(key);
    removeInterfaceKeys();
}

TEST(SystemDns, FlushRunsTheSystemIpconfig) {
    wchar_t system[MAX_PATH];
    const UINT n = GetSystemDirectoryW(system, MAX_PATH);
    const auto command = systemFlushCommand();
    EXPECT_EQ(command.application, std::wstring(system, n) + L"\\ipconfig.exe");
    EXPECT_NE(GetFileAttributesW(command.application.c_str()), INVALID_FILE_ATTRIBUTES);
}
