// The change engine against the real registry (HKLM, as the program writes it) and settings
#include "interface_keys.h"
// file, with SetInterfaceDnsSettings and the read-back answered through their entry points.
#include "dns/change.h"

#include <objbase.h>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "catalogue/mConfig.h"
#include "catalogue/settings_lock.h"
#include "dns/network.h"
#include "dns/readback.h"

using namespace dns;
namespace fs = std::filesystem;

namespace {

constexpr wchar_t kService[] = L"{4B1D5E2A-0C3F-4A8B-9D71-6E2F8C0A1B3D}";

// The control sets written, spelt out here rather than taken from the program; "<none>" when
// the value is absent.
std::wstring nameServerAt(Family family, std::size_t set, std::wstring_view service = kService) {
    const wchar_t* sets[] = {L"ControlSet001", L"ControlSet002", L"CurrentControlSet"};
    const std::wstring path = L"SYSTEM\\" + std::wstring(sets[set]) + L"\\Services\\" +
                              (family == Family::V6 ? L"Tcpip6" : L"Tcpip") +
                              L"\\Parameters\\Interfaces\\" + std::wstring(service);
    wchar_t value[256] = {};
    DWORD bytes = sizeof(value);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, path.c_str(), L"NameServer", RRF_RT_REG_SZ, nullptr, value,
                     &bytes) != ERROR_SUCCESS)
        return L"<none>";
    return value;
}
std::wstring allSets(Family family) {
    return nameServerAt(family, 0) + L"|" + nameServerAt(family, 1) + L"|" +
           nameServerAt(family, 2);
}

// Where Windows keeps an adapter's DoH settings, spelt out here rather than taken from the program.
const std::wstring kDohKey =
    L"SYSTEM\\CurrentControlSet\\Services\\Dnscache\\InterfaceSpecificParameters\\" +
    std::wstring(kService) + L"\\DohInterfaceSettings";
constexpr wchar_t kPolicyKey[] = L"SOFTWARE\\Policies\\Microsoft\\Windows NT\\DNSClient";
constexpr wchar_t kGoogle[] = L"https://dns.google/dns-query";

// "flags template" of the server's key under Doh or Doh6; "<none>" without the key.
std::wstring dohAt(const std::wstring& familyAndServer) {
    const std::wstring path = kDohKey + L"\\" + familyAndServer;
    ULONG64 flags = 0;
    DWORD bytes = sizeof(flags);
    wchar_t url[600] = {};
    DWORD urlBytes = sizeof(url);
    const auto f = RegGetValueW(HKEY_LOCAL_MACHINE, path.c_str(), L"DohFlags", RRF_RT_REG_QWORD,
                                nullptr, &flags, &bytes);
    const auto t = RegGetValueW(HKEY_LOCAL_MACHINE, path.c_str(), L"DohTemplate", RRF_RT_REG_SZ,
                                nullptr, url, &urlBytes);
    if (f == ERROR_FILE_NOT_FOUND && t == ERROR_FILE_NOT_FOUND) return L"<none>";
    return (f == ERROR_SUCCESS ? std::to_wstring(flags) : L"-") + L" " +
           (t == ERROR_SUCCESS ? url : L"-");
}
bool dohKeyExists() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kDohKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}
void seedDoh(const std::wstring& familyAndServer, ULONG64 flags, const wchar_t* url) {
    const std::wstring path = kDohKey + L"\\" + familyAndServer;
    ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, path.c_str(), L"DohFlags", REG_QWORD, &flags,
                              sizeof(flags)),
              ERROR_SUCCESS);
    if (!url) return; // the automatic template
    ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, path.c_str(), L"DohTemplate", REG_SZ, url,
                              static_cast<DWORD>((wcslen(url) + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
}
const std::wstring kWellKnown =
    L"SYSTEM\\CurrentControlSet\\Services\\Dnscache\\Parameters\\DohWellKnownServers\\";

std::string fileBytes(const std::wstring& path) {
    std::ifstream in(fs::path(path), std::ios::binary);
    return in ? std::string(std::istreambuf_iterator<char>(in), {}) : "<none>";
}

class ChangeTest : public testing::Test {
  protected:
    void SetUp() override {
        removeInterfaceKeys();
        folder_ = fs::temp_directory_path() / L"keldrast-change-test";
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        settings_ = (folder_ / L"Keldrast.ini").wstring();
    }
    void TearDown() override {
        removeInterfaceKeys();
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
    static void removeInterfaceKeys(std::wstring_view service = kService) {
        testhost::removeInterfaceKeys(service);
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, kDohKey.c_str());
        RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kPolicyKey, L"DoHPolicy");
        RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kPolicyKey, L"DohPolicySetting");
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, (kWellKnown + L"192.0.2.53").c_str());
    }
    ChangeOutcome apply(std::wstring servers, std::wstring servers6 = {}, bool force = false,
                        std::wstring url = {}, DohMode mode = DohMode::Fallback) {
        return change({ChangeKind::Apply, kService, std::move(servers), std::move(servers6), force,
                       std::move(url), mode},
                      settings_);
    }
    fs::path folder_;
    std::wstring settings_;
    ScopedServersInUse notReported_{[](std::wstring_view) { return std::nullopt; }};
    // Windows 10 unless a test says otherwise, whatever Wine reports.
    ScopedSystemBuild windows10_{[] { return 19045u; }};
    // The build decides unless a test says what GetInterfaceDnsSettings answers.
    ScopedDohClient noProbe_{[](const GUID&) { return std::optional<bool>(); }};
};

