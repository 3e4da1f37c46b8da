#include "dns/netrules.h"

#include <algorithm>

#include "toolkit/trim.h"

namespace dns {

namespace {

constexpr std::wstring_view kSignaturePrefix = L"sig-";
constexpr std::wstring_view kEntryKind = L"entry";
constexpr std::wstring_view kAutomaticKind = L"automatic";
constexpr wchar_t kHex[] = L"0123456789ABCDEF";

bool isHex(wchar_t c) {
    return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
}

int hexValue(wchar_t c) {
    return c <= L'9' ? c - L'0' : (c | 0x20) - L'a' + 10;
}

bool sameText(std::wstring_view a, std::wstring_view b) {
    return tk::foldAscii(a) == tk::foldAscii(b);
}

void escapeInto(std::wstring& out, std::wstring_view text) {
    for (const wchar_t c : text) {
        if (c == L'%' || c == L'|' || c < 0x20 || c == 0x7F) {
            out += L'%';
            for (int shift = 12; shift >= 0; shift -= 4)
                out += kHex[(c >> shift) & 0xF];
        } else {
            out += c;
        }
    }
}

std::optional<std::wstring> unescape(std::wstring_view text) {
    std::wstring out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != L'%') {
            out += text[i];
            continue;
        }
        if (i + 4 >= text.size()) return std::nullopt;
        unsigned value = 0;
        for (std::size_t k = 1; k <= 4; ++k) {
            if (!isHex(text[i + k])) return std::nullopt;
            value = value * 16 + static_cast<unsigned>(hexValue(text[i + k]));
        }
        out += static_cast<wchar_t>(value);
        i += 4;
    }
    return out;
}

std::vector<std::wstring_view> fields(std::wstring_view text) {
    std::vector<std::wstring_view> parts;
    for (std::size_t at = 0;;) {
        const std::size_t bar = text.find(L'|', at);
        parts.push_back(text.substr(at, bar == std::wstring_view::npos ? bar : bar - at));
        if (bar == std::wstring_view::npos) return parts;
        at = bar + 1;
    }
}

std::wstring quoted(std::wstring_view text) {
    return L"\"" + std::wstring(text) + L"\"";
}

} // namespace

bool isNetworkId(std::wstring_view id) {
    if (id.starts_with(kSignaturePrefix)) {
        const auto digits = id.substr(kSignaturePrefix.size());
        return digits.size() == 16 && std::all_of(digits.begin(), digits.end(), isHex);
    }
    // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"
    if (id.size() != 38 || id.front() != L'{' || id.back() != L'}') return false;
    for (std::size_t i = 1; i < 37; ++i) {
        const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
        if (dash ? id[i] != L'-' : !isHex(id[i])) return false;
    }
    return true;
}

bool usableNetworkList(const std::vector<Network>& networks) {
    std::vector<std::wstring> seen;
    for (const auto& n : networks) {
        if (n.name.empty()) return false;
        for (const auto& a : n.adapters) {
            if (std::any_of(seen.begin(), seen.end(),
                            [&](const std::wstring& s) { return sameText(s, a.guid); }))
                return false;
            seen.push_back(a.guid);
        }
    }
    return !networks.empty();
}

std::wstring signatureId(std::wstring_view adapterGuid, std::wstring_view gateway,
                         std::wstring_view dnsSuffix) {
    // FNV-1a over the three, folded so that the same network always gives the same id.
    std::uint64_t hash = 0xCBF29CE484222325ULL;
    const auto add = [&](std::wstring_view text) {
        for (const wchar_t c : tk::foldAscii(text)) {
            hash ^= static_cast<std::uint64_t>(c);
            hash *= 0x100000001B3ULL;
        }
        hash ^= L'|';
        hash *= 0x100000001B3ULL;
    };
    add(adapterGuid);
    add(gateway);
    add(dnsSuffix);
    std::wstring id(kSignaturePrefix);
    for (int shift = 60; shift >= 0; shift -= 4)
        id += kHex[(hash >> shift) & 0xF];
    return id;
}

