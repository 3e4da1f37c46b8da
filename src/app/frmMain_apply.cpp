// Adapters, and what the main window does to them: Apply, Default and Flush.
#include "app/frmMain.h"

#include "catalogue/catalogue.h"
#include "dns/dnsapply.h"
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
        message(kNoAdapters, 16);
    else
        cbNET.setListIndex(0);
}

void frmMain::lbIDCard_Click() {
    if (const auto service = lstNET.item(cbNET.listIndex())) message(*service, 64);
}

void frmMain::btApply_Click() {
    const bool custom = chbCustom.value() != 0;
    std::wstring p, a;
    if (!readAddresses(p, a)) return;
    changedns(custom ? std::wstring(app::kCustomAppliedName) : cbDNSName.text(), p, a);
}

void frmMain::changedns(const std::wstring& appliedName, const std::wstring& preferred,
                        const std::wstring& alternate) {
    if (cbNET.text().empty()) {
        message(kSelectAdapter, 64);
        cbNET.setFocus();
        return;
    }
    const std::wstring service = lstNET.item(cbNET.listIndex()).value_or(L"");
    const auto outcome = app::changeNameServers(service, preferred + L"," + alternate);
    const auto notice =
        outcome.validService
            ? app::applyNotice(outcome.written, outcome.live, cbNET.text(), appliedName)
            : app::Notice{app::invalidAdapterMessage(service), MB_ICONSTOP};
    message(notice.text, notice.flags);
}

void frmMain::btDefaultDNS_Click() {
    if (cbNET.text().empty()) {
        message(kSelectAdapter, 64);
        cbNET.setFocus();
        return;
    }
    const std::wstring service = lstNET.item(cbNET.listIndex()).value_or(L"");
    const auto outcome = app::changeNameServers(service, L"");
    const auto notice = outcome.validService
                            ? app::defaultNotice(outcome.written, outcome.live)
                            : app::Notice{app::invalidAdapterMessage(service), MB_ICONSTOP};
    message(notice.text, notice.flags);
}

void frmMain::btFlush_Click() {
    const auto command = app::systemFlushCommand();
    const bool started = !command.application.empty() &&
                         tk::startProcess(command.application, command.commandLine, SW_HIDE);
    btFlush.Enabled(false);
    Timer1.setEnabled(true);
    if (!started) message(app::kFlushFailedMessage, 16);
}

void frmMain::Timer1_Timer() {
    btFlush.Enabled(true);
    Timer1.setEnabled(false);
}
