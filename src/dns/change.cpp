#include "dns/change.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "catalogue/mConfig.h"
#include "catalogue/settings_lock.h"
#include "dns/network.h"
#include "dns/readback.h"
#include "toolkit/handles.h"
#include "toolkit/system_library.h"
#include "toolkit/trim.h"

namespace dns {

namespace {

constexpr DWORD kFlushWaitMs = 30000;

// Windows 10 2004 and later; iphlpapi.dll from the system folder, kept for the process.
std::optional<DWORD> systemSetInterfaceDns(const GUID& guid, const DnsInterfaceSettings& settings) {
    using Fn = DWORD(WINAPI*)(GUID, const DnsInterfaceSettings*);
    static const Fn fn =
        tk::moduleFunction<Fn>(tk::systemLibrary(L"iphlpapi.dll"), "SetInterfaceDnsSettings");
    if (!fn) return std::nullopt;
    return fn(guid, &settings);
}

// Build numbers as the system has them: RtlGetVersion is not subject to the manifest's
// version shims that GetVersionEx applies.
std::uint32_t systemBuildNumber() {
    using Fn = LONG(WINAPI*)(OSVERSIONINFOW*);
    static const Fn fn = tk::moduleFunction<Fn>(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion");
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    if (!fn || fn(&info) != 0) return 0;
    return info.dwBuildNumber;
}

std::optional<bool> systemDohClient(const GUID& guid) {
    DnsInterfaceSettings settings{};
    settings.Version = kDnsInterfaceSettingsVersion3;
    const auto status = queryInterfaceDns(guid, settings);
    if (!status) return std::nullopt;
    if (*status == NO_ERROR) return true;
    if (*status == ERROR_INVALID_PARAMETER || *status == ERROR_NOT_SUPPORTED) return false;
    return std::nullopt;
}

constexpr wchar_t kDohPolicyKey[] = L"SOFTWARE\\Policies\\Microsoft\\Windows NT\\DNSClient";
constexpr wchar_t kDohFlagsValue[] = L"DohFlags";
constexpr wchar_t kDohTemplateValue[] = L"DohTemplate";
constexpr wchar_t kWellKnownPath[] =
    L"SYSTEM\\CurrentControlSet\\Services\\Dnscache\\Parameters\\DohWellKnownServers\\";

std::wstring dohKeyPath(std::wstring_view service) {
    return L"SYSTEM\\CurrentControlSet\\Services\\Dnscache\\InterfaceSpecificParameters\\" +
           std::wstring(service) + L"\\DohInterfaceSettings";
}
std::wstring dohFamilyPath(std::wstring_view service, Family family) {
    return dohKeyPath(service) + (family == Family::V6 ? L"\\Doh6" : L"\\Doh");
}

std::optional<DohSettings> readDoh(std::wstring_view service, bool exact);

// Every NameServer read and write of the program goes through these two.
enum class ReadStatus { Present, Absent, Failed };
ReadStatus readString(const std::wstring& path, std::wstring_view name, std::wstring& value,
                      DWORD* typeRead = nullptr) {
    tk::unique_hkey key;
    LSTATUS status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE, key.put());
    if (status == ERROR_FILE_NOT_FOUND) return ReadStatus::Absent;
    if (status != ERROR_SUCCESS) return ReadStatus::Failed;
    const std::wstring valueName(name);
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD type = 0, bytes = 0;
        status = RegQueryValueExW(key.get(), valueName.c_str(), nullptr, &type, nullptr, &bytes);
        if (status == ERROR_FILE_NOT_FOUND) return ReadStatus::Absent;
        if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
            return ReadStatus::Failed;
        value.assign(bytes / sizeof(wchar_t) + 1, L'\0');
        bytes = static_cast<DWORD>(value.size() * sizeof(wchar_t));
        status = RegQueryValueExW(key.get(), valueName.c_str(), nullptr, &type,
                                  reinterpret_cast<BYTE*>(value.data()), &bytes);
        if (status == ERROR_MORE_DATA) continue; // it grew in between
        if (status != ERROR_SUCCESS) return ReadStatus::Failed;
        value.resize(bytes / sizeof(wchar_t));
        while (!value.empty() && value.back() == L'\0')
            value.pop_back();
        if (typeRead) *typeRead = type;
        return ReadStatus::Present;
    }
    return ReadStatus::Failed;
}

// Writes value (nothing: deletes it) as NameServer of the family in one control set.
bool writeNameServer(Family family, std::size_t set, std::wstring_view service,
                     const std::optional<std::wstring>& value) {
    const std::wstring path = interfaceKeyPath(family, set, service);
    tk::unique_hkey key;
    if (!value) {
        LSTATUS status =
            RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_SET_VALUE, key.put());
        if (status == ERROR_SUCCESS) status = RegDeleteValueW(key.get(), kNameServerValue.data());
        return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND; // absent already
    }
    return RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                           key.put(), nullptr) == ERROR_SUCCESS &&
           RegSetValueExW(key.get(), kNameServerValue.data(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(value->c_str()),
                          static_cast<DWORD>((value->size() + 1) * sizeof(wchar_t))) ==
               ERROR_SUCCESS;
}

