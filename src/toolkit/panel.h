// A container child window (like a picture box) that hosts other controls: hiding it hides
// them and passes the focus they held to the panel's parent, and Tab moves into them. Notifications
// of its children go to their wrappers first (routeToChild); the rest is passed on to the panel's
// own parent, so a form sees everything.
#pragma once

#include "toolkit/window.h"

namespace tk {

class Panel : public Window {
  public:
    // `border` draws the sunken edge; the children's rectangles are inside it.
    [[nodiscard]] bool create(HWND parent, const RECT& rect, int id, bool border = true);

    bool move(const RECT& rect) noexcept;
    bool visible() const noexcept;
    void setVisible(bool visible) noexcept;
    bool enabled() const noexcept;
    void setEnabled(bool enabled) noexcept;

  protected:
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
};

} // namespace tk
