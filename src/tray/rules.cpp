#include "tray/rules.h"

#include "dns/address.h"
#include "toolkit/decimal.h"

namespace tray {

namespace {

std::vector<std::wstring> canonicalList(dns::Family family, std::wstring_view text) {
    std::vector<std::wstring> out;
    for (const auto& server : dns::serverList(text))
        out.push_back(dns::canonicalAddress(family, server).value_or(server));
    return out;
}

bool adapterInForce(const dns::ChangeRequest& request, const dns::CurrentDns& current) {
    const auto static4 = canonicalList(dns::Family::V4, current.static4.value_or(L""));
    const auto static6 = canonicalList(dns::Family::V6, current.static6.value_or(L""));
    if (request.kind != dns::ChangeKind::Apply) return static4.empty() && static6.empty();
    return static4 == canonicalList(dns::Family::V4, request.servers) &&
           static6 == canonicalList(dns::Family::V6, request.servers6);
}

std::wstring entryName(const dns::PlannedChange& change) {
    return change.rule.entry ? *change.rule.entry : L"Automatic (DHCP)";
}

} // namespace

std::vector<dns::PlannedChange>
changesNeeded(const std::vector<dns::PlannedChange>& planned,
              const std::function<dns::CurrentDns(const std::wstring& guid)>& currentOf) {
    std::vector<dns::PlannedChange> needed;
    for (const auto& change : planned)
        for (const auto& adapter : change.network.adapters)
            if (!adapterInForce(change.request, currentOf(adapter.guid))) {
                needed.push_back(change);
                break;
            }
    return needed;
}

bool RuleSwitch::shouldApply(const std::vector<dns::PlannedChange>& needed) {
    std::wstring key;
    for (const auto& change : needed)
        key += change.network.id + L"=" + entryName(change) + L"\n";
    if (key.empty() || key == last_) {
        // In force: the next deviation, at a later switch, applies again.
        if (key.empty()) last_.clear();
        return false;
    }
    last_ = std::move(key);
    return true;
}

std::wstring ruleTitle(const std::vector<dns::PlannedChange>& changes) {
    if (changes.empty()) return L"Rules";
    std::wstring title = changes.front().network.name + L": " + entryName(changes.front());
    if (changes.size() > 1) title += L" and " + tk::decimal(changes.size() - 1) + L" more";
    return title;
}

Notice rulesNotice(const std::vector<dns::PlannedChange>& changes,
                   const elevate::Brought& brought) {
    // Worded as a change from the menu is, with the network and the entry as its name.
    Model named;
    named.entries.push_back({ruleTitle(changes), L""});
    return noticeOf({Action::Apply, 0}, named, brought);
}

Notice taskRulesNotice(const std::vector<dns::PlannedChange>& changes, bool inForce) {
    const std::wstring title = ruleTitle(changes);
    if (inForce)
        return {shortened(title + L": done", kMaxNoticeTitle),
                L"The scheduled task \"Keldrast DNS rules\" applied the rule.", Notice::Icon::Info};
    return {shortened(title + L": not applied", kMaxNoticeTitle),
            L"The scheduled task ran, but the adapters do not have the rule's servers. Run "
            L"keldrast /apply-rules to see why.",
            Notice::Icon::Error};
}

} // namespace tray