std::vector<Network> signatureNetworks(const std::vector<SystemAdapter>& adapters) {
    std::vector<Network> networks;
    for (const auto& a : adapters) {
        if (!isConnected(a)) continue;
        const std::wstring label = !a.dnsSuffix.empty()        ? a.dnsSuffix
                                   : !a.gatewayAddress.empty() ? L"gateway " + a.gatewayAddress
                                                               : L"no gateway";
        networks.push_back(
            {signatureId(a.guid, a.gatewayAddress, a.dnsSuffix),
             label + L" (" + (a.friendlyName.empty() ? a.description : a.friendlyName) + L")",
             {{a.guid, a.description}}});
    }
    return networks;
}

std::vector<Network> onListedAdapters(std::vector<Network> networks,
                                      const std::vector<ListedAdapter>& listed) {
    for (auto& network : networks) {
        std::vector<NetworkAdapter> kept;
        for (const auto& adapter : network.adapters) {
            const auto card = std::find_if(listed.begin(), listed.end(), [&](const auto& l) {
                return sameText(l.service, adapter.guid);
            });
            if (card != listed.end() && std::none_of(kept.begin(), kept.end(), [&](const auto& k) {
                    return sameText(k.guid, card->service);
                }))
                kept.push_back({card->service, tk::trimSpaces(card->description)});
        }
        network.adapters = std::move(kept);
    }
    return networks;
}

std::wstring encodeRule(const NetworkRule& rule) {
    std::wstring value(rule.entry ? kEntryKind : kAutomaticKind);
    value += L'|';
    if (rule.entry) escapeInto(value, *rule.entry);
    value += L'|';
    escapeInto(value, rule.networkName);
    return value;
}

CheckedRules checkRules(const std::vector<std::pair<std::wstring, std::wstring>>& lines,
                        const std::vector<catalogue::CatalogueEntry>& entries,
                        const catalogue::CaseFold& fold) {
    CheckedRules checked;
    for (const auto& [key, value] : lines) {
        const auto refuse = [&](std::wstring why) {
            checked.refused.push_back({key, L"The rule for network " + key + L" in [" +
                                                std::wstring(catalogue::kRulesSection) + L"] " +
                                                std::move(why) +
                                                L"; correct or delete that line."});
        };
        if (!isNetworkId(key)) {
            refuse(L"has no network id (\"{GUID}\" or \"sig-\" and 16 hex digits) as its key");
            continue;
        }
        const auto parts = fields(value);
        std::optional<std::wstring> entry, name;
        if (parts.size() == 3) {
            entry = unescape(parts[1]);
            name = unescape(parts[2]);
        }
        const bool automatic = parts.size() == 3 && parts[0] == kAutomaticKind;
        if (!entry || !name || (!automatic && parts[0] != kEntryKind) ||
            (automatic && !entry->empty())) {
            refuse(L"is not one Keldrast keeps (entry|NAME|NETWORK or automatic||NETWORK)");
            continue;
        }
        NetworkRule rule{key, std::nullopt, std::move(*name)};
        if (!automatic) {
            const auto found = std::find_if(entries.begin(), entries.end(), [&](const auto& e) {
                return catalogue::sameName(e.name, *entry, fold);
            });
            if (entry->empty() || found == entries.end()) {
                refuse(L"names " + quoted(*entry) + L", which is not in the catalogue");
                continue;
            }
            rule.entry = tk::trimSpaces(found->name);
        }
        checked.rules.push_back(std::move(rule));
    }
    return checked;
}

const NetworkRule* ruleFor(const CheckedRules& rules, std::wstring_view networkId) {
    for (const auto& rule : rules.rules)
        if (sameText(rule.network, networkId)) return &rule;
    return nullptr;
}