Writes writeState(std::wstring_view service, const NameServerState& state) {
    Writes written;
    for (const Family family : kFamilies)
        for (std::size_t set = 0; set < kInterfaceBasePaths.size(); ++set)
            written.of(family)[set] = writeNameServer(family, set, service, state.at(family, set));
    return written;
}

// Replaces the adapter's DohInterfaceSettings key by settings: removed, then written anew.
bool writeDohSettings(std::wstring_view service, const DohSettings& settings) {
    const std::wstring path = dohKeyPath(service);
    const LSTATUS removed = RegDeleteTreeW(HKEY_LOCAL_MACHINE, path.c_str());
    if (removed != ERROR_SUCCESS && removed != ERROR_FILE_NOT_FOUND) return false;
    if (!settings.present) return true;
    tk::unique_hkey key;
    bool ok = RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                              nullptr, key.put(), nullptr) == ERROR_SUCCESS;
    for (const auto& server : settings.servers) {
        const std::wstring serverPath =
            dohFamilyPath(service, server.family) + L"\\" + server.address;
        tk::unique_hkey serverKey;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, serverPath.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                            nullptr, serverKey.put(), nullptr) != ERROR_SUCCESS) {
            ok = false;
            continue;
        }
        if (server.flags) {
            const ULONG64 flags = *server.flags;
            ok = RegSetValueExW(serverKey.get(), kDohFlagsValue, 0, REG_QWORD,
                                reinterpret_cast<const BYTE*>(&flags),
                                sizeof(flags)) == ERROR_SUCCESS &&
                 ok;
        }
        if (server.url)
            ok = RegSetValueExW(serverKey.get(), kDohTemplateValue, 0, REG_SZ,
                                reinterpret_cast<const BYTE*>(server.url->c_str()),
                                static_cast<DWORD>((server.url->size() + 1) * sizeof(wchar_t))) ==
                     ERROR_SUCCESS &&
                 ok;
    }
    return ok;
}

// What the running system made of one family, or of both.
struct LiveResult {
    InterfaceDnsResult result = InterfaceDnsResult::NotAvailable;
    bool dohRefused = false; // it refused the DoH settings and took the servers without them
};

