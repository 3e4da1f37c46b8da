// DNS per network from the system menu: a rule for the selected adapter's network, and the
// window that lists networks and rules.
#include "app/frmMain.h"

#include "catalogue/mConfig.h"
#include "dns/networks.h"
#include "toolkit/trim.h"

#include <algorithm>

namespace {

std::optional<dns::Network> networkOf(const std::wstring& service) {
    if (service.empty()) return std::nullopt;
    for (auto& network : dns::connectedNetworks())
        if (std::any_of(network.adapters.begin(), network.adapters.end(), [&](const auto& a) {
                return tk::foldAscii(a.guid) == tk::foldAscii(service);
            }))
            return network;
    return std::nullopt;
}

} // namespace

bool frmMain::canUseOnThisNetwork() const {
    return chbCustom.value() == 0 && cbDNSName.listIndex() >= 0 &&
           networkOf(selectedService()).has_value();
}

void frmMain::useOnThisNetwork() {
    const auto network = networkOf(selectedService());
    const auto entry = names_.item(cbDNSName.listIndex());
    if (!network || !entry || chbCustom.value() != 0) return;
    const std::wstring name = tk::trimSpaces(*entry);
    const std::wstring where = network->name.empty() ? network->id : network->name;
    if (!dns::keepNetworkRule(settingsPath(), {network->id, name, network->name})) {
        message(L"The rule was not kept: the settings file " + settingsPath() +
                    L" could not be read or written.",
                MB_ICONEXCLAMATION);
        return;
    }
    const auto saved = mConfig::loadCatalogue(settingsPath());
    const bool inFile = std::any_of(saved.begin(), saved.end(), [&](const auto& e) {
        return catalogue::sameName(e.name, name, mConfig::foldKey);
    });
    message(L"On the network \"" + where + L"\", Keldrast now uses " + name +
                L". keldrast /apply-rules applies it there." +
                (inFile ? L""
                        : L" The entry is used once the catalogue is saved, when this "
                          L"window closes."),
            MB_ICONINFORMATION);
}

void frmMain::dnsPerNetwork() {
    if (rules_ && rules_->hwnd()) {
        SetForegroundWindow(rules_->hwnd());
        return;
    }
    rules_ = std::make_unique<frmRules>(settingsPath());
    if (!rules_->open(hwnd())) rules_.reset();
}