// What the system call was given.
struct Call {
    GUID guid{};
    ULONG version = 0;
    ULONG64 flags = 0;
    std::wstring nameServer;
    std::wstring properties{}; // "index:type:version:flags:template" of each, space-separated
};
Call callOf(const GUID& g, const DnsInterfaceSettings& s) {
    Call call{g, s.Version, s.Flags, s.NameServer ? s.NameServer : L"<null>"};
    for (ULONG i = 0; s.Version == 3 && i < s.cServerProperties; ++i) {
        const auto& p = s.ServerProperties[i];
        call.properties += (i ? L" " : L"") + std::to_wstring(p.ServerIndex) + L":" +
                           std::to_wstring(p.Type) + L":" + std::to_wstring(p.Version) + L":" +
                           std::to_wstring(p.DohSettings->Flags) + L":" +
                           (p.DohSettings->Template ? p.DohSettings->Template : L"<null>");
    }
    return call;
}

} // namespace

TEST_F(ChangeTest, RestorePointFirstThenRegistryThenTheRunningSystem) {
    using enum InterfaceDnsResult;
    GUID guid{};
    ASSERT_EQ(IIDFromString(kService, &guid), S_OK);
    const struct {
        const wchar_t* servers;
        std::optional<DWORD> answer4, answer6; // nothing: the system has no such function
        Result result;
    } cases[] = {{L"8.8.8.8,8.8.4.4", NO_ERROR, NO_ERROR, Result::Saved},
                 {L"", NO_ERROR, NO_ERROR, Result::Saved}, // an empty list, never a null one
                 {L"9.9.9.9", NO_ERROR, ERROR_INVALID_PARAMETER, Result::Refused}, // IPv6 only
                 {L"1.1.1.1,1.0.0.1", std::nullopt, std::nullopt, Result::Saved}};
    for (const auto& c : cases) {
        std::vector<Call> calls;
        ScopedSetInterfaceDns system{[&](const GUID& g, const DnsInterfaceSettings& s) {
            calls.push_back({g, s.Version, s.Flags, s.NameServer ? s.NameServer : L"<null>"});
            return calls.size() == 1 ? c.answer4 : c.answer6;
        }};
        const auto outcome = apply(c.servers, L"fd00::53");
        EXPECT_EQ(outcome.result, c.result) << c.servers;
        EXPECT_EQ(outcome.recorded, &c == cases) << "only the first change records";
        EXPECT_EQ(allSets(Family::V4),
                  std::wstring(c.servers) + L"|" + c.servers + L"|" + c.servers);
        EXPECT_EQ(allSets(Family::V6), L"fd00::53|fd00::53|fd00::53");
        ASSERT_EQ(calls.size(), 2u) << c.servers; // once per family
        for (const auto& call : calls) {
            EXPECT_TRUE(IsEqualGUID(call.guid, guid));
            EXPECT_EQ(call.version, 1u);
        }
        EXPECT_EQ(calls[0].flags, 2u); // the name servers only
        EXPECT_EQ(calls[0].nameServer, c.servers);
        EXPECT_EQ(calls[1].flags, 3u); // the IPv6 name servers
        EXPECT_EQ(calls[1].nameServer, L"fd00::53");
    }
    // The record kept the state before the first change: every value absent, no DoH settings.
    EXPECT_EQ(mConfig::restoreRecord(settings_, kService), L"-|-|-|-|-|-|-");
}

TEST_F(ChangeTest, NothingWrittenWithoutAWayBackUnlessForced) {
    // A NameServer that is not text cannot be recorded.
    const std::wstring key = interfaceKeyPath(Family::V4, 0, kService);
    const DWORD number = 7;
    ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"NameServer", REG_DWORD, &number,
                              sizeof(number)),
              ERROR_SUCCESS);
    auto outcome = apply(L"8.8.8.8");
    EXPECT_EQ(outcome.result, Result::NoRestorePoint);
    EXPECT_EQ(allSets(Family::V4), L"<none>|<none>|<none>");
    EXPECT_FALSE(fs::exists(settings_));
    outcome = apply(L"8.8.8.8", {}, true);
    EXPECT_EQ(outcome.result, Result::Saved);
    EXPECT_FALSE(outcome.recorded);
    EXPECT_EQ(allSets(Family::V4), L"8.8.8.8|8.8.8.8|8.8.8.8");

    // A settings file that is unusable (here: in an encoding not read) stays byte for byte.
    removeInterfaceKeys();
    std::ofstream(fs::path(settings_), std::ios::binary) << std::string("\xFE\xFF\0[", 4);
    outcome = apply(L"1.1.1.1");
    EXPECT_EQ(outcome.result, Result::NoRestorePoint);
    EXPECT_NE(outcome.why.find(settings_), std::wstring::npos);
    EXPECT_EQ(fileBytes(settings_), std::string("\xFE\xFF\0[", 4));
    EXPECT_EQ(allSets(Family::V4), L"<none>|<none>|<none>");
}

