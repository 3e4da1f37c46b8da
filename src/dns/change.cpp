#include "dns/change.h"

#include <algorithm>
#include <utility>

#include "catalogue/mConfig.h"
#include "dns/network.h"
#include "dns/readback.h"
#include "toolkit/handles.h"
#include "toolkit/system_library.h"

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

// Every NameServer read and write of the program goes through these two.
enum class ReadStatus { Present, Absent, Failed };
ReadStatus readString(const std::wstring& path, std::wstring_view name, std::wstring& value) {
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

InterfaceDnsResult setInterfaceDns(const GUID& guid, std::wstring_view servers, Family family) {
    std::wstring nameServer(servers);
    DnsInterfaceSettings settings{};
    settings.Version = kDnsInterfaceSettingsVersion1;
    settings.Flags = kDnsSettingNameServer | (family == Family::V6 ? kDnsSettingIpv6 : 0);
    settings.NameServer = nameServer.data();
    const auto result = setInterfaceDnsSeam.call(systemSetInterfaceDns, guid, settings);
    if (!result) return InterfaceDnsResult::NotAvailable;
    return *result == NO_ERROR ? InterfaceDnsResult::Applied : InterfaceDnsResult::Failed;
}

// The live call for IPv4 then IPv6, both made, as one result: refused when either family was.
InterfaceDnsResult tellRunningSystem(std::wstring_view service, std::wstring_view servers,
                                     std::wstring_view servers6) {
    using enum InterfaceDnsResult;
    const auto guid = interfaceGuidOf(service);
    if (!guid) return Failed;
    const auto v4 = setInterfaceDns(*guid, servers, Family::V4);
    const auto v6 = setInterfaceDns(*guid, servers6, Family::V6);
    if (v4 == Failed || v6 == Failed) return Failed;
    return v4 == Applied && v6 == Applied ? Applied : NotAvailable;
}

// The restore point: the adapter's record as it stands, or one made now. False, with why, when
// none exists and none could be made.
bool ensureRestorePoint(std::wstring_view settingsPath, std::wstring_view service,
                        ChangeOutcome& outcome) {
    if (canRestore(settingsPath, service)) return true;
    const auto state = readNameServerState(service);
    if (!state) {
        outcome.why = L"The adapter's present DNS servers could not be read.";
        return false;
    }
    if (!mConfig::writeRestoreRecord(settingsPath, service, encodeState(*state))) {
        outcome.why = L"The settings file " + std::wstring(settingsPath) +
                      L" could not be written (it may be read-only, locked, a link, or in a "
                      L"format Keldrast does not write).";
        return false;
    }
    outcome.recorded = true;
    return true;
}

} // namespace

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
            const auto status =
                readString(interfaceKeyPath(family, set, service), kNameServerValue, value);
            if (status == ReadStatus::Failed) return std::nullopt;
            if (status == ReadStatus::Present) state.at(family, set) = std::move(value);
        }
    return state;
}

bool canRestore(std::wstring_view settingsPath, std::wstring_view service) {
    const auto record = mConfig::restoreRecord(settingsPath, service);
    return record && decodeState(*record).has_value();
}

namespace {

ChangeOutcome changeOne(const ChangeRequest& request, std::wstring_view settingsPath) {
    ChangeOutcome outcome;
    outcome.kind = request.kind;
    outcome.service = request.service;
    if (!isInterfaceGuid(request.service)) {
        outcome.result = Result::InvalidAdapter;
        return outcome;
    }
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
    } else {
        if (!ensureRestorePoint(settingsPath, request.service, outcome) &&
            !request.withoutRestorePoint) {
            outcome.result = Result::NoRestorePoint;
            return outcome;
        }
        const bool apply = request.kind == ChangeKind::Apply;
        for (std::size_t set = 0; set < kInterfaceBasePaths.size(); ++set) {
            target.at(Family::V4, set) = apply ? request.servers : L"";
            target.at(Family::V6, set) = apply ? request.servers6 : L"";
        }
    }
    // The running system takes what CurrentControlSet now holds; absent is automatic.
    outcome.servers = target.at(Family::V4, kCurrentControlSet).value_or(L"");
    outcome.servers6 = target.at(Family::V6, kCurrentControlSet).value_or(L"");
    outcome.written = writeState(request.service, target);
    // The running system is told only what the registry holds everywhere.
    if (outcome.written.all()) {
        outcome.live = tellRunningSystem(request.service, outcome.servers, outcome.servers6);
        outcome.inUse = reportedServers(request.service);
    }
    outcome.result = judge(outcome.written, outcome.live, appliedServers(outcome), outcome.inUse);
    // A record that could not be dropped would only restore the same values again.
    if (request.kind == ChangeKind::Restore && outcome.written.all())
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

ChangeOutcome change(const ChangeRequest& request, std::wstring_view settingsPath) {
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
    current.inUse = reportedServers(service);
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
