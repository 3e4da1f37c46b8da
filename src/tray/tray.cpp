#include "tray/tray.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <vector>

#include "catalogue/mConfig.h"
#include "catalogue/settings_location_win.h"
#include "elevate/broker.h"
#include "elevate/instances.h"
#include "elevate/task.h"
#include "dns/networks.h"
#include "dns/change.h"
#include "dns/checkrun.h"
#include "toolkit/busy.h"
#include "dns/nameserver_state.h"
#include "toolkit/open_as_user.h"
#include "toolkit/system_library.h"
#include "tray/trayicon.h"

namespace tray {

namespace {

constexpr const wchar_t* kClassName = elevate::kTrayClassName;
// How long a second start looks for the first one's window: it may be starting too.
constexpr DWORD kInstanceAnswerMs = 3000;
constexpr UINT_PTR kClickTimer = 1;
constexpr UINT_PTR kSettleTimer = 2;

bool notifyIcon(DWORD message, const NOTIFYICONDATAW& data) {
    return notifyIconSeam.call(
        [](DWORD m, const NOTIFYICONDATAW& d) {
            return Shell_NotifyIconW(m, const_cast<NOTIFYICONDATAW*>(&d)) != FALSE;
        },
        message, data);
}

template <std::size_t N> void copyText(wchar_t (&target)[N], std::wstring_view text) {
    const std::size_t n = std::min(text.size(), N - 1);
    std::copy_n(text.data(), n, target);
    target[n] = L'\0';
}

void appendItems(HMENU menu, const std::vector<MenuItem>& items) {
    for (const auto& item : items) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof(info);
        if (item.kind == MenuItem::Kind::Separator) {
            info.fMask = MIIM_FTYPE;
            info.fType = MFT_SEPARATOR;
        } else {
            info.fMask = MIIM_FTYPE | MIIM_STRING | MIIM_ID | MIIM_STATE;
            info.fType = item.radio ? MFT_RADIOCHECK : 0;
            info.wID = item.id;
            info.dwTypeData = const_cast<wchar_t*>(item.text.c_str());
            info.fState = (item.checked ? MFS_CHECKED : 0) | (item.enabled ? 0 : MFS_GRAYED) |
                          (item.isDefault ? MFS_DEFAULT : 0);
            if (item.kind == MenuItem::Kind::Submenu) {
                info.fMask |= MIIM_SUBMENU;
                info.hSubMenu = CreatePopupMenu();
                appendItems(info.hSubMenu, item.items);
            }
        }
        InsertMenuItemW(menu, GetMenuItemCount(menu), TRUE, &info);
    }
}

std::wstring quoted(const std::wstring& path) {
    return L"\"" + path + L"\"";
}

} // namespace

TrayWindow::TrayWindow(std::wstring settingsDirectory)
    : settingsDirectory_(std::move(settingsDirectory)) {}

TrayWindow::~TrayWindow() {
    speed_.reset();
    worker_.join();
    if (hwnd()) DestroyWindow(hwnd());
}

std::wstring TrayWindow::settingsFile() const {
    return settingsDirectory_.empty() ? mConfig::settingsLocation().path
                                      : mConfig::settingsPath(settingsDirectory_);
}

bool TrayWindow::create() {
    if (!registerClass(kClassName, 0)) return false;
    taskbarCreated_ = RegisterWindowMessageW(L"TaskbarCreated");
    windowKept_ = RegisterWindowMessageW(elevate::kWindowKeptMessage);
    // A hidden top-level window rather than a message-only one: only top-level windows hear
    // the TaskbarCreated broadcast. It covers the work area so that windows it owns centre there.
    RECT work{0, 0, 640, 480};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    if (!tk::Window::create(kClassName, WS_EX_TOOLWINDOW, WS_POPUP, L"Keldrast", work.left,
                            work.top, work.right - work.left, work.bottom - work.top, nullptr))
        return false;
    // Started elevated after all, the icon still hears the unelevated shell's broadcast.
    using FilterFn = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
    if (const auto allow = tk::moduleFunction<FilterFn>(GetModuleHandleW(L"user32.dll"),
                                                        "ChangeWindowMessageFilterEx")) {
        allow(hwnd(), taskbarCreated_, MSGFLT_ALLOW, nullptr);
        allow(hwnd(), windowKept_, MSGFLT_ALLOW, nullptr);
    }
    model_.rulesPaused = mConfig::traySwitch(settingsFile(), catalogue::kPauseRulesKey);
    refresh();
    // Without the notification (an old or stripped-down system) the rules apply when asked.
    (void)watch_.start(hwnd(), kNetworkChanged);
    // At sign-in the taskbar may not be there yet: the icon comes with its TaskbarCreated.
    addIcon();
    return true;
}

