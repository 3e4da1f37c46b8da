#include "app/frmMain.h"

#include "app/about.h"
#include "app/appinfo.h"
#include "app/layout.h"
#include "catalogue/mConfig.h"
#include "catalogue/settings_location_win.h"
#include "toolkit/colour_win.h"
#include "toolkit/font_win.h"
#include "toolkit/platform.h"
#include "toolkit/scale.h"

#include <commctrl.h>

#include <algorithm>
#include <functional>
#include <utility>
#include <variant>
#include <vector>

namespace {

constexpr wchar_t kClassName[] = L"KeldrastMain";
constexpr int kIconResource = 1;
constexpr int kToolTipWidth = 320; // pixels at 96 DPI; the flush tip wraps onto a few lines

// Every windowed control of the form with its row of the control table.
using AnyControl = std::variant<tk::Label*, kLabel*, tk::ComboBox*, kButton*, tk::CheckBox*,
                                IPAddressBox*, tk::TextBox*, tk::Panel*>;
struct Placed {
    std::reference_wrapper<const app::ControlRow> row;
    AnyControl control;
};

// Each windowed control with its row of the table; a misspelt name does not compile. Listed
// in the order the form creates them: the form's own controls by tab index, then the add
// panel's, which need the panel as their parent.
std::vector<Placed> placedControls(frmMain& f) {
    using app::controlRow;
    std::vector<Placed> placed{{controlRow(L"Label1"), &f.Label1},
                               {controlRow(L"kLabel1"), &f.kLabel1},
                               {controlRow(L"kLabel2"), &f.kLabel2},
                               {controlRow(L"Label2"), &f.Label2},
                               {controlRow(L"lbIDCard"), &f.lbIDCard},
                               {controlRow(L"cbNET"), &f.cbNET},
                               {controlRow(L"Label3"), &f.Label3},
                               {controlRow(L"cbDNSName"), &f.cbDNSName},
                               {controlRow(L"bt1"), &f.bt1},
                               {controlRow(L"bt2"), &f.bt2},
                               {controlRow(L"chbCustom"), &f.chbCustom},
                               {controlRow(L"Label4"), &f.Label4},
                               {controlRow(L"IP1"), &f.IP1},
                               {controlRow(L"Label5"), &f.Label5},
                               {controlRow(L"IP2"), &f.IP2},
                               {controlRow(L"btApply"), &f.btApply},
                               {controlRow(L"btDefaultDNS"), &f.btDefaultDNS},
                               {controlRow(L"btFlush"), &f.btFlush},
                               {controlRow(L"kButton24"), &f.kButton24},
                               {controlRow(L"kButton25"), &f.kButton25},
                               {controlRow(L"kButton23"), &f.kButton23},
                               {controlRow(L"Picture1"), &f.Picture1},
                               {controlRow(L"Label6"), &f.Label6},
                               {controlRow(L"Label7"), &f.Label7},
                               {controlRow(L"txName"), &f.txName},
                               {controlRow(L"btADD"), &f.btADD},
                               {controlRow(L"btCANCEL"), &f.btCANCEL}};
    std::stable_sort(placed.begin(), placed.end(), [](const Placed& a, const Placed& b) {
        const app::ControlRow &x = a.row, &y = b.row;
        return std::pair(x.inPanel, x.tabIndex) < std::pair(y.inPanel, y.tabIndex);
    });
    return placed;
}

// Where the focus goes in a control: the address field's editor, or the control's window.
HWND focusTarget(const AnyControl& control) {
    return std::visit(
        [](auto* c) -> HWND {
            if constexpr (std::is_same_v<std::remove_pointer_t<decltype(c)>, IPAddressBox>)
                return c->hwndIP();
            else
                return c->hwnd();
        },
        control);
}

// Shown and enabled up to the form, so that the focus can go there.
bool canTakeFocus(HWND window, HWND form) {
    for (; window && window != form; window = GetParent(window))
        if (!IsWindowVisible(window) || !IsWindowEnabled(window)) return false;
    return window && window == form;
}

} // namespace