// The live call for one family: version 1 with the servers, or, where DoH is handled and the
// family has servers, version 3 with one DoH property per server that has settings (none clears
// the adapter's). When Windows refuses version 3, the servers go through version 1 alone: plain
// DNS never fails for DoH, whose settings wait in the registry for the next connection.
LiveResult setInterfaceDns(const GUID& guid, std::wstring_view servers, Family family,
                           const std::optional<DohSettings>& doh) {
    std::wstring nameServer(servers);
    DnsInterfaceSettings plain{};
    plain.Version = kDnsInterfaceSettingsVersion1;
    plain.Flags = kDnsSettingNameServer | (family == Family::V6 ? kDnsSettingIpv6 : 0);
    plain.NameServer = nameServer.data();
    const auto call =
        [&](const DnsInterfaceSettings& settings) -> std::optional<InterfaceDnsResult> {
        const auto result = setInterfaceDnsSeam.call(systemSetInterfaceDns, guid, settings);
        if (!result) return std::nullopt;
        return *result == NO_ERROR ? InterfaceDnsResult::Applied : InterfaceDnsResult::Failed;
    };
    LiveResult live;
    if (doh && !serverList(servers).empty()) {
        const auto servers3 = dohServersOf(*doh, family, servers);
        std::vector<DnsDohServerSettings> dohSettings;
        std::vector<DnsServerProperty> properties;
        dohSettings.reserve(servers3.size()); // the properties point into it
        for (const auto& [index, server] : servers3) {
            dohSettings.push_back(
                {server.url ? const_cast<PWSTR>(server.url->c_str()) : nullptr, *server.flags});
            properties.push_back({kDnsInterfaceSettingsVersion1, static_cast<ULONG>(index),
                                  kDnsServerDohProperty, &dohSettings.back()});
        }
        DnsInterfaceSettings settings = plain;
        settings.Version = kDnsInterfaceSettingsVersion3;
        settings.Flags |= kDnsSettingDoh;
        settings.cServerProperties = static_cast<ULONG>(properties.size());
        settings.ServerProperties = properties.empty() ? nullptr : properties.data();
        const auto result = call(settings);
        if (!result) return live;
        if (*result == InterfaceDnsResult::Applied) {
            live.result = *result;
            return live;
        }
        live.dohRefused = true;
    }
    live.result = call(plain).value_or(InterfaceDnsResult::NotAvailable);
    return live;
}

// The live call for IPv4 then IPv6, both made, as one result: refused when either family was.
LiveResult tellRunningSystem(std::wstring_view service, std::wstring_view servers,
                             std::wstring_view servers6, const std::optional<DohSettings>& doh) {
    using enum InterfaceDnsResult;
    const auto guid = interfaceGuidOf(service);
    if (!guid) return {Failed};
    const auto v4 = setInterfaceDns(*guid, servers, Family::V4, doh);
    const auto v6 = setInterfaceDns(*guid, servers6, Family::V6, doh);
    const bool refused = v4.dohRefused || v6.dohRefused;
    if (v4.result == Failed || v6.result == Failed) return {Failed, refused};
    return {v4.result == Applied && v6.result == Applied ? Applied : NotAvailable, refused};
}

// The restore point: the adapter's record as it stands, or one made now. False, with why, when
// none exists and none could be made.
// A record made before Keldrast wrote DoH settings gains them, as they stand, before the first
// change that writes any (writesDoh), so that Restore can put them back too. A change that
// leaves DoH alone records it only when the record carries it exactly.
bool ensureRestorePoint(std::wstring_view settingsPath, std::wstring_view service, bool writesDoh,
                        ChangeOutcome& outcome) {
    std::optional<NameServerState> state;
    if (const auto record = mConfig::restoreRecord(settingsPath, service)) {
        state = decodeState(*record);
        if (state && (state->doh || !writesDoh)) return true;
        // A record Restore refuses is not replaced by the servers there now, which may be
        // Keldrast's own: it stays for the user to correct or delete.
        if (!state) {
            outcome.why = L"The adapter's restore record in " + std::wstring(settingsPath) +
                          L" is not one Keldrast can put back; correct or delete that line of "
                          L"the [kRestore] section.";
            return false;
        }
    }
    const bool upgrade = state.has_value();
    if (!state) state = readNameServerState(service);
    if (state) state->doh = readDoh(service, true);
    if (state && !writesDoh && state->doh && !roundTrips(*state)) state->doh.reset();
    if (!state || (writesDoh && !state->doh)) {
        outcome.why = L"The adapter's present DNS servers or DoH settings could not be read, or "
                      L"its DohInterfaceSettings key holds more than a restore record carries.";
        return false;
    }
    // What Restore would refuse or change is no way back: checked before anything is written.
    if (!roundTrips(*state)) {
        outcome.why = L"The adapter's present DNS servers or DoH settings hold what Keldrast would "
                      L"not put back as it is (such as a name, a control character or a DoH "
                      L"template that /template refuses).";
        return false;
    }
    if (!mConfig::writeRestoreRecord(settingsPath, service, encodeState(*state))) {
        outcome.why = L"The settings file " + std::wstring(settingsPath) +
                      L" could not be written (it may be read-only, locked, a link, or in a "
                      L"format Keldrast does not write).";
        return false;
    }
    outcome.recorded = !upgrade;
    return true;
}