void TrayWindow::refresh() {
    if (model_.busy) return;
    refreshedAt_ = GetTickCount64();
    const std::wstring settings = settingsFile();
    model_.adapters.clear();
    for (auto& card : dns::listedAdapters())
        model_.adapters.push_back({std::move(card.description), std::move(card.service)});
    const auto remembered = model_.chosen && *model_.chosen < model_.adapters.size()
                                ? std::optional(model_.adapters[*model_.chosen].service)
                                : mConfig::chosenAdapter(settings);
    model_.chosen = chooseAdapter(model_.adapters, remembered);
    model_.entries = mConfig::loadCatalogue(settings);
    model_.current = {};
    model_.canRestore = false;
    if (model_.chosen) {
        const auto& service = model_.adapters[*model_.chosen].service;
        model_.current = dns::currentDns(service);
        model_.canRestore = dns::canRestore(settings, service);
    }
    model_.startsWithWindows = startsWithWindows();
    updateIcon();
}

bool TrayWindow::addIcon() {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof(data);
    data.hWnd = hwnd();
    data.uID = kIconId;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_SHOWTIP;
    data.uCallbackMessage = kIconMessage;
    light_ = taskbarIsLight();
    iconSize_ = MulDiv(16, static_cast<int>(tk::dpiForWindow(hwnd())), 96);
    icon_ = makeIcon(iconSize_, light_);
    data.hIcon = icon_.get();
    tip_ = toolTipOf(model_, std::size(data.szTip) - 1);
    copyText(data.szTip, tip_);
    notifyIcon(NIM_DELETE, data); // one left from before Explorer restarted
    added_ = notifyIcon(NIM_ADD, data);
    if (!added_) return false;
    data.uVersion = NOTIFYICON_VERSION_4;
    notifyIcon(NIM_SETVERSION, data);
    return true;
}

// Changes the icon only where its tool tip or look changed: no flicker otherwise.
void TrayWindow::updateIcon(bool force) {
    if (!hwnd()) return;
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof(data);
    data.hWnd = hwnd();
    data.uID = kIconId;
    const bool light = taskbarIsLight();
    const int size = MulDiv(16, static_cast<int>(tk::dpiForWindow(hwnd())), 96);
    if (force || light != light_ || size != iconSize_) {
        light_ = light;
        iconSize_ = size;
        icon_ = makeIcon(iconSize_, light_);
        data.uFlags |= NIF_ICON;
        data.hIcon = icon_.get();
    }
    const std::wstring tip = toolTipOf(model_, std::size(data.szTip) - 1);
    if (tip != tip_) {
        tip_ = tip;
        data.uFlags |= NIF_TIP | NIF_SHOWTIP;
        copyText(data.szTip, tip_);
    }
    if (data.uFlags && added_) notifyIcon(NIM_MODIFY, data);
}

HMENU TrayWindow::buildMenu() const {
    HMENU menu = CreatePopupMenu();
    if (menu) appendItems(menu, menuOf(model_));
    return menu;
}

void TrayWindow::showMenu(POINT anchor) {
    // The menu's own message loop may hand over another request for it: one menu at a time.
    if (menuOpen_) return;
    refresh();
    HMENU menu = buildMenu();
    if (!menu) return;
    // The menu closes when the user clicks elsewhere only when this window is in front, and
    // the posted WM_NULL lets the system finish the switch after the menu ends.
    SetForegroundWindow(hwnd());
    const UINT align = GetSystemMetrics(SM_MENUDROPALIGNMENT) ? TPM_RIGHTALIGN : TPM_LEFTALIGN;
    menuOpen_ = true;
    TrackPopupMenuEx(menu, align | TPM_BOTTOMALIGN | TPM_RIGHTBUTTON, anchor.x, anchor.y, hwnd(),
                     nullptr);
    menuOpen_ = false;
    PostMessageW(hwnd(), WM_NULL, 0, 0);
    DestroyMenu(menu);
}

