// DNS per network: which network the machine is on, the rules "on network N use entry E" (or
// "use the automatic servers") as the settings file keeps them, their check, and the plan that
// says which adapters get which servers. The rules are data from a file others may edit, read
// by an elevated copy: every line is checked, and one that is not a rule Keldrast keeps, or
// names no catalogue entry, is refused with a message, never dropped silently. Pure: the
// networks and the file's lines come from networks.h and mConfig.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "catalogue/catalogue.h"
#include "dns/adapters.h"
#include "dns/request.h"

namespace dns {

struct NetworkAdapter {
    std::wstring guid{}; // the interface GUID, "{...}"
    std::wstring description{};
    bool operator==(const NetworkAdapter&) const = default;
};

// A network the machine is connected to: its id ("{GUID}" from the Network List Manager, or
// "sig-" and 16 hex digits for a signature of the adapter, gateway and DNS suffix), its name
// as Windows shows it, and the listed adapters on it.
struct Network {
    std::wstring id{}, name{};
    std::vector<NetworkAdapter> adapters{};
    bool operator==(const Network&) const = default;
};

bool isNetworkId(std::wstring_view id);

// Whether the Network List Manager's answer can be used: some network, each with a name, and no
// adapter on two networks. Wine's lists a network per adapter, names none (E_NOTIMPL) and puts
// every adapter on every network: that is taken as no answer.
bool usableNetworkList(const std::vector<Network>& networks);

// Where the Network List Manager lists nothing (or nothing usable): one network per connected
// adapter, known by a signature of the adapter's GUID, its default gateway's address and its DNS
// suffix (the same three give the same id at every start; another gateway gives another), named by
// the suffix or the gateway and the adapter's name: "corp.example (Ethernet)", "gateway 10.0.0.1
// (Wi-Fi)".
std::wstring signatureId(std::wstring_view adapterGuid, std::wstring_view gateway,
                         std::wstring_view dnsSuffix);
std::vector<Network> signatureNetworks(const std::vector<SystemAdapter>& adapters);

// The networks with only the adapters Keldrast lists (the installed network cards), described as
// the list describes them; a network whose adapters are all unlisted stays, with none.
std::vector<Network> onListedAdapters(std::vector<Network> networks,
                                      const std::vector<ListedAdapter>& listed);

// A rule: the network's id, the entry it uses (nothing: the automatic servers) and the
// network's name when the rule was kept, to show it while that network is away.
struct NetworkRule {
    std::wstring network{};
    std::optional<std::wstring> entry{};
    std::wstring networkName{};
    bool operator==(const NetworkRule&) const = default;
};

// The rule's value in the settings file: "entry", the entry's name and the network's name, or
// "automatic", nothing and the name, joined by "|", with "%", "|" and control characters
// written as %XXXX:  {5B3C...}=entry|Google DNS|Home Wi-Fi  or  sig-...=automatic||Train.
std::wstring encodeRule(const NetworkRule& rule);

struct RefusedRule {
    std::wstring network{}; // the line's key
    std::wstring message{};
    bool operator==(const RefusedRule&) const = default;
};
struct CheckedRules {
    std::vector<NetworkRule> rules{};
    std::vector<RefusedRule> refused{};
};
// The settings file's rule lines, checked: a key that is no network id, a value that is not
// one encodeRule writes, or an entry the catalogue lacks (names compare as the settings file's
// keys do, through fold) refuses that line. The entry is given as the catalogue spells it.
CheckedRules checkRules(const std::vector<std::pair<std::wstring, std::wstring>>& lines,
                        const std::vector<catalogue::CatalogueEntry>& entries,
                        const catalogue::CaseFold& fold);
const NetworkRule* ruleFor(const CheckedRules& rules, std::wstring_view networkId);

// What the rules ask of the connected networks: one change per network with a rule, for all its
// adapters at once, and why each rule that cannot be applied is not (refused in the file, no
// listed adapter, an entry without a preferred server, an adapter another network's rule already
// takes). Networks without a rule are left alone. Requests carry no adapter yet.
struct PlannedChange {
    Network network{};
    NetworkRule rule{};
    ChangeRequest request{};
};
struct RulePlan {
    std::vector<PlannedChange> changes{};
    // Rules of connected networks that are not applied, and refused lines of other networks.
    std::vector<RefusedRule> refused{};
    // How many of refused concern a connected network (they come first).
    std::size_t refusedConnected = 0;
};
RulePlan planRules(const std::vector<Network>& networks, const CheckedRules& rules,
                   const std::vector<catalogue::CatalogueEntry>& entries, DohMode mode,
                   const catalogue::CaseFold& fold);

// The rows of the "DNS per network" window: each connected network with its rule or none, then
// each rule of a network away now, then each refused line (which can be removed too).
struct RuleRow {
    std::wstring network{}; // the id (a refused line's key)
    std::wstring name{};
    std::wstring rule{}; // in words
    bool hasRule = false, connected = false;
    bool operator==(const RuleRow&) const = default;
};
std::vector<RuleRow> ruleRows(const std::vector<Network>& networks, const CheckedRules& rules);

// The network that /when names: a connected network's id or exact name, else the id or name
// of a network a rule was kept for. The id and the name to keep; or why none.
struct NetworkChoice {
    std::optional<std::wstring> id{};
    std::wstring name{};
    std::wstring message{};
};
NetworkChoice chooseNetwork(const std::vector<Network>& networks, const CheckedRules& rules,
                            std::wstring_view wanted);

} // namespace dns
