// "Check which DNS answers…" from the system menu: the engine asks the selected adapter's
// servers and Windows' resolver; the window shows the table and the verdict.
#include "app/frmMain.h"

#include "dns/checkrun.h"
#include "toolkit/busy.h"

void frmMain::checkWhichDnsAnswers() {
    const std::wstring service = selectedService();
    if (service.empty()) {
        message(L"Select network adapter...", MB_ICONINFORMATION);
        return;
    }
    dns::CheckReport report;
    tk::runWhileResponsive(hwnd(), [&, adapter = cbNET.text()] {
        report = dns::runCheck(adapter, service, dns::CheckOptions{});
    });
    message(dns::checkText(report),
            dns::answeredAsItself(report) ? MB_ICONINFORMATION : MB_ICONEXCLAMATION);
}