void TrayWindow::run(const Command& command) {
    switch (command.action) {
    case Action::ChooseAdapter:
        if (command.index < model_.adapters.size()) {
            model_.chosen = command.index;
            // Not remembered when the file cannot be written; this session keeps the choice.
            (void)mConfig::setChosenAdapter(settingsFile(), model_.adapters[command.index].service);
            refresh();
        }
        break;
    case Action::Apply:
    case Action::Default:
    case Action::Restore:
    case Action::Flush:
        startChange(command);
        break;
    case Action::FindFastest:
        findFastest();
        break;
    case Action::Check:
        // The menu can open again while the check or its message runs: one at a time.
        if (!checking_ && model_.chosen && *model_.chosen < model_.adapters.size()) {
            const auto adapter = model_.adapters[*model_.chosen];
            dns::CheckReport report;
            checking_ = true;
            tk::runWhileResponsive(nullptr, [&] {
                report = dns::runCheck(adapter.description, adapter.service, dns::CheckOptions{});
            });
            tk::messageBox(nullptr, dns::checkText(report), L"Keldrast",
                           MB_SETFOREGROUND | (dns::answeredAsItself(report) ? MB_ICONINFORMATION
                                                                             : MB_ICONEXCLAMATION));
            checking_ = false;
        }
        break;
    case Action::Open: {
        const std::wstring exe = tk::executablePath();
        if (!tk::startProcess(exe, quoted(exe), SW_SHOWNORMAL).started)
            notify({L"Keldrast", L"The window could not be opened.", Notice::Icon::Error});
        break;
    }
    case Action::StartWithWindows:
        if (!setStartWithWindows(!model_.startsWithWindows))
            notify(
                {L"Start with Windows", L"The setting could not be changed.", Notice::Icon::Error});
        model_.startsWithWindows = startsWithWindows();
        break;
    case Action::PauseRules:
        // Paused or not, this session goes by the choice; a file that cannot be written only
        // means the next start does not know it.
        model_.rulesPaused = !model_.rulesPaused;
        if (!mConfig::setTraySwitch(settingsFile(), catalogue::kPauseRulesKey, model_.rulesPaused))
            notify(
                {L"Pause rules",
                 L"The choice holds until Keldrast ends: the settings file could not be written.",
                 Notice::Icon::Warning});
        break;
    case Action::ApplyRules: // a settled network change starts it, never a menu item
        break;
    case Action::Exit:
        DestroyWindow(hwnd());
        break;
    }
}

void TrayWindow::startChange(const Command& command) {
    const auto args = changeArguments(command, model_);
    if (args.empty() || model_.busy) return;
    worker_.join();
    model_.busy = true;
    running_ = command;
    updateIcon();
    const bool started = worker_.start([this, args, window = hwnd()] {
        elevate::Brought brought;
        brought.exitCode = elevate::kNoReport;
        try {
            brought = elevate::runElevated(args);
        } catch (...) {
            tk::logSwallowed(L"tray change");
        }
        {
            std::lock_guard hold(lock_);
            brought_ = std::move(brought);
        }
        PostMessageW(window, kChangeDone, 0, 0);
    });
    if (!started) {
        model_.busy = false;
        elevate::Brought notStarted;
        notStarted.exitCode = elevate::kNoReport;
        notStarted.failure = L"The change could not be started.";
        notify(noticeOf(command, model_, notStarted));
        updateIcon();
    }
}

