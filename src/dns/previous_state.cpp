#include "dns/previous_state.h"

#include "catalogue/mConfig.h"

namespace app {

bool rememberPreviousState(std::wstring_view settingsPath, std::wstring_view service) {
    if (!isInterfaceGuid(service)) return false;
    if (hasPreviousState(settingsPath, service)) return true;
    const auto state = readNameServerState(service);
    return state && mConfig::writeRestoreRecord(settingsPath, service, encodeState(*state));
}

bool hasPreviousState(std::wstring_view settingsPath, std::wstring_view service) {
    const auto record = mConfig::restoreRecord(settingsPath, service);
    return record && decodeState(*record).has_value();
}

RestoreOutcome restorePreviousState(std::wstring_view settingsPath, std::wstring_view service) {
    RestoreOutcome result;
    const auto record = mConfig::restoreRecord(settingsPath, service);
    const auto state = record ? decodeState(*record) : std::nullopt;
    if (!state) return result;
    result.hadRecord = true;
    result.outcome = restoreNameServers(service, *state);
    const std::size_t current = kInterfaceBasePaths.size() - 1;
    for (const Family family : kFamilies)
        for (auto& server : serverList(state->at(family, current).value_or(L"")))
            result.applied.push_back(std::move(server));
    // A record that could not be dropped would only restore the same values again.
    if (result.outcome.allWritten()) (void)mConfig::dropRestoreRecord(settingsPath, service);
    return result;
}

} // namespace app
