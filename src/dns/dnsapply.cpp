#include "dns/dnsapply.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <objbase.h>

#include <algorithm>
#include <utility>

#include "dns/readback.h"
#include "registry/modReg.h"
#include "toolkit/handles.h"
#include "toolkit/system_library.h"

namespace app {

namespace {

// Windows 10 2004 and later; iphlpapi.dll from the system folder, kept for the process.
std::optional<DWORD> systemSetInterfaceDns(const GUID& guid, const DnsInterfaceSettings& settings) {
    using Fn = DWORD(WINAPI*)(GUID, const DnsInterfaceSettings*);
    static const Fn fn =
        tk::moduleFunction<Fn>(tk::systemLibrary(L"iphlpapi.dll"), "SetInterfaceDnsSettings");
    if (!fn) return std::nullopt;
    return fn(guid, &settings);
}

} // namespace

ControlSetWrites applyNameServer(std::wstring_view service, std::wstring_view value,
                                 Family family) {
    ControlSetWrites written{};
    for (std::size_t i = 0; i < kInterfaceBasePaths.size(); ++i)
        written[i] = modReg::writeValue(L"HKEY_LOCAL_MACHINE", interfaceKeyPath(family, i, service),
                                        kNameServerValue, value, L"string");
    return written;
}

std::optional<NameServerState> readNameServerState(std::wstring_view service) {
    NameServerState state;
    for (const Family family : kFamilies) {
        for (std::size_t i = 0; i < kInterfaceBasePaths.size(); ++i) {
            const std::wstring path = interfaceKeyPath(family, i, service);
            tk::unique_hkey key;
            LSTATUS status =
                RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE, key.put());
            if (status == ERROR_FILE_NOT_FOUND) continue; // no key: the value is absent
            if (status != ERROR_SUCCESS) return std::nullopt;
            DWORD type = 0, bytes = 0;
            status = RegQueryValueExW(key.get(), kNameServerValue.data(), nullptr, &type, nullptr,
                                      &bytes);
            if (status == ERROR_FILE_NOT_FOUND) continue;
            if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
                return std::nullopt;
            std::wstring value(bytes / sizeof(wchar_t) + 1, L'\0');
            bytes = static_cast<DWORD>(value.size() * sizeof(wchar_t));
            if (RegQueryValueExW(key.get(), kNameServerValue.data(), nullptr, &type,
                                 reinterpret_cast<BYTE*>(value.data()), &bytes) != ERROR_SUCCESS)
                return std::nullopt;
            value.resize(bytes / sizeof(wchar_t));
            while (!value.empty() && value.back() == L'\0')
                value.pop_back();
            state.at(family, i) = std::move(value);
        }
    }
    return state;
}

ControlSetWrites writeNameServerState(std::wstring_view service, const NameServerState& state) {
    ControlSetWrites written{};
    for (std::size_t i = 0; i < kInterfaceBasePaths.size(); ++i) {
        written[i] = true;
        for (const Family family : kFamilies) {
            const std::wstring path = interfaceKeyPath(family, i, service);
            const auto& value = state.at(family, i);
            tk::unique_hkey key;
            LSTATUS status;
            if (value) {
                status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0,
                                         KEY_SET_VALUE, nullptr, key.put(), nullptr);
                if (status == ERROR_SUCCESS)
                    status =
                        RegSetValueExW(key.get(), kNameServerValue.data(), 0, REG_SZ,
                                       reinterpret_cast<const BYTE*>(value->c_str()),
                                       static_cast<DWORD>((value->size() + 1) * sizeof(wchar_t)));
            } else {
                status =
                    RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_SET_VALUE, key.put());
                if (status == ERROR_SUCCESS)
                    status = RegDeleteValueW(key.get(), kNameServerValue.data());
                if (status == ERROR_FILE_NOT_FOUND) status = ERROR_SUCCESS; // absent already
            }
            written[i] = written[i] && status == ERROR_SUCCESS;
        }
    }
    return written;
}

std::optional<GUID> interfaceGuidOf(std::wstring_view service) {
    const auto fields = interfaceGuid(service);
    if (!fields) return std::nullopt;
    GUID guid{fields->data1, fields->data2, fields->data3, {}};
    std::copy(fields->data4.begin(), fields->data4.end(), guid.Data4);
    return guid;
}