frmMain::frmMain(std::wstring settingsDirectory)
    // Where the settings file lives is decided once, at start: each look costs disk probes.
    : settingsPath_(settingsDirectory.empty() ? mConfig::settingsLocation().path
                                              : mConfig::settingsPath(settingsDirectory)),
      normalFont_(tk::makeFont({L"Tahoma", app::fontPoints(app::FontStyle::Normal), FW_NORMAL})),
      boldFont_(tk::makeFont({L"Tahoma", app::fontPoints(app::FontStyle::Bold), FW_BOLD})),
      titleFont_(tk::makeFont({L"Tahoma", app::fontPoints(app::FontStyle::Title), FW_BOLD})) {}

frmMain::~frmMain() {
    // Unload while the controls still exist: the catalogue is read from them.
    if (hwnd()) DestroyWindow(hwnd());
}

const std::wstring& frmMain::settingsPath() const {
    return settingsPath_;
}

HFONT frmMain::defaultFont() const {
    return tk::fontHandle(*normalFont_, dpi_);
}

tk::FontPtr frmMain::fontFor(app::FontStyle style) const {
    switch (style) {
    case app::FontStyle::Title:
        return titleFont_;
    case app::FontStyle::Bold:
        return boldFont_;
    default:
        return normalFont_;
    }
}

