// A line of text drawn by the program, so that its caption may hold any Unicode text. Only
// the Alignment setter redraws: a new caption shows at the next Resize, Show or Alignment.
// It is a tab stop: with the focus it shows a focus rectangle round its text, and Space (on
// release) or Enter clicks it, as kButton does.
#pragma once

#include "controls/ControlSurface.h"

#include <oleacc.h>

#include <cstdint>
#include <string>

class kLabel : public ControlSurface, public ControlEvents {
  public:
    kLabel();
    ~kLabel() override;

    // Setters return false for values the surface refuses; nothing is then notified.
    std::uint32_t BackColor() const noexcept { return backColor(); }
    bool BackColor(std::uint32_t New_BackColor);
    std::uint32_t ForeColor() const noexcept { return foreColor(); }
    bool ForeColor(std::uint32_t New_ForeColor);
    bool Enabled() const noexcept { return enabled(); }
    void Enabled(bool New_Enabled);
    const tk::FontPtr& Font() const noexcept { return font(); }
    bool Font(tk::FontPtr New_Font);
    // 0 transparent, 1 opaque.
    short BackStyle() const noexcept { return backStyle(); }
    bool BackStyle(short New_BackStyle);
    // 0 none, 1 fixed single.
    short BorderStyle() const noexcept { return borderStyle(); }
    bool BorderStyle(short New_BorderStyle);
    // Repaints the window from the image; does not redraw the caption.
    void Refresh() { refreshWindow(); }
    std::wstring Caption() const { return m_Caption; }
    void Caption(const std::wstring& New_Caption);
    // 0 left, 1 centred, 2 right; other values are DrawTextW format bits. A value outside
    // -32768..32767 overflows: it is refused with false and nothing changes or is drawn.
    std::int32_t Alignment() const noexcept { return m_Alignment; }
    bool Alignment(std::int32_t New_Alignment);

  protected:
    void InitProperties() override;
    void ReadProperties(const ctl::PropertyBag& bag) override;
    void Resize() override { DrawLabel(); }
    void Show() override { DrawLabel(); }
    void onClick() override;
    void onDblClick() override;
    void onKeyDown(short& KeyCode, short& Shift) override;
    void onKeyPress(short& KeyAscii) override;
    void onKeyUp(short& KeyCode, short& Shift) override;
    void onMouseDown(short& Button, short& Shift, float& X, float& Y) override;
    void onMouseMove(short& Button, short& Shift, float& X, float& Y) override;
    void onMouseUp(short& Button, short& Shift, float& X, float& Y) override;
    void onFocusEnters() override { DrawLabel(); }
    void onFocusLeaves() override {
        spaceHeld_ = false;
        DrawLabel();
    }
    long accessibleRole() const noexcept override { return ROLE_SYSTEM_STATICTEXT; }
    UINT dialogCode(const MSG* message) const noexcept override;

  private:
    void DrawLabel();

    std::wstring m_Caption;
    std::int16_t m_Alignment = 0;
    bool spaceHeld_ = false; // pressed here: its release clicks
};