void TrayWindow::changeDone() {
    worker_.join();
    elevate::Brought brought;
    {
        std::lock_guard hold(lock_);
        brought = std::move(brought_);
    }
    model_.busy = false;
    // The task was not made: why, before the switch's own notice.
    if (running_.action == Action::ApplyRules && !taskFailure_.empty())
        notify({L"Keldrast DNS rules", shortened(taskFailure_, kMaxNoticeText),
                Notice::Icon::Warning});
    if (running_.action == Action::ApplyRules)
        notify(rulesByTask_ ? taskRulesNotice(ruleChanges_, rulesInForce_)
                            : rulesNotice(ruleChanges_, brought));
    else
        notify(noticeOf(running_, model_, brought));
    refresh();
    // The change's own writes, or another switch, came meanwhile: look again now.
    if (std::exchange(settledWhileBusy_, false)) networkSettled();
}

void TrayWindow::notify(const Notice& notice) {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof(data);
    data.hWnd = hwnd();
    data.uID = kIconId;
    data.uFlags = NIF_INFO;
    copyText(data.szInfoTitle, notice.title);
    copyText(data.szInfo, notice.text);
    data.dwInfoFlags = notice.icon == Notice::Icon::Error     ? NIIF_ERROR
                       : notice.icon == Notice::Icon::Warning ? NIIF_WARNING
                                                              : NIIF_INFO;
    notifyIcon(NIM_MODIFY, data);
}

void TrayWindow::findFastest() {
    if (speed_ && speed_->hwnd()) {
        SetForegroundWindow(speed_->hwnd());
        return;
    }
    speed_.reset();
    // "Use this" applies the entry to the chosen adapter, as its menu item would, once the
    // user said Yes to the question that names both; No leaves the results up.
    speed_ = std::make_unique<frmSpeed>(
        model_.entries, dns::SpeedOptions{}, [this](const dns::EntryResult& entry) {
            for (std::size_t i = 0; i < model_.entries.size(); ++i)
                if (catalogue::sameName(model_.entries[i].name, entry.name, mConfig::foldKey)) {
                    const auto command =
                        commandOf(kFirstEntryId + static_cast<unsigned>(i), model_);
                    if (!command) return true;
                    const auto question =
                        useQuestion(entry, model_.adapters[*model_.chosen].description);
                    if (tk::messageBox(speed_->hwnd(), question.text, L"Keldrast",
                                       question.flags) != IDYES)
                        return false;
                    run(*command);
                    return true;
                }
            return true;
        });
    if (!speed_->open(hwnd()))
        speed_.reset();
    else
        SetForegroundWindow(speed_->hwnd());
}

void TrayWindow::windowKept() {
    // Without an icon the notice would go nowhere: it waits for the next time.
    if (!added_) return;
    const std::wstring settings = settingsFile();
    const auto notice =
        trayNotice(noticeShown_ || mConfig::traySwitch(settings, catalogue::kTrayNoticeKey));
    if (!notice) return;
    notify(*notice);
    noticeShown_ = true;
    // Not remembered when the file cannot be written: then each run says it once.
    (void)mConfig::setTraySwitch(settings, catalogue::kTrayNoticeKey, true);
}

void TrayWindow::networkChanged() {
    settle_.changed(GetTickCount64());
    settleTimer();
}

// Arms the timer for the end of the quiet period, or acts when it has come.
void TrayWindow::settleTimer() {
    KillTimer(hwnd(), kSettleTimer);
    const ULONGLONG now = GetTickCount64();
    if (settle_.fired(now)) {
        networkSettled();
    } else if (const auto due = settle_.due()) {
        SetTimer(hwnd(), kSettleTimer, static_cast<UINT>(*due - now), nullptr);
    }
}