// The result of the DoH part of an Apply that wrote (or, for "off" or no template, removed).
DohResult appliedDoh(const DohOutcome& doh, const LiveResult& live) {
    if (doh.mode == DohMode::Off) return DohResult::Off;
    if (doh.url.empty() || doh.servers.empty()) return DohResult::NoTemplate;
    if (live.dohRefused) return DohResult::Deferred;
    return live.result == InterfaceDnsResult::Applied ? DohResult::Encrypted
                                                      : DohResult::OnReconnect;
}

} // namespace

std::uint32_t systemBuild() {
    return systemBuildSeam.call(systemBuildNumber);
}

DohPolicy dohPolicy() {
    const auto read = [](const wchar_t* name) -> std::optional<std::uint32_t> {
        DWORD value = 0, bytes = sizeof(value);
        if (RegGetValueW(HKEY_LOCAL_MACHINE, kDohPolicyKey, name, RRF_RT_REG_DWORD, nullptr, &value,
                         &bytes) != ERROR_SUCCESS)
            return std::nullopt;
        return value;
    };
    return dohPolicyOf(read(L"DoHPolicy"), read(L"DohPolicySetting"));
}

std::optional<bool> dohClientProbe(const GUID& guid) {
    return dohClientSeam.call(systemDohClient, guid);
}

bool offersDoh(std::wstring_view service) {
    const auto guid = interfaceGuidOf(service);
    return offersDohPerAdapter(guid ? dohClientProbe(*guid) : std::nullopt, systemBuild());
}

std::vector<DohServer> wellKnownDohServers(const std::vector<DohServer>& servers) {
    std::vector<DohServer> known;
    for (const auto& server : servers) {
        if (!server.flags || !(*server.flags & kDohAutomaticTemplate) ||
            !canonicalAddress(server.family, server.address))
            continue;
        const std::wstring path = kWellKnownPath + server.address;
        DohServer entry{server.family, server.address, std::nullopt, std::nullopt};
        std::wstring url;
        if (readString(path, L"Template", url) == ReadStatus::Present) entry.url = std::move(url);
        ULONG64 flags = 0;
        DWORD bytes = sizeof(flags);
        if (RegGetValueW(HKEY_LOCAL_MACHINE, path.c_str(), L"Flags", RRF_RT_REG_QWORD, nullptr,
                         &flags, &bytes) == ERROR_SUCCESS)
            entry.flags = flags;
        if (entry.url || entry.flags) known.push_back(std::move(entry));
    }
    return known;
}