InterfaceDnsResult setInterfaceDns(std::wstring_view service, std::wstring_view servers,
                                   Family family) {
    const auto parsed = interfaceGuidOf(service);
    if (!parsed) return InterfaceDnsResult::Failed;
    const GUID& guid = *parsed;
    std::wstring nameServer(servers);
    DnsInterfaceSettings settings{};
    settings.Version = kDnsInterfaceSettingsVersion1;
    settings.Flags = kDnsSettingNameServer | (family == Family::V6 ? kDnsSettingIpv6 : 0);
    settings.NameServer = nameServer.data();
    const auto result = setInterfaceDnsSeam.call(systemSetInterfaceDns, guid, settings);
    if (!result) return InterfaceDnsResult::NotAvailable;
    return *result == NO_ERROR ? InterfaceDnsResult::Applied : InterfaceDnsResult::Failed;
}

bool ApplyOutcome::allWritten() const {
    return validService && std::all_of(written.begin(), written.end(), [](bool w) { return w; });
}

namespace {

// The live call for IPv4 then IPv6, both made, as one result.
InterfaceDnsResult setBothFamilies(std::wstring_view service, std::wstring_view servers,
                                   std::wstring_view servers6) {
    using enum InterfaceDnsResult;
    const auto v4 = setInterfaceDns(service, servers, Family::V4);
    const auto v6 = setInterfaceDns(service, servers6, Family::V6);
    if (v4 == Failed || v6 == Failed) return Failed;
    return v4 == Applied && v6 == Applied ? Applied : NotAvailable;
}

} // namespace

ApplyOutcome changeNameServers(std::wstring_view service, std::wstring_view servers,
                               std::wstring_view servers6) {
    ApplyOutcome outcome;
    outcome.validService = isInterfaceGuid(service);
    if (!outcome.validService) return outcome;
    const auto v4 = applyNameServer(service, servers, Family::V4);
    const auto v6 = applyNameServer(service, servers6, Family::V6);
    for (std::size_t i = 0; i < outcome.written.size(); ++i)
        outcome.written[i] = v4[i] && v6[i];
    if (!outcome.allWritten()) return outcome;
    outcome.live = setBothFamilies(service, servers, servers6);
    outcome.inUse = reportedServers(service);
    return outcome;
}

ApplyOutcome restoreNameServers(std::wstring_view service, const NameServerState& state) {
    ApplyOutcome outcome;
    outcome.validService = isInterfaceGuid(service);
    if (!outcome.validService) return outcome;
    outcome.written = writeNameServerState(service, state);
    // The running system takes what CurrentControlSet now holds; absent is automatic.
    const std::size_t current = kInterfaceBasePaths.size() - 1;
    if (!outcome.allWritten()) return outcome;
    outcome.live = setBothFamilies(service, state.at(Family::V4, current).value_or(L""),
                                   state.at(Family::V6, current).value_or(L""));
    outcome.inUse = reportedServers(service);
    return outcome;
}

std::optional<std::wstring> ipv6PairValue(std::wstring_view pair) {
    const auto addresses = serverList(pair);
    if (addresses.size() > 2 || (addresses.empty() && pair.find_first_not_of(L' ') != pair.npos))
        return std::nullopt;
    std::wstring value;
    for (const auto& address : addresses) {
        IN6_ADDR binary{};
        wchar_t text[INET6_ADDRSTRLEN] = {};
        if (InetPtonW(AF_INET6, address.c_str(), &binary) != 1 ||
            !InetNtopW(AF_INET6, &binary, text, INET6_ADDRSTRLEN))
            return std::nullopt;
        if (!value.empty()) value += L',';
        value += text;
    }
    return value;
}

ProcessCommand systemFlushCommand() {
    wchar_t directory[MAX_PATH + 1] = {};
    const UINT n = GetSystemDirectoryW(directory, MAX_PATH + 1);
    return flushCommand(std::wstring_view(directory, n <= MAX_PATH ? n : 0));
}

} // namespace app
