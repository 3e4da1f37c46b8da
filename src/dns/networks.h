// The networks the machine is connected to now, and the rules kept for them in the settings
// file. Windows' Network List Manager names them (no administrator rights, no location consent);
// where it lists nothing usable (its service is off, or under Wine) each connected adapter's
// signature stands in (netrules.h). The list is a replaceable entry point, so tests feed networks.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dns/netrules.h"
#include "toolkit/platform.h"

namespace dns {

// The Network List Manager's connected networks, with their adapters' GUIDs (descriptions
// empty); nothing where it cannot be asked.
std::optional<std::vector<Network>> networkListManager();
using NetworkListHandler = std::function<std::optional<std::vector<Network>>()>;
inline tk::Seam<NetworkListHandler> networkListSeam;
using ScopedNetworkList = tk::ScopedHandler<networkListSeam>;

// The connected networks with the listed adapters on each: the Network List Manager's, or the
// adapters' signatures where it lists none or nothing usable (usableNetworkList).
std::vector<Network> connectedNetworks();

// The settings file's rules, checked against its catalogue; a file that could not be read
// gives one refusal that says so.
CheckedRules networkRules(std::wstring_view settingsPath,
                          const std::vector<catalogue::CatalogueEntry>& entries);
// Keeps a rule (replacing the network's earlier one) or forgets it; false when the settings
// file could not be read or written.
[[nodiscard]] bool keepNetworkRule(std::wstring_view settingsPath, const NetworkRule& rule);
[[nodiscard]] bool forgetNetworkRule(std::wstring_view settingsPath, std::wstring_view network);

} // namespace dns