namespace {

// The number of values and subkeys of an open key; nothing when it could not be asked.
std::optional<std::pair<DWORD, DWORD>> keyCounts(HKEY key) {
    DWORD subkeys = 0, values = 0;
    if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                         nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return std::nullopt;
    return std::pair{values, subkeys};
}

// The DoH settings; with exact, nothing too when the key holds more than DohSettings carries
// (other values or subkeys, a template that is not REG_SZ): Apply replaces the whole key, so
// what it cannot record it would lose.
std::optional<DohSettings> readDoh(std::wstring_view service, bool exact) {
    DohSettings settings;
    tk::unique_hkey key;
    LSTATUS status =
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, dohKeyPath(service).c_str(), 0, KEY_READ, key.put());
    if (status == ERROR_FILE_NOT_FOUND) return settings;
    if (status != ERROR_SUCCESS) return std::nullopt;
    settings.present = true;
    // Exactly: no values, and no subkeys but Doh and Doh6 (counted as they are found).
    DWORD familiesFound = 0;
    const auto counts = keyCounts(key.get());
    if (exact && (!counts || counts->first != 0)) return std::nullopt;
    for (const Family family : kFamilies) {
        const std::wstring familyPath = dohFamilyPath(service, family);
        tk::unique_hkey familyKey;
        status =
            RegOpenKeyExW(HKEY_LOCAL_MACHINE, familyPath.c_str(), 0, KEY_READ, familyKey.put());
        if (status == ERROR_FILE_NOT_FOUND) continue;
        if (status != ERROR_SUCCESS) return std::nullopt;
        ++familiesFound;
        const auto familyCounts = keyCounts(familyKey.get());
        if (exact && (!familyCounts || familyCounts->first != 0)) return std::nullopt;
        for (DWORD i = 0;; ++i) {
            wchar_t name[256] = {};
            DWORD length = static_cast<DWORD>(std::size(name));
            status = RegEnumKeyExW(familyKey.get(), i, name, &length, nullptr, nullptr, nullptr,
                                   nullptr);
            if (status == ERROR_NO_MORE_ITEMS) break;
            // Only an address may come back into a registry path on restore.
            if (status != ERROR_SUCCESS || !canonicalAddress(family, name)) return std::nullopt;
            DohServer server{family, name, std::nullopt, std::nullopt};
            const std::wstring serverPath = familyPath + L"\\" + name;
            // Exactly: no subkeys, and no values but DohFlags and DohTemplate of their types.
            DWORD carried = 0;
            std::optional<std::pair<DWORD, DWORD>> serverCounts;
            if (exact) {
                tk::unique_hkey serverKey;
                if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, serverPath.c_str(), 0, KEY_READ,
                                  serverKey.put()) != ERROR_SUCCESS)
                    return std::nullopt;
                serverCounts = keyCounts(serverKey.get());
                if (!serverCounts || serverCounts->second != 0) return std::nullopt;
            }
            ULONG64 flags = 0;
            DWORD bytes = sizeof(flags), type = 0;
            status = RegGetValueW(HKEY_LOCAL_MACHINE, serverPath.c_str(), kDohFlagsValue,
                                  exact ? RRF_RT_ANY : RRF_RT_REG_QWORD, &type, &flags, &bytes);
            if (status == ERROR_SUCCESS && type == REG_QWORD && bytes == sizeof(flags)) {
                server.flags = flags;
                ++carried;
            } else if (status != ERROR_FILE_NOT_FOUND) {
                return std::nullopt;
            }
            std::wstring url;
            DWORD urlType = REG_SZ;
            const auto read = readString(serverPath, kDohTemplateValue, url, &urlType);
            if (read == ReadStatus::Failed || (exact && urlType != REG_SZ)) return std::nullopt;
            if (read == ReadStatus::Present) server.url = std::move(url), ++carried;
            if (exact && serverCounts->first != carried) return std::nullopt;
            settings.servers.push_back(std::move(server));
        }
    }
    if (exact && (!counts || counts->second != familiesFound)) return std::nullopt;
    return settings;
}

} // namespace

std::optional<DohSettings> readDohSettings(std::wstring_view service) {
    return readDoh(service, false);
}

std::optional<GUID> interfaceGuidOf(std::wstring_view service) {
    const auto fields = interfaceGuid(service);
    if (!fields) return std::nullopt;
    GUID guid{fields->data1, fields->data2, fields->data3, {}};
    std::copy(fields->data4.begin(), fields->data4.end(), guid.Data4);
    return guid;
}

std::optional<NameServerState> readNameServerState(std::wstring_view service) {
    NameServerState state;
    for (const Family family : kFamilies)
        for (std::size_t set = 0; set < kInterfaceBasePaths.size(); ++set) {
            std::wstring value;
            DWORD type = REG_SZ;
            const auto status =
                readString(interfaceKeyPath(family, set, service), kNameServerValue, value, &type);
            // Written back as REG_SZ: another type would not come back as it was.
            if (status == ReadStatus::Failed || type != REG_SZ) return std::nullopt;
            if (status == ReadStatus::Present) state.at(family, set) = std::move(value);
        }
    return state;
}

bool canRestore(std::wstring_view settingsPath, std::wstring_view service) {
    const auto record = mConfig::restoreRecord(settingsPath, service);
    return record && decodeState(*record).has_value();
}

