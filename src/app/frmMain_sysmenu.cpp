// The window's system menu (Alt+Space) carries the commands that have no control of their own,
// so the form's controls stay where they are; a right-click on the window, Shift+F10 or the menu
// key opens the same items as a pop-up menu. Each item has a mnemonic of its own that the
// standard items (Restore, Move, Size, Minimize, Maximize, Close) do not use.
#include "app/frmMain.h"

#include "catalogue/mConfig.h"
#include "dns/check.h"
#include "elevate/instances.h"

#include <windowsx.h>

#include <iterator>

namespace {

struct SystemMenuItem {
    UINT id; // a multiple of 16 below 0xF000: the system keeps the low four bits for itself
    const wchar_t* caption;
    void (frmMain::*run)();
    bool (frmMain::*available)() const; // null: always available
    bool startsGroup = false;           // a separator goes before it
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
     &frmMain::canUseOnThisNetwork, true},
    {frmMain::kNetworkRulesCommand, L"DNS per ne&twork\u2026", &frmMain::dnsPerNetwork, nullptr},
    {frmMain::kEncryptedServicesCommand, L"&Add encrypted entries to the catalogue",
     &frmMain::addEncryptedServices, nullptr},
    {frmMain::kDohOffCommand, L"Encrypted DNS: &off", &frmMain::dohOff, nullptr, true},
    {frmMain::kDohFallbackCommand, L"Encrypted DNS, plain &when it fails", &frmMain::dohFallback,
     nullptr},
    {frmMain::kDohOnlyCommand, L"Encrypted DNS onl&y", &frmMain::dohOnly, nullptr},
    {frmMain::kNotificationAreaCommand, L"&Keep in the notification area",
     &frmMain::keepInNotificationArea, nullptr, true},
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

// Both menus are built from the one table, so an item added there shows in both.
void frmMain::appendCommands(HMENU menu) const {
    for (const auto& item : kSystemMenu) {
        if (item.startsGroup) AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        AppendMenuW(menu, MF_STRING, item.id, item.caption);
    }
}

void frmMain::updateCommands(HMENU menu) const {
    for (const auto& item : kSystemMenu) {
        const bool on = !item.available || (this->*item.available)();
        EnableMenuItem(menu, item.id, MF_BYCOMMAND | (on ? MF_ENABLED : MF_GRAYED));
    }
    CheckMenuRadioItem(menu, kDohOffCommand, kDohOnlyCommand,
                       dohCommand(mConfig::encryptedDnsMode(settingsPath())), MF_BYCOMMAND);
}

void frmMain::addSystemMenu() {
    HMENU menu = GetSystemMenu(hwnd(), FALSE);
    if (!menu) return;
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    appendCommands(menu);
}

void frmMain::updateSystemMenu() {
    if (HMENU menu = GetSystemMenu(hwnd(), FALSE)) updateCommands(menu);
}

void frmMain::showCommandMenu(HWND from, LPARAM at) {
    // A mouse click opens it on the background and the labels; a control with a menu of its
    // own (the address and name fields) never passes the message on.
    if (at != -1 && from != hwnd() && from != Picture1.hwnd()) {
        wchar_t name[16]{};
        GetClassNameW(from, name, 16);
        if (lstrcmpiW(name, L"Static") != 0) return;
    }
    POINT p{GET_X_LPARAM(at), GET_Y_LPARAM(at)};
    if (at == -1) {
        // From the keyboard: under the focused control, or at the client area's corner.
        const HWND focus = GetFocus();
        RECT r{};
        if (focus && IsChild(hwnd(), focus) && GetWindowRect(focus, &r)) {
            p = {r.left, r.bottom};
        } else {
            p = {};
            ClientToScreen(hwnd(), &p);
        }
    }
    const tk::unique_any<HMENU, &DestroyMenu> menu(CreatePopupMenu());
    if (!menu) return;
    appendCommands(menu.get());
    updateCommands(menu.get());
    const UINT align = GetSystemMetrics(SM_MENUDROPALIGNMENT) ? TPM_RIGHTALIGN : TPM_LEFTALIGN;
    const auto id = static_cast<UINT>(TrackPopupMenuEx(
        menu.get(), align | TPM_RETURNCMD | TPM_RIGHTBUTTON, p.x, p.y, hwnd(), nullptr));
    if (id) systemCommand(id);
}

bool frmMain::menuKey(const MSG& msg) {
    // The menu key needs nothing here: the system sends WM_CONTEXTMENU when it is released,
    // whatever the focused control does with its keys.
    const bool down = msg.message == WM_SYSKEYDOWN;
    if ((!down && msg.message != WM_SYSKEYUP) || msg.wParam != VK_F10 || GetKeyState(VK_SHIFT) >= 0)
        return false;
    wchar_t name[16]{};
    GetClassNameW(msg.hwnd, name, 16);
    if (lstrcmpiW(name, L"Edit") == 0) return false;
    // The press opens it; the release is used up with it.
    if (down) showCommandMenu(hwnd(), -1);
    return true;
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
    const bool running = elevate::trayRunning();
    if (!running && !elevate::startTrayAsUser(hwnd())) {
        message(L"Keldrast could not start its notification-area icon without administrator "
                L"rights, so the window stays open.",
                MB_ICONEXCLAMATION | MB_OK);
        return;
    }
    // The icon says, the first time, where Keldrast went; one just started may take a moment.
    elevate::tellTrayWindowKept(running ? 0 : 3000);
    PostMessageW(hwnd(), WM_CLOSE, 0, 0);
}
