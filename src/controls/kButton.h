// A push button drawn by the program, so that its caption may hold any Unicode text. It
// paints five looks (normal, hot, pressed, disabled, defaulted), with the desktop's visual
// style when there is one and the classic frame otherwise, and watches for the cursor
// leaving it with a 100 ms timer. With the focus it shows a focus rectangle, and Space (on
// release) or Enter presses it with the same Click as the mouse.
#pragma once

#include "controls/ControlSurface.h"

#include <oleacc.h>
#include "controls/button_look.h"
#include "toolkit/handles.h"
#include "toolkit/timer.h"

#include <string>

class kButton : public ControlSurface, public ControlEvents {
  public:
    kButton();
    ~kButton() override;

    std::uint32_t ForeColor() const noexcept { return foreColor(); }
    // Refused values (not a colour, an empty font) return false: nothing painted or notified.
    bool ForeColor(std::uint32_t New_ForeColor);
    bool Enabled() const noexcept { return enabled(); }
    void Enabled(bool New_Enabled);
    const tk::FontPtr& Font() const noexcept { return font(); }
    bool Font(tk::FontPtr New_Font);
    // Repaints the window from the image; does not redraw the button.
    void Refresh() { refreshWindow(); }
    HWND hwnd() const noexcept { return ControlSurface::hwnd(); }
    std::wstring Caption() const { return m_Caption; }
    void Caption(const std::wstring& New_Caption);

  protected:
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void Initialize() override;
    void InitProperties() override;
    void ReadProperties(const ctl::PropertyBag& bag) override;
    void Resize() override;
    void Show() override;
    void Terminate() override;
    void onClick() override;
    void onDblClick() override;
    void onKeyDown(short& KeyCode, short& Shift) override;
    void onKeyPress(short& KeyAscii) override;
    void onKeyUp(short& KeyCode, short& Shift) override;
    void onMouseDown(short& Button, short& Shift, float& X, float& Y) override;
    void onMouseMove(short& Button, short& Shift, float& X, float& Y) override;
    void onMouseUp(short& Button, short& Shift, float& X, float& Y) override;
    void onFocusEnters() override;
    void onFocusLeaves() override;
    long accessibleRole() const noexcept override { return ROLE_SYSTEM_PUSHBUTTON; }
    UINT dialogCode(const MSG* message) const noexcept override;

  private:
    void apply(const ctl::ButtonReaction& reaction);
    void DrawButton(int state);
    bool DrawThemePart(const wchar_t* classList, int part, int state, const RECT& rect);
    static void closeTheme(HTHEME theme) noexcept;
    static bool IsMouseOver(HWND window);
    void Timer1_Timer();

    std::wstring m_Caption;
    ctl::ButtonLook look_;
    tk::Timer Timer1;
    tk::unique_any<HTHEME, &kButton::closeTheme> theme_;
    bool themeOpened_ = false;
};