RulePlan planRules(const std::vector<Network>& networks, const CheckedRules& rules,
                   const std::vector<catalogue::CatalogueEntry>& entries, DohMode mode,
                   const catalogue::CaseFold& fold) {
    RulePlan plan;
    std::vector<std::wstring> taken;
    std::vector<RefusedRule> elsewhere;
    const auto connected = [&](std::wstring_view id) {
        return std::any_of(networks.begin(), networks.end(),
                           [&](const Network& n) { return sameText(n.id, id); });
    };
    for (const auto& refused : rules.refused)
        (connected(refused.network) ? plan.refused : elsewhere).push_back(refused);
    for (const auto& network : networks) {
        const NetworkRule* rule = ruleFor(rules, network.id);
        if (!rule) continue;
        const std::wstring who =
            L"The rule for " + quoted(network.name) + L" (" + network.id + L")";
        if (network.adapters.empty()) {
            plan.refused.push_back(
                {network.id, who + L" was not applied: none of the network's adapters is one "
                                   L"Keldrast lists."});
            continue;
        }
        std::optional<ChangeRequest> request = defaultRequest();
        if (rule->entry) {
            const auto entry = std::find_if(entries.begin(), entries.end(), [&](const auto& e) {
                return catalogue::sameName(e.name, *rule->entry, fold);
            });
            request = entry == entries.end() ? std::nullopt : entryRequest(*entry, mode);
            if (!request) {
                plan.refused.push_back({network.id, who +
                                                        L" was not applied: the catalogue entry " +
                                                        quoted(*rule->entry) +
                                                        L" has no preferred IPv4 server address."});
                continue;
            }
        }
        const bool clash = std::any_of(
            network.adapters.begin(), network.adapters.end(), [&](const NetworkAdapter& a) {
                return std::any_of(taken.begin(), taken.end(),
                                   [&](const std::wstring& t) { return sameText(t, a.guid); });
            });
        if (clash) {
            plan.refused.push_back({network.id, who + L" was not applied: another network's rule "
                                                      L"already changes its adapter."});
            continue;
        }
        for (const auto& a : network.adapters)
            taken.push_back(a.guid);
        plan.changes.push_back({network, *rule, std::move(*request)});
    }
    plan.refusedConnected = plan.refused.size();
    plan.refused.insert(plan.refused.end(), elsewhere.begin(), elsewhere.end());
    return plan;
}

std::vector<RuleRow> ruleRows(const std::vector<Network>& networks, const CheckedRules& rules) {
    const auto words = [](const NetworkRule& rule) {
        return rule.entry ? *rule.entry : std::wstring(L"automatic servers");
    };
    std::vector<RuleRow> rows;
    for (const auto& n : networks) {
        const NetworkRule* rule = ruleFor(rules, n.id);
        rows.push_back({n.id, n.name, rule ? words(*rule) : L"none", rule != nullptr, true});
    }
    for (const auto& rule : rules.rules)
        if (std::none_of(networks.begin(), networks.end(),
                         [&](const Network& n) { return sameText(n.id, rule.network); }))
            rows.push_back({rule.network, rule.networkName, words(rule), true, false});
    for (const auto& refused : rules.refused)
        if (!refused.network.empty())
            rows.push_back({refused.network, {}, L"refused: " + refused.message, true, false});
    return rows;
}

NetworkChoice chooseNetwork(const std::vector<Network>& networks, const CheckedRules& rules,
                            std::wstring_view wanted) {
    const std::wstring want = tk::trimSpaces(wanted);
    for (const auto& n : networks)
        if (sameText(n.id, want)) return {n.id, n.name, {}};
    std::vector<const Network*> named;
    for (const auto& n : networks)
        if (n.name == want) named.push_back(&n);
    if (named.size() > 1)
        return {std::nullopt,
                {},
                L"Several connected networks are named " + quoted(want) +
                    L"; name one by its id (keldrast /networks lists them)."};
    if (named.size() == 1) return {named.front()->id, named.front()->name, {}};
    for (const auto& rule : rules.rules)
        if (sameText(rule.network, want) || (!rule.networkName.empty() && rule.networkName == want))
            return {rule.network, rule.networkName, {}};
    if (isNetworkId(want)) return {want, {}, {}};
    return {std::nullopt,
            {},
            L"No connected network, nor one with a rule, is " + quoted(want) +
                L". keldrast /networks lists the connected networks and their ids."};
}

} // namespace dns
