// Adapters, and what the main window does to them: Apply, Default and Flush.
#include "app/frmMain.h"

#include "catalogue/catalogue.h"
#include "dns/dnsapply.h"
#include "dns/previous_state.h"
#include "dns/readback.h"
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
         modReg::enumNetworkCards(L"HKEY_LOCAL_MACHINE", app::kNetworkCardsPath)) {
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
                           : app::currentDnsText(cbNET.text(), app::currentDns(service));
}

void frmMain::lbIDCard_Click() {
    if (const auto service = lstNET.item(cbNET.listIndex())) message(*service, MB_ICONINFORMATION);
}

void frmMain::btApply_Click() {
    const bool custom = chbCustom.value() != 0;
    std::wstring p, a;
    if (!readAddresses(p, a)) return;
    // Typed servers are IPv4 only; a catalogue entry brings its IPv6 pair.
    const std::wstring pair6 = custom ? L"" : lstDNS6.item(cbDNSName.listIndex()).value_or(L"");
    const auto servers6 = app::ipv6PairValue(pair6);
    if (!servers6) {
        message(L"The DNS servers were not changed: \"" + pair6 +
                    L"\" is not a pair of IPv6 addresses. Correct it in the settings file...",
                MB_ICONSTOP);
        return;
    }
    changedns(custom ? std::wstring(app::kCustomAppliedName) : cbDNSName.text(), p, a, *servers6);
}

void frmMain::changedns(const std::wstring& appliedName, const std::wstring& preferred,
                        const std::wstring& alternate, const std::wstring& servers6) {
    if (cbNET.text().empty()) {
        message(kSelectAdapter, MB_ICONINFORMATION);
        cbNET.setFocus();
        return;
    }
    const std::wstring service = selectedService();
    const std::wstring servers = preferred + L"," + alternate;
    if (app::isInterfaceGuid(service)) (void)app::rememberPreviousState(settingsPath(), service);
    const auto outcome = app::changeNameServers(service, servers, servers6);
    auto applied = app::serverList(servers);
    for (auto& server : app::serverList(servers6))
        applied.push_back(std::move(server));
    const auto notice = outcome.validService
                            ? app::applyNotice(outcome.written, outcome.live, applied,
                                               outcome.inUse, cbNET.text(), appliedName)
                            : app::Notice{app::invalidAdapterMessage(service), MB_ICONSTOP};
    message(notice.text, notice.flags);
}

void frmMain::btDefaultDNS_Click() {
    if (cbNET.text().empty()) {
        message(kSelectAdapter, MB_ICONINFORMATION);
        cbNET.setFocus();
        return;
    }
    const std::wstring service = selectedService();
    if (app::isInterfaceGuid(service)) (void)app::rememberPreviousState(settingsPath(), service);
    const auto outcome = app::changeNameServers(service, L"", L"");
    const auto notice = outcome.validService
                            ? app::defaultNotice(outcome.written, outcome.live, outcome.inUse)
                            : app::Notice{app::invalidAdapterMessage(service), MB_ICONSTOP};
    message(notice.text, notice.flags);
}

void frmMain::showCurrentDns() {
    const std::wstring service = selectedService();
    if (service.empty()) {
        message(kSelectAdapter, MB_ICONINFORMATION);
        return;
    }
    message(app::currentDnsText(cbNET.text(), app::currentDns(service)), MB_ICONINFORMATION);
}

bool frmMain::canRestore() const {
    const std::wstring service = selectedService();
    return !service.empty() && app::hasPreviousState(settingsPath(), service);
}

void frmMain::restorePreviousDns() {
    const std::wstring service = selectedService();
    const auto result = app::restorePreviousState(settingsPath(), service);
    if (!result.hadRecord) {
        message(app::kNothingToRestore, MB_ICONINFORMATION);
        return;
    }
    const auto& outcome = result.outcome;
    const auto notice = app::restoreNotice(outcome.written, outcome.live, result.applied,
                                           outcome.inUse, cbNET.text());
    message(notice.text, notice.flags);
}

void frmMain::btFlush_Click() {
    const auto command = app::systemFlushCommand();
    const bool started = !command.application.empty() &&
                         tk::startProcess(command.application, command.commandLine, SW_HIDE);
    btFlush.Enabled(false);
    Timer1.setEnabled(true);
    if (!started) message(app::kFlushFailedMessage, MB_ICONSTOP);
}

void frmMain::Timer1_Timer() {
    btFlush.Enabled(true);
    Timer1.setEnabled(false);
}
