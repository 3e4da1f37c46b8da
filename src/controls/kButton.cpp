#include "controls/kButton.h"

#include "toolkit/colour_win.h"
#include "toolkit/scale.h"
#include "toolkit/system_library.h"

#include <uxtheme.h>

namespace {

const std::wstring kDefaultCaption = L"UniButton";
// Part BP_PUSHBUTTON of the theme class "Button".
constexpr int kPushButtonPart = 1;
// Pixels at 96 DPI between the button's edge and its focus rectangle.
constexpr int kFocusInset = 3;

// The theme functions, from the system's own uxtheme.dll when it can be loaded.
struct ThemeApi {
    using OpenFn = HTHEME(WINAPI*)(HWND, LPCWSTR);
    using DrawFn = HRESULT(WINAPI*)(HTHEME, HDC, int, int, const RECT*, const RECT*);
    using CloseFn = HRESULT(WINAPI*)(HTHEME);
    OpenFn open = nullptr;
    DrawFn draw = nullptr;
    CloseFn close = nullptr;

    static const ThemeApi& get() {
        static const ThemeApi api = load();
        return api;
    }

  private:
    static ThemeApi load() {
        // Kept loaded for the life of the process: every button paints through it.
        const HMODULE module = tk::systemLibrary(L"uxtheme.dll");
        return {tk::moduleFunction<OpenFn>(module, "OpenThemeData"),
                tk::moduleFunction<DrawFn>(module, "DrawThemeBackground"),
                tk::moduleFunction<CloseFn>(module, "CloseThemeData")};
    }
};

} // namespace

kButton::kButton() {
    Timer1.Tick = [this] { Timer1_Timer(); };
    Timer1.setEnabled(true);
}

kButton::~kButton() {
    destroy();
}

bool kButton::ForeColor(std::uint32_t New_ForeColor) {
    if (!setForeColor(New_ForeColor)) return false;
    apply(look_.propertyChanged());
    notifyChanged(L"ForeColor");
    return true;
}

void kButton::Enabled(bool New_Enabled) {
    setEnabled(New_Enabled);
    apply(look_.propertyChanged());
    notifyChanged(L"Enabled");
}

bool kButton::Font(tk::FontPtr New_Font) {
    if (!setFont(std::move(New_Font))) return false;
    apply(look_.propertyChanged());
    notifyChanged(L"Font");
    return true;
}

void kButton::Caption(const std::wstring& New_Caption) {
    m_Caption = New_Caption;
    setCaptionText(m_Caption);
    apply(look_.propertyChanged());
    notifyChanged(L"Caption");
}

void kButton::Initialize() {
    Timer1.setInterval(100);
}

void kButton::InitProperties() {
    setFont(ambientFont());
    m_Caption = kDefaultCaption;
    setCaptionText(m_Caption);
}

void kButton::ReadProperties(const ctl::PropertyBag& bag) {
    setForeColor(bag.readColour(L"ForeColor", tk::kColourButtonText));
    setEnabled(bag.readBool(L"Enabled", true));
    setFont(bag.readFont(L"Font", ambientFont()));
    m_Caption = bag.readString(L"Caption", kDefaultCaption);
    setCaptionText(m_Caption);
}

void kButton::Resize() {
    apply(look_.resize());
}

void kButton::Show() {
    apply(look_.show());
}

void kButton::Terminate() {
    Timer1.setInterval(0);
}

void kButton::Timer1_Timer() {
    apply(look_.timerTick(IsMouseOver(hwnd())));
}

void kButton::onClick() {
    if (Click) Click();
}

void kButton::onDblClick() {
    if (!look_.leftPressed()) return;
    SetCapture(hwnd());
    armClick();
    short button = ctl::kLeftButton;
    short shift = 0;
    float x = 0;
    float y = 0;
    onMouseDown(button, shift, x, y);
}

void kButton::onKeyDown(short& KeyCode, short& Shift) {
    if (KeyDown) KeyDown(KeyCode, Shift);
    if (!hwnd()) return;
    apply(look_.keyDown(KeyCode));
}

void kButton::onKeyPress(short& KeyAscii) {
    if (KeyPress) KeyPress(KeyAscii);
}