TEST_F(ChangeTest, RestorePutsBackExactlyAndRefusesARecordThatIsNoServerList) {
    // Before: one value set, one empty, the rest absent.
    ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, interfaceKeyPath(Family::V4, 0, kService).c_str(),
                              L"NameServer", REG_SZ, L"9.9.9.9", 16),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, interfaceKeyPath(Family::V6, 2, kService).c_str(),
                              L"NameServer", REG_SZ, L"", 2),
              ERROR_SUCCESS);
    ASSERT_TRUE(apply(L"8.8.8.8", L"2001:4860:4860::8888").recorded);
    ASSERT_EQ(change({ChangeKind::Default, kService}, settings_).result, Result::Saved);
    EXPECT_TRUE(canRestore(settings_, kService));
    const auto restored = change({ChangeKind::Restore, kService}, settings_);
    EXPECT_EQ(restored.result, Result::Saved);
    EXPECT_EQ(allSets(Family::V4), L"9.9.9.9|<none>|<none>");
    EXPECT_EQ(allSets(Family::V6), L"<none>|<none>|");
    EXPECT_FALSE(canRestore(settings_, kService)) << "the record is dropped";
    EXPECT_EQ(change({ChangeKind::Restore, kService}, settings_).result, Result::NothingToRestore);

    // A record edited into something else is refused and nothing is written.
    for (const auto* evil : {L"=evil%0020text;%0000tail|-|-|-|-|-", L"-|-|-|-|-|=not-an-ipv6"}) {
        ASSERT_TRUE(mConfig::writeRestoreRecord(settings_, kService, evil));
        EXPECT_EQ(change({ChangeKind::Restore, kService}, settings_).result,
                  Result::BadRestoreRecord);
        EXPECT_EQ(allSets(Family::V4), L"9.9.9.9|<none>|<none>");
        EXPECT_EQ(allSets(Family::V6), L"<none>|<none>|");
    }
}

TEST_F(ChangeTest, OneControlSetRefusedIsAPartialWriteAndRestoreKeepsItsRecord) {
    ASSERT_TRUE(apply(L"1.1.1.1").recorded); // the record: every value absent
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
    const auto outcome = apply(L"8.8.8.8,8.8.4.4");
    EXPECT_EQ(outcome.result, Result::PartlyWritten);
    EXPECT_EQ(outcome.written, (Writes{{true, false, true}, {true, true, true}}));
    EXPECT_EQ(calls, 0); // the running system is told only what the registry holds everywhere

    const auto restored = change({ChangeKind::Restore, kService}, settings_);
    EXPECT_EQ(restored.result, Result::PartlyWritten);
    EXPECT_EQ(nameServerAt(Family::V4, 0), L"<none>") << "deleted where it could be";
    EXPECT_TRUE(canRestore(settings_, kService));
    // Open to all again through the handle that locked it, so no later run finds it refusing.
    ASSERT_TRUE(SetSecurityDescriptorDacl(&sd, TRUE, nullptr, FALSE));
    EXPECT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &sd), ERROR_SUCCESS);
    RegCloseKey(key);
}

TEST_F(ChangeTest, TheReadBackLeavesOutThePlaceholdersAndUsesConfiguredServersWhenUnlisted) {
    ScopedServersInUse listed{[](std::wstring_view) {
        return ServersInUse{{L"8.8.8.8", L"fec0:0:0:ffff::1", L"fec0:0:0:ffff::2",
                             L"fec0:0:0:ffff::3", L"fd00::53"}};
    }};
    EXPECT_EQ(apply(L"8.8.8.8", L"fd00::53").inUse, (ServersInUse{{L"8.8.8.8", L"fd00::53"}}));
    ScopedServersInUse unlisted{[](std::wstring_view) { return std::nullopt; }};
    ScopedConfiguredServers configured{[](const GUID&, Family family) {
        return std::optional<std::wstring>(family == Family::V4 ? L"1.1.1.1" : L"");
    }};
    EXPECT_EQ(apply(L"1.1.1.1").result, Result::Applied);
}

TEST_F(ChangeTest, AServiceNameThatIsNoGuidWritesNothing) {
    int calls = 0;
    ScopedSetInterfaceDns system{[&](const GUID&, const DnsInterfaceSettings&) {
        ++calls;
        return std::optional<DWORD>(NO_ERROR);
    }};
    const std::wstring service = std::wstring(kService) + L"\\x";
    const auto outcome = change({ChangeKind::Apply, service, L"8.8.8.8"}, settings_);
    EXPECT_EQ(outcome.result, Result::InvalidAdapter);
    EXPECT_EQ(nameServerAt(Family::V4, 0, service), L"<none>");
    EXPECT_EQ(calls, 0);
    EXPECT_FALSE(fs::exists(settings_));
}

TEST_F(ChangeTest, AnAddressNoServerCanHaveIsRefusedBeforeAnythingIsRecordedOrWritten) {
    int calls = 0;
    ScopedSetInterfaceDns system{[&](const GUID&, const DnsInterfaceSettings&) {
        ++calls;
        return std::optional<DWORD>(NO_ERROR);
    }};
    for (const auto& [v4, v6] :
         {std::pair{L"0.8.4.4,8.8.8.8", L""}, std::pair{L"8.8.8.8", L"fe80::1"}}) {
        const auto outcome = apply(v4, v6);
        EXPECT_EQ(outcome.result, Result::UnusableServer) << v4;
        EXPECT_NE(outcome.why.find(v6[0] ? L"fe80::1" : L"0.8.4.4"), std::wstring::npos);
        EXPECT_EQ(nameServerAt(Family::V4, 2), L"<none>");
        EXPECT_FALSE(fs::exists(settings_)) << "no restore record";
    }
    EXPECT_EQ(calls, 0);
    // What goes ahead is written in canonical text.
    EXPECT_EQ(apply(L"8.8.8.8", L"2001:4860:4860:0:0:0:0:8888").result, Result::Saved);
    EXPECT_EQ(nameServerAt(Family::V6, 2), L"2001:4860:4860::8888");
}

