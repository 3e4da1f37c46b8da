// Tool tips for child windows: one tool tip window per form, one text per tool. Long texts wrap
// at the maximum width.
#pragma once

#include "toolkit/control.h"

namespace tk {

class ToolTip : private Control {
  public:
    // `owner` is the form; the tool tip window goes away with it.
    [[nodiscard]] bool create(HWND owner);
    // Shows `text` while the mouse rests on `tool`; a second call for a tool replaces its text.
    bool add(HWND tool, std::wstring_view text);
    // The text of `tool` is asked for each time the tip shows: the tool's parent gets
    // WM_NOTIFY with TTN_GETDISPINFOW (idFrom is the tool's window) and answers textFor. With
    // `below`, the tip opens centred under the tool rather than at the cursor.
    bool addAsked(HWND tool, bool below = false);
    // Answers a TTN_GETDISPINFOW notification with text, which must outlive the tip.
    static void answer(LPARAM notification, const std::wstring& text) noexcept;
    // Texts wider than this (pixels) wrap onto further lines.
    void setMaxWidth(int pixels) noexcept;

    using Control::hwnd;
};

} // namespace tk
