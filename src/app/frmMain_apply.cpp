// Adapters, and what the main window does to them: Apply, Default and Flush.
#include "app/frmMain.h"

#include "catalogue/catalogue.h"
#include "catalogue/mConfig.h"
#include "dns/change.h"
#include "registry/modReg.h"
#include "toolkit/platform.h"

namespace {

constexpr std::wstring_view kNoAdapters = L"No network adapters found!!!";
constexpr std::wstring_view kSelectAdapter = L"Select network adapter...";

} // namespace

void frmMain::loadNetworkAdapter() {
    cbNET.clear();
    lstNET.clear();
    for (const auto& card :
         modReg::enumNetworkCards(L"HKEY_LOCAL_MACHINE", dns::kNetworkCardsPath)) {
        cbNET.addItem(card.description);
        lstNET.addItem(card.serviceName);
    }
    if (cbNET.count() == 0) {
        message(kNoAdapters, MB_ICONSTOP);
        return;
    }
    // The adapter last changed with Keldrast, while it is still listed; otherwise the first.
    int chosen = 0;
    if (const auto last = mConfig::chosenAdapter(settingsPath()))
        for (int i = 0; i < lstNET.count(); ++i)
            if (mConfig::foldKey(lstNET.item(i).value_or(L"")) == mConfig::foldKey(*last)) {
                chosen = i;
                break;
            }
    cbNET.setListIndex(chosen);
}

std::wstring frmMain::selectedService() const {
    if (cbNET.text().empty()) return {};
    return lstNET.item(cbNET.listIndex()).value_or(L"");
}

std::wstring frmMain::adapterTipText() const {
    const std::wstring service = selectedService();
    return service.empty() ? std::wstring(kSelectAdapter)
                           : dns::currentDnsText(cbNET.text(), dns::currentDns(service));
}

void frmMain::lbIDCard_Click() {
    if (const auto service = lstNET.item(cbNET.listIndex())) message(*service, MB_ICONINFORMATION);
}

std::optional<dns::ChangeRequest> frmMain::applyRequest(std::wstring& appliedName, std::wstring& p,
                                                        std::wstring& a) {
    const bool custom = chbCustom.value() != 0;
    if (!serversToApply(p, a)) return std::nullopt;
    // Typed servers are IPv4 only; a catalogue entry brings its IPv6 pair.
    const std::wstring pair6 = custom ? L"" : lstDNS6.item(cbDNSName.listIndex()).value_or(L"");
    const auto servers6 = dns::serverPairValue(dns::Family::V6, pair6);
    if (!servers6) {
        message(L"The DNS servers were not changed: \"" + pair6 +
                    L"\" is not a pair of IPv6 addresses. Correct it in the settings file...",
                MB_ICONSTOP);
        return std::nullopt;
    }
    appliedName = custom ? std::wstring(dns::kCustomAppliedName) : cbDNSName.text();
    const std::wstring url = custom ? L"" : lstDoH.item(cbDNSName.listIndex()).value_or(L"");
    return dns::ChangeRequest{dns::ChangeKind::Apply,
                              {},
                              p + L"," + a,
                              *servers6,
                              false,
                              url,
                              mConfig::encryptedDnsMode(settingsPath())};
}

void frmMain::btApply_Click() {
    std::wstring appliedName, p, a;
    if (const auto request = applyRequest(appliedName, p, a))
        changedns(appliedName, p, a, request->servers6, request->dohTemplate);
}

void frmMain::changedns(const std::wstring& appliedName, const std::wstring& preferred,
                        const std::wstring& alternate, const std::wstring& servers6,
                        const std::wstring& dohTemplate) {
    makeChange({dns::ChangeKind::Apply,
                {},
                preferred + L"," + alternate,
                servers6,
                false,
                dohTemplate,
                mConfig::encryptedDnsMode(settingsPath())},
               appliedName);
}

void frmMain::setDohMode(dns::DohMode mode) {
    if (!mConfig::setEncryptedDnsMode(settingsPath(), mode))
        message(L"The encrypted DNS setting could not be saved to\r\n" + settingsPath() +
                    L"\r\n\r\nThe file there is left as it was...",
                MB_ICONSTOP);
}

void frmMain::applyToEveryConnectedAdapter() {
    std::wstring appliedName, p, a;
    auto request = applyRequest(appliedName, p, a);
    if (!request) return;
    const auto listed = dns::listedAdapters();
    const auto state = dns::networkState();
    std::vector<std::wstring> services, names;
    for (const auto i : dns::connectedAdapters(listed, state)) {
        services.push_back(listed[i].service);
        names.push_back(listed[i].description);
    }
    if (services.empty()) {
        message(state.adapters ? L"No adapter is connected: nothing was changed..."
                               : L"Windows does not say which adapters are connected: nothing "
                                 L"was changed. Choose an adapter and press Apply DNS...",
                MB_ICONINFORMATION);
        return;
    }
    auto outcomes = dns::changeEach(*request, services, settingsPath());
    std::vector<std::size_t> unrecorded;
    std::vector<std::wstring> unrecordedServices;
    for (std::size_t i = 0; i < outcomes.size(); ++i)
        if (outcomes[i].result == dns::Result::NoRestorePoint) {
            unrecorded.push_back(i);
            unrecordedServices.push_back(services[i]);
        }
    if (!unrecorded.empty() && message(dns::noRestorePointQuestion(outcomes[unrecorded.front()]),
                                       dns::kQuestionFlags) == IDYES) {
        request->withoutRestorePoint = true;
        auto again = dns::changeEach(*request, unrecordedServices, settingsPath());
        for (std::size_t k = 0; k < unrecorded.size(); ++k)
            outcomes[unrecorded[k]] = std::move(again[k]);
    }
    const auto notice = dns::changeEachNotice(outcomes, names, appliedName, settingsPath());
    message(notice.text, notice.flags);
}

void frmMain::btDefaultDNS_Click() {
    makeChange({dns::ChangeKind::Default}, {});
}

void frmMain::restorePreviousDns() {
    makeChange({dns::ChangeKind::Restore}, {});
}

void frmMain::makeChange(dns::ChangeRequest request, std::wstring_view appliedName) {
    if (cbNET.text().empty()) {
        message(kSelectAdapter, MB_ICONINFORMATION);
        cbNET.setFocus();
        return;
    }
    request.service = selectedService();
    auto outcome = dns::change(request, settingsPath());
    if (outcome.result == dns::Result::NoRestorePoint) {
        if (message(dns::noRestorePointQuestion(outcome), dns::kQuestionFlags) != IDYES) return;
        request.withoutRestorePoint = true;
        outcome = dns::change(request, settingsPath());
    }
    const auto notice = dns::changeNotice(outcome, cbNET.text(), appliedName, settingsPath());
    message(notice.text, notice.flags);
}

void frmMain::showCurrentDns() {
    const std::wstring service = selectedService();
    if (service.empty()) {
        message(kSelectAdapter, MB_ICONINFORMATION);
        return;
    }
    message(dns::currentDnsText(cbNET.text(), dns::currentDns(service)), MB_ICONINFORMATION);
}

bool frmMain::canRestore() const {
    const std::wstring service = selectedService();
    return !service.empty() && dns::canRestore(settingsPath(), service);
}

void frmMain::btFlush_Click() {
    const auto flushed = dns::flushResolverCache(false);
    btFlush.Enabled(false);
    Timer1.setEnabled(true);
    if (flushed.result != dns::FlushResult::Started) message(dns::flushText(flushed), MB_ICONSTOP);
}

void frmMain::Timer1_Timer() {
    btFlush.Enabled(true);
    Timer1.setEnabled(false);
}