TEST_F(ChangeTest, EncryptedDnsIsWrittenHandedOverRemovedAndRestoredExactly) {
    ScopedSystemBuild windows11{[] { return 22631u; }};
    seedDoh(L"Doh\\9.9.9.9", 2, L"https://dns.quad9.net/dns-query"); // the user's own, before
    std::vector<Call> calls;
    std::optional<DWORD> answer = NO_ERROR;
    ScopedSetInterfaceDns system{[&](const GUID& g, const DnsInterfaceSettings& s) {
        calls.push_back(callOf(g, s));
        return answer;
    }};
    auto outcome = apply(L"8.8.8.8,8.8.4.4", L"2001:4860:4860::8888", false, kGoogle);
    EXPECT_EQ(outcome.result, Result::Saved);
    EXPECT_EQ(outcome.doh.result, DohResult::Encrypted);
    EXPECT_EQ(dohAt(L"Doh\\8.8.8.8"), L"6 https://dns.google/dns-query");
    EXPECT_EQ(dohAt(L"Doh\\8.8.4.4"), L"6 https://dns.google/dns-query");
    EXPECT_EQ(dohAt(L"Doh6\\2001:4860:4860::8888"), L"6 https://dns.google/dns-query");
    EXPECT_EQ(dohAt(L"Doh\\9.9.9.9"), L"<none>") << "an earlier server does not stay encrypted";
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].version, 3u);
    EXPECT_EQ(calls[0].flags, 0x1002u); // name servers and DoH
    EXPECT_EQ(calls[0].properties,
              L"0:1:1:6:https://dns.google/dns-query 1:1:1:6:https://dns.google/dns-query");
    EXPECT_EQ(calls[1].flags, 0x1003u);
    EXPECT_EQ(calls[1].properties, L"0:1:1:6:https://dns.google/dns-query");
    EXPECT_NE(
        changeNotice(outcome, L"LAN", L"Google DNS")
            .text.find(L"\r\n\u00BB Encrypted: DNS over HTTPS (dns.google), plain when it fails"),
        std::wstring::npos);

    // Encrypted only; then the live call missing: the settings stay for the next connection.
    answer = std::nullopt;
    outcome = apply(L"8.8.8.8", {}, false, kGoogle, DohMode::Only);
    EXPECT_EQ(outcome.doh.result, DohResult::OnReconnect);
    EXPECT_EQ(dohAt(L"Doh\\8.8.8.8"), L"2 https://dns.google/dns-query");
    EXPECT_EQ(dohAt(L"Doh\\8.8.4.4"), L"<none>");

    // A plain entry, or the setting off, removes them; the running system is told none.
    answer = NO_ERROR;
    calls.clear();
    for (const auto& [url, mode, result] :
         {std::tuple{L"", DohMode::Fallback, DohResult::NoTemplate},
          std::tuple{kGoogle, DohMode::Off, DohResult::Off}}) {
        seedDoh(L"Doh\\1.1.1.1", 6, kGoogle);
        EXPECT_EQ(apply(L"1.1.1.1", {}, false, url, mode).doh.result, result);
        EXPECT_FALSE(dohKeyExists());
    }
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[2].version, 3u) << "clears the running system's DoH settings";
    EXPECT_EQ(calls[2].properties, L"");
    EXPECT_EQ(calls[3].version, 1u) << "never DoH for a family without servers";

    seedDoh(L"Doh\\1.1.1.1", 6, kGoogle);
    EXPECT_EQ(change({ChangeKind::Default, kService}, settings_).result, Result::Saved);
    EXPECT_FALSE(dohKeyExists()) << "DNS Default removes them with the servers";
    EXPECT_EQ(change({ChangeKind::Restore, kService}, settings_).result, Result::Saved);
    EXPECT_EQ(dohAt(L"Doh\\9.9.9.9"), L"2 https://dns.quad9.net/dns-query");
    EXPECT_EQ(dohAt(L"Doh\\1.1.1.1"), L"<none>");
}

TEST_F(ChangeTest, OlderWindowsAPolicyAndBadTemplatesGetNothingDohRelated) {
    std::vector<Call> calls;
    ScopedSetInterfaceDns system{[&](const GUID& g, const DnsInterfaceSettings& s) {
        calls.push_back(callOf(g, s));
        return std::optional<DWORD>(NO_ERROR);
    }};
    seedDoh(L"Doh\\9.9.9.9", 2, L"https://dns.quad9.net/dns-query");
    {
        ScopedSystemBuild windows10{[] { return 19045u; }};
        const auto outcome = apply(L"8.8.8.8", {}, false, kGoogle);
        EXPECT_EQ(outcome.doh.result, DohResult::NotOffered);
        EXPECT_NE(changeNotice(outcome, L"LAN", L"G")
                      .text.find(L"no, because this Windows does not offer encryption per adapter"),
                  std::wstring::npos);
    }
    EXPECT_EQ(calls.back().version, 1u);
    ScopedSystemBuild windows11{[] { return 22000u; }};
    const DWORD forbid = 1, require = 3;
    ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, kPolicyKey, L"DoHPolicy", REG_DWORD, &forbid, 4),
              ERROR_SUCCESS);
    auto outcome = apply(L"8.8.8.8", {}, false, kGoogle);
    EXPECT_EQ(outcome.doh.result, DohResult::Forbidden);
    EXPECT_EQ(calls.back().version, 1u);
    EXPECT_NE(encryptionVerdict(outcome).find(L"administrator blocks DNS over HTTPS"),
              std::wstring::npos);
    EXPECT_EQ(dohAt(L"Doh\\9.9.9.9"), L"2 https://dns.quad9.net/dns-query") << "left alone";
    EXPECT_EQ(dohAt(L"Doh\\8.8.8.8"), L"<none>");
    ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, kPolicyKey, L"DoHPolicy", REG_DWORD, &require, 4),
              ERROR_SUCCESS);
    outcome = apply(L"8.8.8.8", {}, false, kGoogle);
    EXPECT_EQ(outcome.doh.result, DohResult::Encrypted);
    EXPECT_NE(encryptionVerdict(outcome).find(L"requires encrypted DNS"), std::wstring::npos);

    const auto record = mConfig::restoreRecord(settings_, kService);
    for (const auto* bad :
         {L"http://dns.google/dns-query", L"https://1.0.0.1/q", L"https://a b/"}) {
        outcome = apply(L"1.1.1.1", {}, false, bad);
        EXPECT_EQ(outcome.result, Result::BadTemplate) << bad;
        EXPECT_NE(verdictText(outcome).find(bad), std::wstring::npos);
    }
    EXPECT_EQ(allSets(Family::V4), L"8.8.8.8|8.8.8.8|8.8.8.8") << "nothing written";
    EXPECT_EQ(mConfig::restoreRecord(settings_, kService), record);
}

