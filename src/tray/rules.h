// What the notification area does when a network change has settled: which of the rules'
// changes would change something now, whether this switch has had its go already, and the
// notice that names the network and the entry. Pure: the networks, the plan and each
// adapter's servers come from the caller.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "dns/dnsplan.h"
#include "dns/netrules.h"
#include "elevate/brought.h"
#include "tray/traymenu.h"

namespace tray {

// The planned changes that are not in force: some adapter of the network has static servers
// other than the rule's (the same addresses in the same order, both families; none at all for
// the automatic servers). A rule in force is never applied again.
std::vector<dns::PlannedChange>
changesNeeded(const std::vector<dns::PlannedChange>& planned,
              const std::function<dns::CurrentDns(const std::wstring& guid)>& currentOf);

// One go per switch: a settled change applies the rules only when what they would change
// differs from what the last go started. So a change that did not take (declined, refused,
// saved but not read back) is not tried again at every notification its own writes cause,
// and the next switch of network applies afresh.
class RuleSwitch {
  public:
    // True when these needed changes should be applied now (and remembers them).
    bool shouldApply(const std::vector<dns::PlannedChange>& needed);

  private:
    std::wstring last_{};
};

// "Home: Google DNS", or "Office: Automatic (DHCP)"; "and N more" when several networks change.
std::wstring ruleTitle(const std::vector<dns::PlannedChange>& changes);

// The notice of a go: from what the elevated /apply-rules brought back, or, when the scheduled
// task ran it (its output stays with it), from whether the rules were in force afterwards.
Notice rulesNotice(const std::vector<dns::PlannedChange>& changes, const elevate::Brought& brought);
Notice taskRulesNotice(const std::vector<dns::PlannedChange>& changes, bool inForce);

} // namespace tray
