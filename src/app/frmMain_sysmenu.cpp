// The window's system menu (Alt+Space) carries the commands that have no control of their own,
// so the form's controls stay where they are. Each item has a mnemonic of its own that the
// standard items (Restore, Move, Size, Minimize, Maximize, Close) do not use.
#include "app/frmMain.h"

#include "catalogue/mConfig.h"
#include "dns/check.h"
#include "elevate/instances.h"

#include <iterator>

namespace {

struct SystemMenuItem {
    UINT id; // a multiple of 16 below 0xF000: the system keeps the low four bits for itself
    const wchar_t* caption;
    void (frmMain::*run)();
    bool (frmMain::*available)() const; // null: always available
};

const SystemMenuItem kSystemMenu[] = {
    {frmMain::kCurrentDnsCommand, L"Current &DNS servers\u2026", &frmMain::showCurrentDns, nullptr},
    {frmMain::kRestoreCommand, L"Restore &previous DNS", &frmMain::restorePreviousDns,
     &frmMain::canRestore},
    {frmMain::kFastestDnsCommand, L"Find the &fastest DNS\u2026", &frmMain::findFastestDns,
     nullptr},
    {frmMain::kCheckDnsCommand, dns::kCheckMenuText.data(), &frmMain::checkWhichDnsAnswers,
     nullptr},
    {frmMain::kEveryAdapterCommand, L"Apply to &every connected adapter",
     &frmMain::applyToEveryConnectedAdapter, nullptr},
    {frmMain::kNetworkRuleCommand, L"&Use this DNS on this network", &frmMain::useOnThisNetwork,
     &frmMain::canUseOnThisNetwork},
    {frmMain::kNetworkRulesCommand, L"DNS per ne&twork\u2026", &frmMain::dnsPerNetwork, nullptr},
    {frmMain::kEncryptedServicesCommand, L"&Add encrypted DNS services",
     &frmMain::addEncryptedServices, nullptr},
    {frmMain::kDohOffCommand, L"Encrypted DNS: &off", &frmMain::dohOff, nullptr},
    {frmMain::kDohFallbackCommand, L"Encrypted DNS, plain &when it fails", &frmMain::dohFallback,
     nullptr},
    {frmMain::kDohOnlyCommand, L"Encrypted DNS onl&y", &frmMain::dohOnly, nullptr},
    {frmMain::kNotificationAreaCommand, L"&Keep in the notification area",
     &frmMain::keepInNotificationArea, nullptr},
};

UINT dohCommand(dns::DohMode mode) {
    switch (mode) {
    case dns::DohMode::Off:
        return frmMain::kDohOffCommand;
    case dns::DohMode::Only:
        return frmMain::kDohOnlyCommand;
    case dns::DohMode::Fallback:
        break;
    }
    return frmMain::kDohFallbackCommand;
}

} // namespace

void frmMain::addSystemMenu() {
    HMENU menu = GetSystemMenu(hwnd(), FALSE);
    if (!menu) return;
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    for (const auto& item : kSystemMenu) {
        // The encrypted-DNS setting and the notification area each make a group of their own.
        if (item.id == kDohOffCommand || item.id == kNotificationAreaCommand)
            AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        AppendMenuW(menu, MF_STRING, item.id, item.caption);
    }
}

void frmMain::updateSystemMenu() {
    HMENU menu = GetSystemMenu(hwnd(), FALSE);
    if (!menu) return;
    for (const auto& item : kSystemMenu) {
        const bool on = !item.available || (this->*item.available)();
        EnableMenuItem(menu, item.id, MF_BYCOMMAND | (on ? MF_ENABLED : MF_GRAYED));
    }
    CheckMenuRadioItem(menu, kDohOffCommand, kDohOnlyCommand,
                       dohCommand(mConfig::encryptedDnsMode(settingsPath())), MF_BYCOMMAND);
}

bool frmMain::systemCommand(UINT id) {
    for (const auto& item : kSystemMenu) {
        if (item.id != id) continue;
        // A greyed item can still arrive as a message; it does nothing then.
        if (!item.available || (this->*item.available)()) (this->*item.run)();
        return true;
    }
    return false;
}

void frmMain::keepInNotificationArea() {
    if (!elevate::trayRunning() && !elevate::startTrayAsUser(hwnd())) {
        message(L"Keldrast could not start its notification-area icon without administrator "
                L"rights. Start it with: keldrast /tray",
                MB_ICONEXCLAMATION | MB_OK);
        return;
    }
    PostMessageW(hwnd(), WM_CLOSE, 0, 0);
}
