// "Restore previous DNS": the adapter's NameServer values of both families in every control
// set as they were before Keldrast first changed them, kept in the settings file's restore
// section until they are put back. Several changes in a row keep the first record, so Restore
// returns to the state before Keldrast.
#pragma once

#include <string_view>

#include "dns/dnsapply.h"

namespace app {

// Records service's present state unless a record exists already. False when the state could
// not be read or the record not written; the change may still go ahead.
bool rememberPreviousState(std::wstring_view settingsPath, std::wstring_view service);
bool hasPreviousState(std::wstring_view settingsPath, std::wstring_view service);

// Writes the recorded state back exactly (absent values deleted), tells the running system and
// reads back, as Apply does. The record is dropped only when every control set took it.
struct RestoreOutcome {
    bool hadRecord = false;
    ApplyOutcome outcome;
    std::vector<std::wstring> applied; // what CurrentControlSet now holds, IPv4 then IPv6
};
RestoreOutcome restorePreviousState(std::wstring_view settingsPath, std::wstring_view service);

} // namespace app
