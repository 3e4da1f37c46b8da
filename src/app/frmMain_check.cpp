// "Check which DNS answers…" from the system menu: the engine asks the selected adapter's
// servers and Windows' resolver; the window shows the table and the verdict.
#include "app/frmMain.h"

#include "dns/checkrun.h"

void frmMain::checkWhichDnsAnswers() {
    const std::wstring service = selectedService();
    if (service.empty()) {
        message(L"Select network adapter...", MB_ICONINFORMATION);
        return;
    }
    // The check waits for its answers a few seconds at most.
    const HCURSOR previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    const auto report = dns::runCheck(cbNET.text(), service, dns::CheckOptions{});
    SetCursor(previous);
    message(dns::checkText(report),
            dns::answeredAsItself(report) ? MB_ICONINFORMATION : MB_ICONEXCLAMATION);
}
