// Adapters, and what the main window does to them: Apply, Default and Flush.
#include "app/frmMain.h"

#include "catalogue/catalogue.h"
#include "catalogue/mConfig.h"
#include "dns/change.h"
#include "toolkit/platform.h"

namespace {

constexpr std::wstring_view kNoAdapters = L"No network adapters found!!!";
constexpr std::wstring_view kSelectAdapter = L"Select network adapter...";

} // namespace

void frmMain::loadNetworkAdapter() {
    cbNET.clear();
    lstNET.clear();
    for (const auto& card : dns::listedAdapters()) {
        cbNET.addItem(card.description);
        lstNET.addItem(card.service);
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

std::optional<dns::ChangeRequest> frmMain::applyRequest(std::wstring& appliedName) {
    const auto mode = mConfig::encryptedDnsMode(settingsPath());
    if (chbCustom.value() != 0) {
        std::wstring p, a;
        if (!readAddresses(p, a)) return std::nullopt;
        appliedName = dns::kCustomAppliedName;
        return dns::typedRequest({p, a}, {}, {}, mode);
    }
    // Otherwise the chosen entry's, whatever the fields hold for an open add panel.
    const int i = cbDNSName.listIndex();
    auto request = dns::entryRequest({names_.item(i).value_or(L""), lstDNS.item(i).value_or(L""),
                                      lstDNS6.item(i).value_or(L""), lstDoH.item(i).value_or(L"")},
                                     mode);
    if (!request) message(L"Enter IP Address...", MB_ICONSTOP);
    appliedName = cbDNSName.text();
    return request;
}

void frmMain::btApply_Click() {
    std::wstring appliedName;
    if (const auto request = applyRequest(appliedName)) changedns(appliedName, *request);
}

void frmMain::changedns(const std::wstring& appliedName, const dns::ChangeRequest& request) {
    makeChange(request, appliedName);
}

void frmMain::setDohMode(dns::DohMode mode) {
    if (!mConfig::setEncryptedDnsMode(settingsPath(), mode))
        message(L"The encrypted DNS setting could not be saved to\r\n" + settingsPath() +
                    L"\r\n\r\nThe file there is left as it was...",
                MB_ICONSTOP);
}

void frmMain::applyToEveryConnectedAdapter() {
    std::wstring appliedName;
    auto request = applyRequest(appliedName);
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
    // Many adapters change at once: name them and their servers first, No by default.
    if (message(dns::changeEachQuestion(*request, names, appliedName), dns::kQuestionFlags) !=
        IDYES)
        return;
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
    makeChange(dns::defaultRequest(), {});
}

void frmMain::restorePreviousDns() {
    makeChange(dns::restoreRequest(), {});
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
    btFlush.Enabled(false);
    Timer1.setEnabled(true);
    if (flushing_) return; // the running flush reports for both clicks
    flushWorker_.join();
    const bool started = flushWorker_.start([window = hwnd()] {
        dns::FlushOutcome flushed{dns::FlushResult::NotStarted};
        try {
            flushed = dns::flushResolverCache(true);
        } catch (...) {
            tk::logSwallowed(L"flush");
        }
        PostMessageW(window, kFlushDone, static_cast<WPARAM>(flushed.result),
                     static_cast<LPARAM>(flushed.exitCode));
    });
    flushing_ = started;
    if (!started) flushDone({dns::FlushResult::NotStarted});
}

void frmMain::flushDone(const dns::FlushOutcome& flushed) {
    flushWorker_.join();
    flushing_ = false;
    if (flushed.result != dns::FlushResult::Flushed) message(dns::flushText(flushed), MB_ICONSTOP);
}

void frmMain::Timer1_Timer() {
    btFlush.Enabled(true);
    Timer1.setEnabled(false);
}