// Applies the rules of the networks connected now, when one would change something and this
// switch has not had its go. Read as the user; the elevated /apply-rules reads them again.
void TrayWindow::networkSettled() {
    if (model_.rulesPaused) return;
    if (model_.busy) {
        settledWhileBusy_ = true;
        return;
    }
    const std::wstring settings = settingsFile();
    const auto entries = mConfig::loadCatalogue(settings);
    const auto rules = dns::networkRules(settings, entries);
    if (rules.rules.empty()) return;
    const auto plan = dns::planRules(dns::connectedNetworks(), rules, entries,
                                     mConfig::encryptedDnsMode(settings), mConfig::foldKey);
    auto needed =
        changesNeeded(plan.changes, [](const std::wstring& guid) { return dns::currentDns(guid); });
    if (!ruleSwitch_.shouldApply(needed)) return;
    // The first time the rules would change something, the user chooses how they may.
    bool createTask = false;
    if (!mConfig::traySwitch(settings, catalogue::kTaskOfferedKey)) {
        createTask =
            tk::messageBox(
                nullptr,
                L"Keldrast can switch DNS for your networks without asking for administrator "
                L"rights each time, through a scheduled task that applies your rules with highest "
                L"privileges. Windows asks once now.\n\nCreate the task?",
                L"Keldrast", MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND) == IDYES;
        // Asked once; declined, each switch asks for elevation.
        (void)mConfig::setTraySwitch(settings, catalogue::kTaskOfferedKey, true);
    }
    startRules(std::move(needed), createTask);
}

void TrayWindow::startRules(std::vector<dns::PlannedChange> changes, bool createTask) {
    worker_.join();
    model_.busy = true;
    running_ = {Action::ApplyRules};
    ruleChanges_ = changes;
    updateIcon();
    const bool started = worker_.start([this, changes, createTask, window = hwnd()] {
        elevate::Brought brought;
        brought.exitCode = elevate::kNoReport;
        bool byTask = false, inForce = false;
        std::wstring taskFailure;
        try {
            if (createTask) {
                const auto made = elevate::runElevated({L"/rules-task", L"on"});
                if (made.exitCode != 0) taskFailure = made.err.empty() ? made.failure : made.err;
            }
            // The task, where it is there, runs /apply-rules without a prompt; its output stays
            // with it, so the adapters' servers tell whether it applied.
            if (elevate::runRulesTask().status == elevate::TaskStatus::Done) {
                byTask = true;
                const auto currentOf = [](const std::wstring& guid) {
                    return dns::currentDns(guid);
                };
                for (int i = 0; i < 60 && !inForce; ++i) {
                    Sleep(500);
                    inForce = changesNeeded(changes, currentOf).empty();
                }
            } else {
                brought = elevate::runElevated({L"/apply-rules"});
            }
        } catch (...) {
            tk::logSwallowed(L"tray rules");
        }
        {
            std::lock_guard hold(lock_);
            brought_ = std::move(brought);
            rulesByTask_ = byTask;
            rulesInForce_ = inForce;
            taskFailure_ = std::move(taskFailure);
        }
        PostMessageW(window, kChangeDone, 0, 0);
    });
    if (!started) {
        model_.busy = false;
        updateIcon();
    }
}

LRESULT TrayWindow::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == taskbarCreated_ && taskbarCreated_) {
        addIcon();
        return 0;
    }
    if (message == windowKept_ && windowKept_) {
        windowKept();
        return 0;
    }
    switch (message) {
    case kIconMessage: {
        const POINT anchor{GET_X_LPARAM(wParam), GET_Y_LPARAM(wParam)};
        switch (LOWORD(lParam)) {
        case WM_CONTEXTMENU:
        case NIN_KEYSELECT:
            KillTimer(hwnd(), kClickTimer);
            waitingForDoubleClick_ = false;
            showMenu(anchor);
            break;
        case NIN_SELECT:
            // A click opens the menu once it is clear that no second click follows; the
            // release that ends a double-click opens nothing.
            if (GetTickCount64() - doubleClickedAt_ < GetDoubleClickTime()) break;
            clickAnchor_ = anchor;
            waitingForDoubleClick_ = true;
            SetTimer(hwnd(), kClickTimer, GetDoubleClickTime(), nullptr);
            break;
        case WM_MOUSEMOVE:
            // The pointer rests on the icon: its tool tip is about to show, so bring it up
            // to date (a change made elsewhere), at most every two seconds.
            if (GetTickCount64() - refreshedAt_ > 2000) refresh();
            break;
        case WM_LBUTTONDBLCLK:
            doubleClickedAt_ = GetTickCount64();
            KillTimer(hwnd(), kClickTimer);
            waitingForDoubleClick_ = false;
            run({Action::Open});
            break;
        default:
            break;
        }
        return 0;
    }
    case WM_TIMER:
        if (wParam == kClickTimer) {
            KillTimer(hwnd(), kClickTimer);
            if (std::exchange(waitingForDoubleClick_, false)) showMenu(clickAnchor_);
            return 0;
        }
        if (wParam == kSettleTimer) {
            settleTimer();
            return 0;
        }
        break;
    case WM_COMMAND:
        if (HIWORD(wParam) == 0 && lParam == 0) {
            if (const auto command = commandOf(LOWORD(wParam), model_)) run(*command);
            return 0;
        }
        break;
    case kChangeDone:
        changeDone();
        return 0;
    case kNetworkChanged:
        networkChanged();
        return 0;
    case WM_SETTINGCHANGE:
    case WM_DISPLAYCHANGE:
    case WM_DPICHANGED:
        updateIcon();
        return 0;
    case WM_DESTROY: {
        KillTimer(hwnd(), kClickTimer);
        KillTimer(hwnd(), kSettleTimer);
        watch_.stop();
        NOTIFYICONDATAW data{};
        data.cbSize = sizeof(data);
        data.hWnd = hwnd();
        data.uID = kIconId;
        if (added_) notifyIcon(NIM_DELETE, data);
        added_ = false;
        if (endsProgram) PostQuitMessage(0);
        return 0;
    }
    default:
        break;
    }
    return defaultHandling(message, wParam, lParam);
}