TEST_F(ChangeTest, DohOnlyForAFamilyWithServersAndThePlainCallWhenWindowsRefusesIt) {
    ScopedSystemBuild windows11{[] { return 22631u; }};
    std::vector<Call> calls;
    DWORD refuse3 = NO_ERROR; // what Windows answers a version-3 record
    ScopedSetInterfaceDns system{[&](const GUID& g, const DnsInterfaceSettings& s) {
        calls.push_back(callOf(g, s));
        return std::optional<DWORD>(s.Version == 3 ? refuse3 : NO_ERROR);
    }};
    auto outcome = apply(L"8.8.8.8", {}, false, kGoogle);
    EXPECT_EQ(outcome.doh.result, DohResult::Encrypted);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].flags, 0x1002u);
    EXPECT_EQ(calls[1].version, 1u) << "an entry without IPv6 servers";
    EXPECT_EQ(calls[1].flags, 0x3u);
    calls.clear();
    EXPECT_EQ(change({ChangeKind::Default, kService}, settings_).result, Result::Saved);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].version + calls[1].version, 2u) << "DNS Default: version 1 for both";
    EXPECT_EQ(calls[0].nameServer + calls[1].nameServer, L"");

    // Refused: the servers alone, the DoH settings kept for the next connection, and said so.
    refuse3 = ERROR_INVALID_PARAMETER;
    calls.clear();
    outcome = apply(L"8.8.8.8,8.8.4.4", L"2001:4860:4860::8888", false, kGoogle);
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].version, 3u);
    EXPECT_EQ(calls[1].version, 1u);
    EXPECT_EQ(calls[1].nameServer, L"8.8.8.8,8.8.4.4");
    EXPECT_EQ(calls[1].flags, 0x2u);
    EXPECT_EQ(calls[3].flags, 0x3u);
    EXPECT_EQ(outcome.live, InterfaceDnsResult::Applied);
    EXPECT_EQ(outcome.result, Result::Saved) << "plain DNS does not fail for DoH";
    EXPECT_EQ(outcome.doh.result, DohResult::Deferred);
    EXPECT_EQ(dohAt(L"Doh\\8.8.4.4"), L"6 https://dns.google/dns-query");
    EXPECT_NE(encryptionVerdict(outcome).find(L"from when the adapter reconnects"),
              std::wstring::npos);
}

TEST_F(ChangeTest, TheDohClientIsAskedForThenTheBuildDecidesAndEitherPolicyValueBlocks) {
    ScopedSetInterfaceDns system{
        [](const GUID&, const DnsInterfaceSettings&) { return std::optional<DWORD>(NO_ERROR); }};
    using P = std::optional<bool>;
    for (const auto& [probe, build, result] : {std::tuple{P(), 20348u, DohResult::Encrypted},
                                               std::tuple{P(), 20347u, DohResult::NotOffered},
                                               std::tuple{P(false), 22631u, DohResult::NotOffered},
                                               std::tuple{P(true), 19045u, DohResult::Encrypted}}) {
        ScopedSystemBuild system{[build] { return build; }};
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, kDohKey.c_str());
        std::wstring asked;
        ScopedDohClient client{[&, probe](const GUID& g) {
            wchar_t text[40] = {};
            StringFromGUID2(g, text, 40);
            asked = text;
            return probe;
        }};
        EXPECT_EQ(apply(L"8.8.8.8", {}, false, kGoogle).doh.result, result) << build;
        EXPECT_EQ(asked, kService);
        EXPECT_EQ(dohAt(L"Doh\\8.8.8.8") != L"<none>", result == DohResult::Encrypted) << build;
    }

    ScopedSystemBuild windows11{[] { return 22631u; }};
    seedDoh(L"Doh\\8.8.8.8", 2, L"https://dns.quad9.net/dns-query");
    const DWORD block = 1, require = 3;
    for (const auto* value : {L"DoHPolicy", L"DohPolicySetting"}) {
        ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, kPolicyKey, value, REG_DWORD, &block, 4),
                  ERROR_SUCCESS);
        if (std::wstring_view(value) == L"DohPolicySetting") { // encryption required, DoT only
            ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, kPolicyKey, L"DoHPolicy", REG_DWORD,
                                      &require, 4),
                      ERROR_SUCCESS);
        }
        const auto outcome = apply(L"8.8.8.8", {}, false, kGoogle);
        EXPECT_EQ(outcome.doh.result, DohResult::Forbidden) << value;
        EXPECT_EQ(dohAt(L"Doh\\8.8.8.8"), L"2 https://dns.quad9.net/dns-query") << "untouched";
        EXPECT_NE(changeNotice(outcome, L"LAN", L"G").text.find(L"administrator blocks"),
                  std::wstring::npos);
        RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kPolicyKey, L"DoHPolicy");
    }
}