bool frmMain::load(int showCommand) {
    auto icon = static_cast<HICON>(LoadImageW(instance(), MAKEINTRESOURCEW(kIconResource),
                                              IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
    if (!registerClass(kClassName, CS_DBLCLKS, GetSysColorBrush(COLOR_BTNFACE), icon)) return false;
    // Created hidden with the stored title; the load sequence runs before it is first shown.
    const std::wstring title = app::applicationTitle();
    if (!create(kClassName, WS_EX_CONTROLPARENT, kStyle, title.c_str(), CW_USEDEFAULT,
                CW_USEDEFAULT, 100, 100, nullptr))
        return false;
    dpi_ = static_cast<int>(tk::dpiForWindow(hwnd()));
    if (!createControls()) return false;
    wireEvents();
    addSystemMenu();
    sizeWindow();

    WhenLoad();

    loadNetworkAdapter();
    if (!hwnd()) return false; // closed during the "No network adapters" box
    loadConfig();
    circle_.circleAngle = 0;

    centreOnMonitor();
    ShowWindow(hwnd(), showCommand);
    UpdateWindow(hwnd());
    return true;
}

RECT frmMain::pixelRect(const app::ControlRow& s) const {
    auto px = [this](int twips) { return tk::twipsToPixels(twips, dpi_); };
    return {px(s.left), px(s.top), px(s.left + s.width), px(s.top + s.height)};
}

bool frmMain::createControls() {
    bool ok = true;
    int id = 100;
    for (const Placed& p : placedControls(*this)) {
        const app::ControlRow& s = p.row;
        const HWND parent = s.inPanel ? Picture1.hwnd() : hwnd();
        const RECT r = pixelRect(s);
        const tk::FontPtr font = fontFor(s.font);
        ++id;
        std::visit(
            [&](auto* c) {
                using T = std::remove_pointer_t<decltype(c)>;
                if constexpr (std::is_same_v<T, tk::Label>) {
                    ok &= c->create(parent, r, id, s.caption);
                    c->setTextColor(tk::toColorRef(s.foreColor));
                } else if constexpr (std::is_same_v<T, tk::ComboBox>) {
                    ok &= c->create(parent, r, id, 12);
                } else if constexpr (std::is_same_v<T, tk::CheckBox>) {
                    ok &= c->create(parent, r, id, s.caption);
                } else if constexpr (std::is_same_v<T, tk::TextBox>) {
                    ok &= c->create(parent, r, id);
                } else if constexpr (std::is_same_v<T, tk::Panel>) {
                    ok &= c->create(parent, r, id, true);
                } else {
                    // The form's own controls are stored instances: their properties come
                    // from the control table and load without a paint per property.
                    ctl::PropertyBag stored;
                    stored.write(L"ForeColor", s.foreColor, tk::kColourButtonText);
                    stored.write(L"Font", font, normalFont_);
                    if constexpr (std::is_same_v<T, kButton>)
                        stored.write(L"Caption", std::wstring(s.caption),
                                     std::wstring(L"UniButton"));
                    if constexpr (std::is_same_v<T, kLabel>) {
                        stored.write(L"Caption", std::wstring(), std::wstring(L"UniLabel"));
                        stored.write(L"Alignment", std::int32_t{1}, std::int32_t{0});
                    }
                    ControlSurface::Placement placement;
                    placement.stored = &stored;
                    placement.ambientFont = normalFont_;
                    placement.dpi = dpi_;
                    // The notice and link lines show when load has given them their captions.
                    placement.visible = s.visibleAtStart && !std::is_same_v<T, kLabel>;
                    placement.id = id;
                    ok &= c->create(parent, r, placement);
                }
                if constexpr (!std::is_base_of_v<ControlSurface, T> &&
                              !std::is_same_v<T, tk::Panel>)
                    c->setFont(tk::fontHandle(*font, dpi_));
                if constexpr (!std::is_base_of_v<ControlSurface, T>)
                    if (!s.visibleAtStart) c->setVisible(false);
            },
            p.control);
    }
    // The labels lie beneath the windowed controls they touch, and the add panel above the
    // catalogue row it covers when it opens.
    for (const Placed& p : placedControls(*this))
        if (const auto* label = std::get_if<tk::Label*>(&p.control))
            SetWindowPos((*label)->hwnd(), HWND_BOTTOM, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SetWindowPos(Picture1.hwnd(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    alignCatalogueButtons();
    txName.setMaxLength(25);
    IP1.Enabled(false);
    IP2.Enabled(false);
    if (toolTips_.create(hwnd())) {
        toolTips_.setMaxWidth(tk::scaleFrom96(kToolTipWidth, dpi_));
        for (const Placed& p : placedControls(*this))
            if (const auto& tip = p.row.get().toolTip; !tip.empty())
                std::visit([&](auto* c) { toolTips_.add(c->hwnd(), tip); }, p.control);
    }
    // The adapter list's tip is the selected adapter's DNS settings, read when it shows.
    if (adapterTips_.create(hwnd())) adapterTips_.addAsked(cbNET.hwnd(), true);
    fitAdapterTip();
    return ok;
}

void frmMain::wireEvents() {
    cbDNSName.Click = [this] { cbDNSName_Click(); };
    chbCustom.Click = [this] { chbCustom_Click(); };
    bt1.Click = [this] { bt1_Click(); };
    bt2.Click = [this] { bt2_Click(); };
    btADD.Click = [this] { btADD_Click(); };
    btCANCEL.Click = [this] { btCANCEL_Click(); };
    txName.KeyPress = [this](int& key) { txName_KeyPress(key); };
    lbIDCard.Click = [this] { lbIDCard_Click(); };
    kButton23.Click = [this] { loadNetworkAdapter(); };
    btApply.Click = [this] { btApply_Click(); };
    btDefaultDNS.Click = [this] { btDefaultDNS_Click(); };
    btFlush.Click = [this] { btFlush_Click(); };
    kButton24.Click = [this] { about(); };
    kLabel1.Click = [this] { about(); };
    kLabel2.Click = [this] { kLabel2_Click(); };
    Label1.Click = [this] { Label1_Click(); };
    kButton25.Click = [this] { SendMessageW(hwnd(), WM_CLOSE, 0, 0); };
    Timer1.setInterval(1000);
    Timer1.Tick = [this] { Timer1_Timer(); };
    Timer2.setInterval(1);
    Timer2.Tick = [this] { Timer2_Timer(); };
}

void frmMain::applyDpi(int dpi) {
    dpi_ = dpi;
    sizeWindow();
    placeControls();
    toolTips_.setMaxWidth(tk::scaleFrom96(kToolTipWidth, dpi_));
    fitAdapterTip();
}

void frmMain::fitAdapterTip() {
    RECT list{};
    GetWindowRect(cbNET.hwnd(), &list);
    adapterTips_.setMaxWidth(list.right - list.left);
}

void frmMain::alignCatalogueButtons() {
    RECT list{};
    GetWindowRect(cbDNSName.hwnd(), &list);
    MapWindowPoints(nullptr, hwnd(), reinterpret_cast<POINT*>(&list), 2);
    for (kButton* button : {&bt1, &bt2}) {
        RECT r{};
        GetWindowRect(button->hwnd(), &r);
        MapWindowPoints(nullptr, hwnd(), reinterpret_cast<POINT*>(&r), 2);
        button->move({r.left, list.top, r.right, list.bottom});
    }
}

void frmMain::sizeWindow() {
    const int dpi = dpi_;
    const SIZE size = tk::windowSizeForClient(tk::twipsToPixels(kClientWidthTwips, dpi),
                                              tk::twipsToPixels(kClientHeightTwips, dpi), kStyle,
                                              WS_EX_CONTROLPARENT, static_cast<UINT>(dpi));
    SetWindowPos(hwnd(), nullptr, 0, 0, size.cx, size.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void frmMain::placeControls() {
    for (const Placed& p : placedControls(*this)) {
        const app::ControlRow& s = p.row;
        const RECT r = pixelRect(s);
        const HFONT font = tk::fontHandle(*fontFor(s.font), dpi_);
        std::visit(
            [&](auto* c) {
                using T = std::remove_pointer_t<decltype(c)>;
                if constexpr (std::is_base_of_v<ControlSurface, T>) {
                    c->setDpi(dpi_);
                    c->move(r);
                } else if constexpr (std::is_same_v<T, tk::Panel>) {
                    c->move(r);
                } else {
                    c->setFont(font);
                    c->move(r);
                }
            },
            p.control);
    }
    alignCatalogueButtons();
}

void frmMain::centreOnMonitor() {
    RECT window{};
    GetWindowRect(hwnd(), &window);
    MONITORINFO mi{};
    mi.cbSize = sizeof(mi);
    GetMonitorInfoW(MonitorFromWindow(hwnd(), MONITOR_DEFAULTTOPRIMARY), &mi);
    const RECT& area = mi.rcWork;
    const int w = window.right - window.left;
    const int h = window.bottom - window.top;
    SetWindowPos(hwnd(), nullptr, area.left + (area.right - area.left - w) / 2,
                 area.top + (area.bottom - area.top - h) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void frmMain::WhenLoad() {
    SetUniText(hwnd(), app::windowCaption());
    kLabel1.Caption(app::noticeLineText());
    kLabel2.Caption(std::wstring(app::kMakerDomain) + L" - " + std::wstring(app::kMakerMail));
    kLabel1.setVisible(true);
    kLabel2.setVisible(true);
}

void frmMain::SetUniText(HWND window, const std::wstring& text) {
    DefWindowProcW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

int frmMain::message(std::wstring_view text, UINT flags) {
    return tk::messageBox(hwnd(), text, app::applicationTitle(), flags);
}

void frmMain::focusIfAllowed(HWND window) {
    // A disabled or hidden field cannot take the focus; the move is then skipped.
    if (window && IsWindowEnabled(window) && IsWindowVisible(window)) SetFocus(window);
}

HWND frmMain::nextTabStop(HWND from, bool backwards) {
    std::vector<std::pair<int, HWND>> stops;
    for (const Placed& p : placedControls(*this)) {
        const HWND target = focusTarget(p.control);
        // The address field's editor is no tab stop itself: the field is one.
        if (target && (p.row.get().kind == app::ControlKind::IPAddress ||
                       (GetWindowLongW(target, GWL_STYLE) & WS_TABSTOP)))
            stops.emplace_back(p.row.get().tabIndex, target);
    }
    std::sort(stops.begin(), stops.end());
    const std::size_t n = stops.size();
    std::size_t at = backwards ? 0 : n - 1;
    for (std::size_t i = 0; i < n; ++i)
        if (from && (stops[i].second == from || IsChild(stops[i].second, from))) at = i;
    for (std::size_t step = 1; step <= n; ++step) {
        const HWND next = stops[(at + (backwards ? n - step : step)) % n].second;
        if (canTakeFocus(next, hwnd())) return next;
    }
    return nullptr;
}

bool frmMain::dialogKey(const MSG& msg) {
    // Alt+F4 closes the window wherever the focus is; a drop-down list under Wine would keep it.
    if (msg.message == WM_SYSKEYDOWN && msg.wParam == VK_F4) {
        PostMessageW(hwnd(), WM_SYSCOMMAND, SC_CLOSE, 0);
        return true;
    }
    if (msg.message != WM_KEYDOWN || !Picture1.visible()) return false;
    const bool inFields = IsChild(IP1.hwnd(), msg.hwnd) || IsChild(IP2.hwnd(), msg.hwnd);
    if (msg.wParam == VK_ESCAPE && (inFields || IsChild(Picture1.hwnd(), msg.hwnd))) {
        btCANCEL_Click();
        return true;
    }
    // Enter in the name field goes through its KeyPress, as typed characters do.
    if (msg.wParam == VK_RETURN && inFields) {
        btADD_Click();
        return true;
    }
    return false;
}

bool frmMain::preTranslateMessage(const MSG& msg) {
    if (!hwnd() || (msg.hwnd != hwnd() && !IsChild(hwnd(), msg.hwnd))) return false;
    if (dialogKey(msg) || menuKey(msg)) return true;
    if (msg.message != WM_KEYDOWN || msg.wParam != VK_TAB) return false;
    if (GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0) return false;
    const auto wants =
        SendMessageW(msg.hwnd, WM_GETDLGCODE, msg.wParam, reinterpret_cast<LPARAM>(&msg));
    if (wants & (DLGC_WANTTAB | DLGC_WANTALLKEYS)) return false;
    const HWND next = nextTabStop(GetFocus(), GetKeyState(VK_SHIFT) < 0);
    if (!next) return true;
    // A text box reached by Tab has its text selected, as in a dialog.
    if (SendMessageW(next, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL)
        SendMessageW(next, EM_SETSEL, 0, -1);
    SetFocus(next);
    return true;
}

void frmMain::saveFocus() {
    const HWND focus = GetFocus();
    if (focus && IsChild(hwnd(), focus)) savedFocus_ = focus;
}

void frmMain::restoreFocus() {
    // Kept for one return only: later the form's own focus is the first control again.
    HWND target = std::exchange(savedFocus_, nullptr);
    if (!target || !IsWindow(target) || !canTakeFocus(target, hwnd()))
        target = nextTabStop(nullptr, false);
    if (target) SetFocus(target);
}

void frmMain::unload() {
    if (unloaded_) return;
    unloaded_ = true;
    Timer1.setEnabled(false);
    Timer2.setEnabled(false);
    saveConfig();
}

LRESULT frmMain::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT routed = 0;
    if (tk::routeToChild(message, wParam, lParam, routed)) return routed;
    switch (message) {
    case WM_DPICHANGED: {
        const auto* suggested = reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(hwnd(), nullptr, suggested->left, suggested->top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        applyDpi(HIWORD(wParam));
        return 0;
    }
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) {
            saveFocus();
            return 0;
        }
        // Minimised, it takes no focus yet; restoring it brings WM_SETFOCUS.
        if (HIWORD(wParam)) return defaultHandling(message, wParam, lParam);
        restoreFocus();
        return 0;
    case WM_SETFOCUS: {
        // The form itself takes no keys: the focus goes on to a control. When the add panel
        // closed under it, that is the button that opens the panel.
        const auto lost = reinterpret_cast<HWND>(wParam);
        if (lost && IsChild(Picture1.hwnd(), lost) && canTakeFocus(bt1.hwnd(), hwnd()))
            SetFocus(bt1.hwnd());
        else
            restoreFocus();
        return 0;
    }
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->code == TTN_GETDISPINFOW &&
            header->idFrom == reinterpret_cast<UINT_PTR>(cbNET.hwnd())) {
            adapterTip_ = adapterTipText();
            tk::ToolTip::answer(lParam, adapterTip_);
            return 0;
        }
        return defaultHandling(message, wParam, lParam);
    }
    case WM_SYSCOMMAND:
        if (systemCommand(static_cast<UINT>(wParam & 0xFFF0))) return 0;
        return defaultHandling(message, wParam, lParam);
    case WM_CONTEXTMENU:
        showCommandMenu(reinterpret_cast<HWND>(wParam), lParam);
        return 0;
    case WM_INITMENUPOPUP:
        if (HIWORD(lParam)) updateSystemMenu();
        return defaultHandling(message, wParam, lParam);
    case kFlushDone:
        flushDone({static_cast<dns::FlushResult>(wParam), static_cast<unsigned long>(lParam)});
        return 0;
    case WM_CLOSE:
        // Saved while the window still shows, so a box about a failed save has its owner.
        unload();
        DestroyWindow(hwnd());
        return 0;
    case WM_ENDSESSION:
        if (wParam) unload(); // signing out or shutting down: the window never closes
        return 0;
    case WM_DESTROY:
        unload();
        if (endsProgram) PostQuitMessage(0);
        return 0;
    default:
        return defaultHandling(message, wParam, lParam);
    }
}
