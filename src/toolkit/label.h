// A text label (a system static control) in its own text colour on the container's button-face
// background; it reports clicks.
#pragma once

#include "toolkit/control.h"
#include "toolkit/handles.h"

#include <functional>

namespace tk {

class Label : public Control {
  public:
    [[nodiscard]] bool create(HWND parent, const RECT& rect, int id, std::wstring_view text = {});

    COLORREF textColor() const noexcept { return textColor_; }
    void setTextColor(COLORREF color) noexcept;
    // The default is the system button face, the colour of the main window and the panel.
    COLORREF backColor() const noexcept;
    void setBackColor(COLORREF color) noexcept;

    std::function<void()> Click;

  protected:
    bool onCommand(WORD code) override;
    bool onColor(UINT message, HDC dc, LRESULT& result) override;

  private:
    COLORREF textColor_ = GetSysColor(COLOR_BTNTEXT);
    unique_hbrush backBrush_; // empty: the system button-face brush
    COLORREF backColor_ = 0;
};

} // namespace tk