bool taskbarIsLight() {
    DWORD value = 0, size = sizeof(value);
    return RegGetValueW(HKEY_CURRENT_USER,
                        L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize",
                        L"SystemUsesLightTheme", RRF_RT_REG_DWORD, nullptr, &value,
                        &size) == ERROR_SUCCESS &&
           value != 0;
}

unique_hicon makeIcon(int size, bool lightTaskbar) {
    size = std::max(size, 8);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = size;
    info.bmiHeader.biHeight = -size;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    tk::unique_hbitmap colour(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    tk::unique_hbitmap mask(CreateBitmap(size, size, 1, 1, nullptr));
    if (!colour || !mask || !bits) return {};
    const auto pixels = iconPixels(size, lightTaskbar);
    std::copy(pixels.begin(), pixels.end(), static_cast<std::uint32_t*>(bits));
    ICONINFO icon{TRUE, 0, 0, mask.get(), colour.get()};
    return unique_hicon(CreateIconIndirect(&icon));
}

bool startsWithWindows() {
    return RegGetValueW(HKEY_CURRENT_USER, kRunKey, kRunValue, RRF_RT_REG_SZ, nullptr, nullptr,
                        nullptr) == ERROR_SUCCESS;
}

bool setStartWithWindows(bool on) {
    if (!on) {
        const LSTATUS status = RegDeleteKeyValueW(HKEY_CURRENT_USER, kRunKey, kRunValue);
        return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
    }
    const std::wstring command = quoted(tk::executablePath()) + L" /tray";
    return RegSetKeyValueW(HKEY_CURRENT_USER, kRunKey, kRunValue, REG_SZ, command.c_str(),
                           static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t))) ==
           ERROR_SUCCESS;
}

int run() {
    const tk::unique_handle instance(
        CreateMutexW(nullptr, FALSE, elevate::trayInstanceName().c_str()));
    if (GetLastError() == ERROR_ALREADY_EXISTS || GetLastError() == ERROR_ACCESS_DENIED) {
        if (elevate::trayAnswers(kInstanceAnswerMs)) return 0;
        tk::messageBox(nullptr,
                       L"Keldrast is already in the notification area, or another program holds "
                       L"its place there: no Keldrast icon answers. End the other Keldrast in Task "
                       L"Manager and start it again.",
                       L"Keldrast", MB_ICONSTOP);
        return 1;
    }
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
    TrayWindow tray;
    if (!tray.create()) return 1;
    MSG msg{};
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        HWND root = GetAncestor(msg.hwnd, GA_ROOT);
        if (root && root != tray.hwnd() && IsDialogMessageW(root, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

} // namespace tray