namespace {

ChangeOutcome changeOne(ChangeRequest request, std::wstring_view settingsPath) {
    ChangeOutcome outcome;
    outcome.kind = request.kind;
    outcome.service = request.service;
    outcome.doh.mode = request.doh;
    outcome.doh.url = request.kind == ChangeKind::Apply ? request.dohTemplate : L"";
    if (!isInterfaceGuid(request.service)) {
        outcome.result = Result::InvalidAdapter;
        return outcome;
    }
    // Whatever a front end hands over, only addresses a DNS server can have are written.
    outcome.why = checkRequest(request);
    if (!outcome.why.empty()) {
        outcome.result = Result::UnusableServer;
        return outcome;
    }
    if (!outcome.doh.url.empty()) {
        // A template whose host is an address must be one of the servers it is given with.
        const auto servers =
            appliedServers({.servers = request.servers, .servers6 = request.servers6});
        if (std::none_of(servers.begin(), servers.end(), [&](const std::wstring& server) {
                return validTemplate(outcome.doh.url, server);
            })) {
            outcome.result = Result::BadTemplate;
            return outcome;
        }
    }
    // Nothing DoH-related is written where Windows does not offer it per adapter, or where the
    // administrator prohibits it.
    outcome.doh.policy = dohPolicy();
    const bool dohOffered = offersDoh(request.service);
    const bool dohWritable = dohOffered && outcome.doh.policy != DohPolicy::Forbidden;
    NameServerState target;
    std::optional<NameServerState> recorded;
    if (request.kind == ChangeKind::Restore) {
        const auto record = mConfig::restoreRecord(settingsPath, request.service);
        if (!record) {
            outcome.result = Result::NothingToRestore;
            return outcome;
        }
        recorded = decodeState(*record);
        if (!recorded) {
            outcome.result = Result::BadRestoreRecord;
            return outcome;
        }
        target = *recorded;
        // Where Apply writes nothing DoH-related, Restore does not either.
        if (!dohWritable) target.doh.reset();
    } else {
        if (!ensureRestorePoint(settingsPath, request.service, dohWritable, outcome) &&
            !request.withoutRestorePoint) {
            outcome.result = Result::NoRestorePoint;
            return outcome;
        }
        const bool apply = request.kind == ChangeKind::Apply;
        for (std::size_t set = 0; set < kInterfaceBasePaths.size(); ++set) {
            target.at(Family::V4, set) = apply ? request.servers : L"";
            target.at(Family::V6, set) = apply ? request.servers6 : L"";
        }
        if (dohWritable)
            target.doh = apply ? dohSettingsFor(outcome.doh.url, request.doh, request.servers,
                                                request.servers6)
                               : DohSettings{};
    }
    // The running system takes what CurrentControlSet now holds; absent is automatic.
    outcome.servers = target.at(Family::V4, kCurrentControlSet).value_or(L"");
    outcome.servers6 = target.at(Family::V6, kCurrentControlSet).value_or(L"");
    outcome.written = writeState(request.service, target);
    const bool dohWritten =
        !target.doh || (!outcome.written.none() && writeDohSettings(request.service, *target.doh));
    if (target.doh) outcome.doh.servers = target.doh->servers;
    // The running system is told only what the registry holds everywhere; the servers alone
    // when the DoH settings could not be written.
    LiveResult live;
    if (outcome.written.all()) {
        const bool withDoh = target.doh && dohWritable && dohWritten;
        live = tellRunningSystem(request.service, outcome.servers, outcome.servers6,
                                 withDoh ? target.doh : std::nullopt);
        outcome.live = live.result;
        outcome.inUse = reportedServers(request.service);
    }
    outcome.result = judge(outcome.written, outcome.live, appliedServers(outcome), outcome.inUse);
    if (!dohWritten) {
        outcome.doh.result = DohResult::NotWritten;
        if (outcome.written.all()) outcome.result = Result::PartlyWritten;
    } else if (request.kind == ChangeKind::Apply) {
        const bool plain = outcome.doh.url.empty() || request.doh == DohMode::Off;
        outcome.doh.result = plain || dohWritable ? appliedDoh(outcome.doh, live)
                             : !dohOffered        ? DohResult::NotOffered
                                                  : DohResult::Forbidden;
    }
    // A record that could not be dropped would only restore the same values again.
    if (request.kind == ChangeKind::Restore && outcome.written.all() && dohWritten)
        (void)mConfig::dropRestoreRecord(settingsPath, request.service);
    return outcome;
}

// The warnings of each adapter changed, judged after all of them were.
void addWarnings(std::vector<ChangeOutcome>& outcomes) {
    std::vector<std::wstring> changed;
    for (const auto& o : outcomes)
        if (changedAnything(o)) changed.push_back(o.service);
    if (changed.empty()) return;
    const auto state = networkState();
    const auto listed = listedAdapters();
    const auto rules = policyRules();
    for (auto& o : outcomes)
        if (changedAnything(o))
            o.warnings =
                changeWarnings(o.service, changed, listed, state, rules, appliedServers(o));
}

} // namespace