TEST_F(ChangeTest, TheAutomaticTemplateIsShownWithItsListedHostAndRestoredExactly) {
    ScopedSystemBuild windows11{[] { return 22631u; }};
    apply(L"192.0.2.53", L"2001:db8::53");
    ASSERT_TRUE(mConfig::dropRestoreRecord(settings_, kService)); // as if set in Settings
    seedDoh(L"Doh\\192.0.2.53", 1, nullptr);
    seedDoh(L"Doh6\\2001:db8::53", 5, nullptr);
    const std::wstring listed = kWellKnown + L"192.0.2.53";
    const wchar_t url[] = L"https://doh.example/dns-query";
    const ULONG64 listedFlags = 7;
    ASSERT_EQ(
        RegSetKeyValueW(HKEY_LOCAL_MACHINE, listed.c_str(), L"Template", REG_SZ, url, sizeof(url)),
        ERROR_SUCCESS);
    ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, listed.c_str(), L"Flags", REG_QWORD, &listedFlags,
                              sizeof(listedFlags)),
              ERROR_SUCCESS);
    const auto current = currentDns(kService);
    ASSERT_EQ(current.wellKnown.size(), 1u) << "the unlisted IPv6 server is left out";
    EXPECT_EQ(current.wellKnown[0].flags, 7u);
    EXPECT_EQ(currentEncryptionText(current),
              L"192.0.2.53, 2001:db8::53: DNS over HTTPS (automatic template: doh.example, "
              L"automatic template)");
    EXPECT_NE(currentDnsText(L"LAN", current).find(L"automatic template: doh.example"),
              std::wstring::npos);

    apply(L"8.8.8.8", {}, false, kGoogle);
    EXPECT_EQ(dohAt(L"Doh\\192.0.2.53"), L"<none>");
    EXPECT_EQ(change({ChangeKind::Restore, kService}, settings_).result, Result::Saved);
    EXPECT_EQ(dohAt(L"Doh\\192.0.2.53"), L"1 -");
    EXPECT_EQ(dohAt(L"Doh6\\2001:db8::53"), L"5 -");
    EXPECT_EQ(dohAt(L"Doh\\8.8.8.8"), L"<none>");
}

TEST_F(ChangeTest, ARecordOfAnOlderCopyGainsTheDohSettingsBeforeTheyChange) {
    ASSERT_TRUE(mConfig::writeRestoreRecord(settings_, kService, L"=4.4.4.4|-|-|-|-|-"));
    seedDoh(L"Doh\\4.4.4.4", 6, L"https://dns.example/q");
    apply(L"8.8.8.8", {}, false, kGoogle); // Windows 10: no DoH written, the record as it was
    EXPECT_EQ(mConfig::restoreRecord(settings_, kService), L"=4.4.4.4|-|-|-|-|-");
    ScopedSystemBuild windows11{[] { return 22631u; }};
    EXPECT_FALSE(apply(L"8.8.8.8", {}, false, kGoogle).recorded) << "the record was there";
    EXPECT_EQ(mConfig::restoreRecord(settings_, kService),
              L"=4.4.4.4|-|-|-|-|-|+|4,4.4.4.4,6,=https://dns.example/q");
    EXPECT_EQ(change({ChangeKind::Restore, kService}, settings_).result, Result::Saved);
    EXPECT_EQ(allSets(Family::V4), L"4.4.4.4|<none>|<none>");
    EXPECT_EQ(dohAt(L"Doh\\4.4.4.4"), L"6 https://dns.example/q");
    EXPECT_EQ(dohAt(L"Doh\\8.8.8.8"), L"<none>");
}

TEST(Flush, RunsTheSystemIpconfigAndWaitsOnlyWhenAsked) {
    std::vector<std::pair<std::wstring, DWORD>> runs;
    tk::ScopedStartProcess starts{
        [&](const std::wstring& app, const std::wstring&, int, DWORD wait) {
            runs.emplace_back(app, wait);
            return tk::ProcessRun{true, wait ? std::optional<DWORD>(1) : std::nullopt};
        }};
    EXPECT_EQ(flushResolverCache(false).result, FlushResult::Started);
    const auto waited = flushResolverCache(true);
    EXPECT_EQ(waited.result, FlushResult::Failed);
    EXPECT_EQ(waited.exitCode, 1u);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0], (std::pair{tk::systemDirectory() + L"\\ipconfig.exe", DWORD{0}}));
    EXPECT_GT(runs[1].second, 0u);
}

namespace {

// A name resolution policy rule under the local key, or the group-policy one; removed again.
struct PolicyRuleKey {
    PolicyRuleKey(bool groupPolicy, const wchar_t* names, std::size_t namesBytes,
                  const wchar_t* servers)
        : path(std::wstring(groupPolicy
                                ? L"SOFTWARE\\Policies\\Microsoft\\Windows NT\\DNSClient"
                                : L"SYSTEM\\CurrentControlSet\\Services\\Dnscache\\Parameters") +
               L"\\DnsPolicyConfig") {
        const std::wstring rule =
            path + L"\\{5A4B3C2D-0000-4000-8000-00000000000" + (groupPolicy ? L"1}" : L"2}");
        EXPECT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, rule.c_str(), L"Name", REG_MULTI_SZ, names,
                                  static_cast<DWORD>(namesBytes)),
                  ERROR_SUCCESS);
        EXPECT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, rule.c_str(), L"GenericDNSServers", REG_SZ,
                                  servers,
                                  static_cast<DWORD>((wcslen(servers) + 1) * sizeof(wchar_t))),
                  ERROR_SUCCESS);
    }
    ~PolicyRuleKey() { RegDeleteTreeW(HKEY_LOCAL_MACHINE, path.c_str()); }
    std::wstring path;
};

