// What Windows reports of its network interfaces, for the adapter state and the warnings of
// adapters.h: GetAdaptersAddresses (every interface, with gateways), GetBestInterfaceEx for a
// public address of each family (it only looks up the route, nothing is sent), and the name
// resolution policy rules in the registry. The two calls are replaceable entry points.
#pragma once

#include <functional>
#include <optional>
#include <vector>

#include "dns/adapters.h"
#include "dns/address.h"
#include "toolkit/platform.h"

namespace dns {

// Every interface Windows lists; nothing when it does not say (the call failed or is missing).
using SystemAdaptersHandler = std::function<std::optional<std::vector<SystemAdapter>>()>;
inline tk::Seam<SystemAdaptersHandler> systemAdaptersSeam;
using ScopedSystemAdapters = tk::ScopedHandler<systemAdaptersSeam>;

// The interface index of the route to a public address of the family; nothing without one.
using BestInterfaceHandler = std::function<std::optional<unsigned long>(Family family)>;
inline tk::Seam<BestInterfaceHandler> bestInterfaceSeam;
using ScopedBestInterface = tk::ScopedHandler<bestInterfaceSeam>;

NetworkState networkState();

// The installed network cards, as the window and the command line list them.
std::vector<ListedAdapter> listedAdapters();

// The rules under HKLM\SOFTWARE\Policies\Microsoft\Windows NT\DNSClient\DnsPolicyConfig
// (group policy) and HKLM\SYSTEM\CurrentControlSet\Services\Dnscache\Parameters\DnsPolicyConfig.
std::vector<PolicyRule> policyRules();

} // namespace dns