void kButton::onKeyUp(short& KeyCode, short& Shift) {
    if (KeyUp) KeyUp(KeyCode, Shift);
    if (!hwnd()) return;
    apply(look_.keyUp(KeyCode));
}

UINT kButton::dialogCode(const MSG* message) const noexcept {
    // Enter presses the focused button itself rather than going to the dialog manager, which
    // would look for a default button the window does not have.
    const bool enter = message && (message->message == WM_KEYDOWN || message->message == WM_CHAR) &&
                       message->wParam == VK_RETURN;
    return DLGC_WANTCHARS | DLGC_BUTTON | (enter ? DLGC_WANTMESSAGE : 0);
}

void kButton::onMouseDown(short& Button, short& Shift, float& X, float& Y) {
    if (MouseDown) MouseDown(Button, Shift, X, Y);
    if (!hwnd()) return;
    apply(look_.mouseDown(Button));
}

void kButton::onMouseMove(short& Button, short& Shift, float& X, float& Y) {
    if (MouseMove) MouseMove(Button, Shift, X, Y);
    if (!hwnd()) return;
    const bool over = Button == ctl::kLeftButton && IsMouseOver(hwnd());
    apply(look_.mouseMove(Button, over));
}

void kButton::onMouseUp(short& Button, short& Shift, float& X, float& Y) {
    if (MouseUp) MouseUp(Button, Shift, X, Y);
    if (!hwnd()) return;
    apply(look_.mouseUp());
}

void kButton::onFocusEnters() {
    apply(look_.focusEnters());
}

void kButton::onFocusLeaves() {
    apply(look_.focusLeaves());
}

void kButton::apply(const ctl::ButtonReaction& reaction) {
    using Timer = ctl::ButtonReaction::Timer;
    if (reaction.timer == Timer::Start) Timer1.setInterval(100);
    if (reaction.timer == Timer::Stop) Timer1.setInterval(0);
    if (reaction.paint) DrawButton(static_cast<int>(*reaction.paint));
    if (reaction.click) onClick();
}

void kButton::DrawButton(int state) {
    HDC dc = imageDc();
    if (!dc) return;
    const RECT rect{0, 0, scaleWidth(), scaleHeight()};
    const auto painted = ctl::paintedState(static_cast<ctl::ButtonState>(state), enabled());
    clear();
    if (!DrawThemePart(L"Button", kPushButtonPart, static_cast<int>(painted), rect)) {
        RECT frame = rect;
        DrawFrameControl(dc, &frame, DFC_BUTTON, ctl::classicFrameFlags(painted));
    }
    SetTextColor(dc, tk::toColorRef(enabled() ? foreColor() : tk::kColourButtonShadow));
    RECT text = rect;
    DrawTextW(dc, m_Caption.c_str(), -1, &text, ctl::kButtonTextFormat);
    SetTextColor(dc, tk::toColorRef(foreColor()));
    if (look_.hasFocus() && enabled()) {
        // Inside the frame, as a push button shows its focus, in every look.
        const int inset = tk::scaleFrom96(kFocusInset, dpi());
        RECT focus = rect;
        InflateRect(&focus, -inset, -inset);
        DrawFocusRect(dc, &focus);
    }
    imageChanged(static_cast<int>(painted));
}

bool kButton::DrawThemePart(const wchar_t* classList, int part, int state, const RECT& rect) {
    const ThemeApi& api = ThemeApi::get();
    if (!api.open || !api.draw || !api.close) return false;
    // Opened at the first paint and kept until the theme changes: opening it for every paint
    // cost more than the paint.
    if (!themeOpened_) {
        theme_.reset(api.open(hwnd(), classList));
        themeOpened_ = true;
    }
    return theme_ && api.draw(theme_.get(), imageDc(), part, state, &rect, &rect) == S_OK;
}

void kButton::closeTheme(HTHEME theme) noexcept {
    ThemeApi::get().close(theme);
}

LRESULT kButton::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_THEMECHANGED) {
        theme_.reset();
        themeOpened_ = false;
        apply(look_.propertyChanged());
    }
    return ControlSurface::handleMessage(message, wParam, lParam);
}

bool kButton::IsMouseOver(HWND window) {
    POINT cursor{};
    if (!GetCursorPos(&cursor)) return false;
    return WindowFromPoint(cursor) == window;
}