std::vector<std::wstring> codesOf(const ChangeOutcome& outcome) {
    std::vector<std::wstring> codes;
    for (const auto& w : outcome.warnings)
        codes.push_back(w.code);
    return codes;
}

} // namespace

TEST_F(ChangeTest, WarningsFromWhatWindowsReportsAndThePolicyRulesInTheRegistry) {
    const std::wstring wifi = L"{4B1D5E2A-0C3F-4A8B-9D71-6E2F8C0A1B3E}";
    removeInterfaceKeys(wifi);
    std::vector<SystemAdapter> adapters{
        {kService, L"Ethernet", L"NIC", 4, 4, 6, false, true, false, L"", {}},
        {wifi, L"Wi-Fi", L"WLAN", 7, 7, 71, true, true, true, L"", {L"192.168.1.1"}}};
    ScopedSystemAdapters reported{[&] { return std::optional(adapters); }};
    ScopedBestInterface route{[](Family) { return std::optional<unsigned long>(7); }};
    auto outcome = apply(L"9.9.9.9");
    EXPECT_EQ(codesOf(outcome),
              (std::vector<std::wstring>{L"not-connected", L"other-adapter-servers"}));
    EXPECT_NE(outcome.warnings[0].text.find(L"\"Wi-Fi\" carries the default route"),
              std::wstring::npos)
        << outcome.warnings[0].text;

    // Both changed at once: connected, and no other adapter left to ask.
    adapters[0].up = true;
    const auto both = changeEach({ChangeKind::Apply, {}, L"9.9.9.9"}, {kService, wifi}, settings_);
    ASSERT_EQ(both.size(), 2u);
    for (const auto& o : both) {
        EXPECT_EQ(o.result, Result::Saved);
        EXPECT_TRUE(o.warnings.empty()) << o.warnings[0].text;
    }
    EXPECT_EQ(mConfig::restoreRecord(settings_, wifi), L"-|-|-|-|-|-|-");
    EXPECT_EQ(mConfig::chosenAdapter(settings_), kService);

    // A rule for every name sends queries elsewhere; group policy's rules replace the local ones.
    // Every name after another one in the rule's list of names.
    static constexpr wchar_t kEveryName[] = L"intranet\0.\0";
    static constexpr wchar_t kCorp[] = L".corp.example\0";
    {
        const PolicyRuleKey local{false, kEveryName, sizeof(kEveryName), L"10.8.0.1;10.8.0.2"};
        outcome = change({ChangeKind::Default, kService}, settings_);
        ASSERT_EQ(codesOf(outcome), std::vector<std::wstring>{L"policy-rule"});
        EXPECT_NE(outcome.warnings[0].text.find(L"sends every name to 10.8.0.1, 10.8.0.2"),
                  std::wstring::npos)
            << outcome.warnings[0].text;
        const PolicyRuleKey policy{true, kCorp, sizeof(kCorp), L"10.0.0.53"};
        EXPECT_TRUE(change({ChangeKind::Default, kService}, settings_).warnings.empty());
    }
    EXPECT_TRUE(change({ChangeKind::Default, kService}, settings_).warnings.empty());
    // Nothing written, nothing to warn about.
    EXPECT_TRUE(change({ChangeKind::Restore, L"{4B1D5E2A-0C3F-4A8B-9D71-6E2F8C0A1B3F}"}, settings_)
                    .warnings.empty());
    removeInterfaceKeys(wifi);
}

TEST_F(ChangeTest, OddValuesComeBackExactlyAndWhatARecordCannotCarryIsNoRestorePoint) {
    ScopedSystemBuild windows11{[] { return 22631u; }};
    const auto seed = [](std::size_t set, const std::wstring& value, DWORD type = REG_SZ) {
        ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE,
                                  interfaceKeyPath(Family::V4, set, kService).c_str(),
                                  L"NameServer", type, value.c_str(),
                                  static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))),
                  ERROR_SUCCESS);
    };
    for (const auto* odd : {L"8.8.8.8;8.8.4.4", L"8.8.8.8\t8.8.4.4", L"008.008.008.008", L"0.0.0.0",
                            L"8.8.8.8,,8.8.4.4 "}) {
        removeInterfaceKeys();
        fs::remove(settings_);
        seed(0, odd);
        ASSERT_TRUE(apply(L"1.1.1.1").recorded) << odd;
        ASSERT_EQ(change({ChangeKind::Restore, kService}, settings_).result, Result::Saved) << odd;
        EXPECT_EQ(allSets(Family::V4), std::wstring(odd) + L"|<none>|<none>");
    }
    // Not carried: a name, a line end, another type; a DoH key with more than servers, flags
    // and REG_SZ templates, or a template /template refuses. Nothing is recorded or written.
    const auto refused = [&](const char* what) {
        const auto outcome = apply(L"1.1.1.1");
        EXPECT_EQ(outcome.result, Result::NoRestorePoint) << what;
        EXPECT_FALSE(outcome.why.empty());
        EXPECT_EQ(nameServerAt(Family::V4, 2), L"<none>") << what;
        EXPECT_EQ(mConfig::restoreRecord(settings_, kService), std::nullopt) << what;
        EXPECT_EQ(apply(L"1.1.1.1", {}, true).result, Result::Saved) << "unless forced";
        EXPECT_EQ(mConfig::restoreRecord(settings_, kService), std::nullopt) << what;
        removeInterfaceKeys();
    };
    fs::remove(settings_);
    removeInterfaceKeys();
    for (const auto* value : {L"dns.google", L"8.8.8.8\r\n"}) {
        seed(1, value);
        refused("a name or a line end");
    }
    seed(1, L"8.8.8.8", REG_EXPAND_SZ);
    refused("REG_EXPAND_SZ NameServer");
    const auto dohValue = [](const std::wstring& key, const wchar_t* name, DWORD type,
                             const std::wstring& data) {
        ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, (kDohKey + key).c_str(), name, type,
                                  data.c_str(),
                                  static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t))),
                  ERROR_SUCCESS);
    };
    seedDoh(L"Doh\\8.8.8.8", 2, kGoogle);
    dohValue(L"", L"Other", REG_SZ, L"x");
    refused("a value of DohInterfaceSettings");
    seedDoh(L"Doh\\8.8.8.8", 2, kGoogle);
    dohValue(L"\\Doh\\8.8.8.8\\Extra", L"x", REG_SZ, L"x");
    refused("a subkey of a server");
    seedDoh(L"Doh\\8.8.8.8", 2, kGoogle);
    dohValue(L"\\Other", L"x", REG_SZ, L"x");
    refused("another subkey");
    seedDoh(L"Doh\\8.8.8.8", 2, kGoogle);
    dohValue(L"\\Doh\\8.8.8.8", L"DohTemplate", REG_EXPAND_SZ, kGoogle);
    refused("a REG_EXPAND_SZ template");
    for (const auto& url :
         {std::wstring(L"https://dns.google/\tq"), std::wstring(L"https://x/\x7F"),
          L"https://dns.google/" + std::wstring(2100, L'a')}) {
        seedDoh(L"Doh\\8.8.8.8", 2, url.c_str());
        refused("a template /template refuses");
    }
    // On Windows 10 the DoH key is left alone, so what it holds does not matter.
    ScopedSystemBuild windows10{[] { return 19045u; }};
    seedDoh(L"Doh\\8.8.8.8", 2, L"https://dns.google/\tq");
    EXPECT_TRUE(apply(L"1.1.1.1").recorded);
    EXPECT_EQ(mConfig::restoreRecord(settings_, kService), L"-|-|-|-|-|-");
}