namespace {

// What a change says when another one keeps the settings file: nothing was read or written.
ChangeOutcome busy(const ChangeRequest& request, std::wstring_view service) {
    ChangeOutcome outcome;
    outcome.kind = request.kind;
    outcome.service = service;
    outcome.doh.mode = request.doh;
    outcome.result = Result::Busy;
    return outcome;
}

} // namespace

ChangeOutcome change(const ChangeRequest& request, std::wstring_view settingsPath) {
    // One change at a time, from reading the restore record to saving the file.
    const mConfig::SettingsLock lock(settingsPath);
    if (!lock) return busy(request, request.service);
    std::vector<ChangeOutcome> outcomes{changeOne(request, settingsPath)};
    addWarnings(outcomes);
    if (changedAnything(outcomes.front()))
        (void)mConfig::setChosenAdapter(settingsPath, request.service);
    return std::move(outcomes.front());
}

std::vector<ChangeOutcome> changeEach(const ChangeRequest& request,
                                      const std::vector<std::wstring>& services,
                                      std::wstring_view settingsPath) {
    std::vector<ChangeOutcome> outcomes;
    const mConfig::SettingsLock lock(settingsPath);
    if (!lock) {
        for (const auto& service : services)
            outcomes.push_back(busy(request, service));
        return outcomes;
    }
    for (const auto& service : services) {
        ChangeRequest one = request;
        one.service = service;
        outcomes.push_back(changeOne(one, settingsPath));
    }
    addWarnings(outcomes);
    // The adapter remembered for the next start is the first one changed.
    for (const auto& o : outcomes)
        if (changedAnything(o)) {
            (void)mConfig::setChosenAdapter(settingsPath, o.service);
            break;
        }
    return outcomes;
}

CurrentDns currentDns(std::wstring_view service) {
    return currentDns(service, networkState());
}

CurrentDns currentDns(std::wstring_view service, const NetworkState& state) {
    CurrentDns current;
    if (!isInterfaceGuid(service)) return current;
    current.status = adapterStatus(state, service);
    const auto read = [&](Family family, std::wstring_view name) -> std::optional<std::wstring> {
        std::wstring value;
        if (readString(interfaceKeyPath(family, kCurrentControlSet, service), name, value) ==
            ReadStatus::Present)
            return value;
        return std::nullopt;
    };
    current.static4 = read(Family::V4, kNameServerValue);
    current.static6 = read(Family::V6, kNameServerValue);
    current.dhcp4 = read(Family::V4, kDhcpNameServerValue);
    current.dhcp6 = read(Family::V6, kDhcpNameServerValue);
    // The servers of the interface list already read, where it lists the adapter: one look at
    // every interface serves a whole /list.
    const SystemAdapter* listed = nullptr;
    if (state.adapters)
        for (const auto& adapter : *state.adapters)
            if (tk::foldAscii(adapter.guid) == tk::foldAscii(service)) listed = &adapter;
    current.inUse = listed ? ServersInUse(listed->servers) : reportedServers(service);
    if (auto doh = readDohSettings(service)) current.doh = std::move(doh->servers);
    current.wellKnown = wellKnownDohServers(current.doh);
    current.dohInForce = dohInForce(service);
    return current;
}

FlushOutcome flushResolverCache(bool wait) {
    const auto command = flushCommand(tk::systemDirectory());
    if (command.application.empty()) return {FlushResult::NotStarted};
    const auto run = tk::startProcess(command.application, command.commandLine, SW_HIDE,
                                      wait ? kFlushWaitMs : 0);
    if (!run.started) return {FlushResult::NotStarted};
    if (!wait) return {FlushResult::Started};
    if (!run.exitCode) return {FlushResult::TimedOut};
    if (*run.exitCode != 0) return {FlushResult::Failed, *run.exitCode};
    return {FlushResult::Flushed};
}

} // namespace dns
