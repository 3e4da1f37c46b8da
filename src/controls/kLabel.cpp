#include "controls/kLabel.h"

#include "controls/label_format.h"

#include <utility>

namespace {

const std::wstring kDefaultCaption = L"UniLabel";

} // namespace

kLabel::kLabel() = default;

kLabel::~kLabel() {
    destroy();
}

bool kLabel::BackColor(std::uint32_t New_BackColor) {
    if (!setBackColor(New_BackColor)) return false;
    notifyChanged(L"BackColor");
    return true;
}

bool kLabel::ForeColor(std::uint32_t New_ForeColor) {
    if (!setForeColor(New_ForeColor)) return false;
    notifyChanged(L"ForeColor");
    return true;
}

void kLabel::Enabled(bool New_Enabled) {
    setEnabled(New_Enabled);
    notifyChanged(L"Enabled");
}

bool kLabel::Font(tk::FontPtr New_Font) {
    if (!setFont(std::move(New_Font))) return false;
    notifyChanged(L"Font");
    return true;
}

bool kLabel::BackStyle(short New_BackStyle) {
    if (!setBackStyle(New_BackStyle)) return false;
    notifyChanged(L"BackStyle");
    return true;
}

bool kLabel::BorderStyle(short New_BorderStyle) {
    if (!setBorderStyle(New_BorderStyle)) return false;
    notifyChanged(L"BorderStyle");
    return true;
}

void kLabel::Caption(const std::wstring& New_Caption) {
    m_Caption = New_Caption;
    setCaptionText(m_Caption);
    notifyChanged(L"Caption");
}

bool kLabel::Alignment(std::int32_t New_Alignment) {
    const auto alignment = ctl::alignmentFromLong(New_Alignment);
    if (!alignment) return false;
    m_Alignment = *alignment;
    DrawLabel();
    notifyChanged(L"Alignment");
    return true;
}

void kLabel::InitProperties() {
    setFont(ambientFont());
    m_Caption = kDefaultCaption;
    m_Alignment = 0;
    setCaptionText(m_Caption);
}

void kLabel::ReadProperties(const ctl::PropertyBag& bag) {
    setBackColor(bag.readColour(L"BackColor", tk::kColourButtonFace));
    setForeColor(bag.readColour(L"ForeColor", tk::kColourButtonText));
    setEnabled(bag.readBool(L"Enabled", true));
    setFont(bag.readFont(L"Font", ambientFont()));
    setBackStyle(static_cast<short>(bag.readLong(L"BackStyle", 1)));
    setBorderStyle(static_cast<short>(bag.readLong(L"BorderStyle", 0)));
    m_Caption = bag.readString(L"Caption", kDefaultCaption);
    m_Alignment = ctl::alignmentFromLong(bag.readLong(L"Alignment", 0)).value_or(0);
    setCaptionText(m_Caption);
}

void kLabel::DrawLabel() {
    HDC dc = imageDc();
    if (!dc) return;
    clear();
    const RECT all{0, 0, scaleWidth(), scaleHeight()};
    RECT rect = all;
    const UINT format = ctl::labelTextFormat(m_Alignment);
    DrawTextW(dc, m_Caption.c_str(), -1, &rect, format);
    if (GetFocus() == hwnd() && enabled()) {
        // Round the text as drawn: measured, then placed as the alignment places it.
        RECT text = all;
        DrawTextW(dc, m_Caption.c_str(), -1, &text, format | DT_CALCRECT);
        const int width = text.right - text.left;
        if (format & DT_CENTER)
            text.left = (all.right - width) / 2;
        else if (format & DT_RIGHT)
            text.left = all.right - width;
        text.right = text.left + width;
        InflateRect(&text, 1, 0);
        IntersectRect(&text, &text, &all);
        DrawFocusRect(dc, &text);
    }
    imageChanged();
}

UINT kLabel::dialogCode(const MSG* message) const noexcept {
    // Enter clicks the label itself, as it presses a focused kButton.
    const bool enter = message && (message->message == WM_KEYDOWN || message->message == WM_CHAR) &&
                       message->wParam == VK_RETURN;
    return DLGC_WANTCHARS | (enter ? DLGC_WANTMESSAGE : 0);
}

void kLabel::onClick() {
    if (Click) Click();
}

void kLabel::onDblClick() {
    if (DblClick) DblClick();
}

void kLabel::onKeyDown(short& KeyCode, short& Shift) {
    if (KeyDown) KeyDown(KeyCode, Shift);
    if (KeyCode == VK_SPACE) spaceHeld_ = true;
    if (KeyCode == VK_RETURN && hwnd()) onClick();
}

void kLabel::onKeyPress(short& KeyAscii) {
    if (KeyPress) KeyPress(KeyAscii);
}

void kLabel::onKeyUp(short& KeyCode, short& Shift) {
    if (KeyUp) KeyUp(KeyCode, Shift);
    if (KeyCode == VK_SPACE && std::exchange(spaceHeld_, false) && hwnd()) onClick();
}

void kLabel::onMouseDown(short& Button, short& Shift, float& X, float& Y) {
    if (MouseDown) MouseDown(Button, Shift, X, Y);
}

void kLabel::onMouseMove(short& Button, short& Shift, float& X, float& Y) {
    if (MouseMove) MouseMove(Button, Shift, X, Y);
}

void kLabel::onMouseUp(short& Button, short& Shift, float& X, float& Y) {
    if (MouseUp) MouseUp(Button, Shift, X, Y);
}