TEST_F(ChangeTest, AForgedDohPartIsRefusedWholeAndNoneIsWrittenWhereApplyWritesNone) {
    ScopedSystemBuild windows11{[] { return 22631u; }};
    std::wstring many = L"=1.1.1.1|-|-|-|-|-|+";
    for (int i = 1; i <= 17; ++i)
        many += L"|4,10.0.0." + std::to_wstring(i) + L",2,-";
    for (const auto& forged :
         {std::wstring(L"=1.1.1.1|-|-|-|-|-|+|4,1.1.1.1,1844674407370955160,=javascript:alert(1)"),
          std::wstring(L"=1.1.1.1|-|-|-|-|-|+|4,1.1.1.1,2,=https://9.9.9.9/q"),
          std::wstring(L"=1.1.1.1|-|-|-|-|-|+|4,1.1.1.1,16,-"), many}) {
        ASSERT_TRUE(mConfig::writeRestoreRecord(settings_, kService, forged));
        EXPECT_EQ(change({ChangeKind::Restore, kService}, settings_).result,
                  Result::BadRestoreRecord);
        EXPECT_EQ(allSets(Family::V4), L"<none>|<none>|<none>");
        EXPECT_FALSE(dohKeyExists());
        EXPECT_EQ(apply(L"8.8.8.8").result, Result::NoRestorePoint) << "the record stays";
        EXPECT_EQ(mConfig::restoreRecord(settings_, kService), forged);
    }
    // Where Apply writes no DoH, a valid record's DoH part is not written either.
    const std::wstring valid = L"=1.1.1.1|-|-|-|-|-|+|4,1.1.1.1,2,=https://1.1.1.1/q";
    const DWORD forbid = 1;
    for (const bool policy : {false, true}) {
        ScopedSystemBuild build{[policy] { return policy ? 22631u : 19045u; }};
        if (policy) {
            ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, kPolicyKey, L"DoHPolicy", REG_DWORD,
                                      &forbid, 4),
                      ERROR_SUCCESS);
        }
        ASSERT_TRUE(mConfig::writeRestoreRecord(settings_, kService, valid));
        EXPECT_EQ(change({ChangeKind::Restore, kService}, settings_).result, Result::Saved);
        EXPECT_EQ(allSets(Family::V4), L"1.1.1.1|<none>|<none>");
        EXPECT_FALSE(dohKeyExists()) << policy;
    }
}

TEST_F(ChangeTest, AChangeWaitsForTheOneRunningAndThenSaysSo) {
    mConfig::ScopedSettingsLockWait shortWait{[] { return DWORD{300}; }};
    std::atomic<int> step = 0;
    std::thread other([&] {
        const mConfig::SettingsLock held(settings_);
        step = held ? 1 : -1;
        while (step != 2)
            Sleep(10);
    });
    while (step == 0)
        Sleep(10);
    ASSERT_EQ(step, 1);
    const auto outcome = apply(L"1.1.1.1");
    EXPECT_EQ(outcome.result, Result::Busy);
    EXPECT_NE(verdictText(outcome).find(L"another Keldrast change is running"), std::wstring::npos);
    EXPECT_EQ(allSets(Family::V4), L"<none>|<none>|<none>");
    EXPECT_EQ(fileBytes(settings_), "<none>");
    EXPECT_EQ(changeEach({ChangeKind::Default}, {kService}, settings_).front().result,
              Result::Busy);
    EXPECT_FALSE(mConfig::saveCatalogue(settings_, {})) << "every rewrite of the file waits";
    step = 2;
    other.join();
    EXPECT_TRUE(apply(L"1.1.1.1").recorded);
}
