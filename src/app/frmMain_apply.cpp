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
    if (cbNET.count() == 0)
        message(kNoAdapters, MB_ICONSTOP);
    else
        cbNET.setListIndex(0);
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

void frmMain::btApply_Click() {
    const bool custom = chbCustom.value() != 0;
    std::wstring p, a;
    if (!serversToApply(p, a)) return;
    // Typed servers are IPv4 only; a catalogue entry brings its IPv6 pair.
    const std::wstring pair6 = custom ? L"" : lstDNS6.item(cbDNSName.listIndex()).value_or(L"");
    const auto servers6 = dns::serverPairValue(dns::Family::V6, pair6);
    if (!servers6) {
        message(L"The DNS servers were not changed: \"" + pair6 +
                    L"\" is not a pair of IPv6 addresses. Correct it in the settings file...",
                MB_ICONSTOP);
        return;
    }
    const std::wstring url = custom ? L"" : lstDoH.item(cbDNSName.listIndex()).value_or(L"");
    changedns(custom ? std::wstring(dns::kCustomAppliedName) : cbDNSName.text(), p, a, *servers6,
              url);
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
