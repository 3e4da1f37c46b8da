// A check box that ticks itself when clicked (BS_AUTOCHECKBOX). Value is 0 or 1.
#pragma once

#include "toolkit/control.h"

#include <functional>

namespace tk {

class CheckBox : public Control {
  public:
    [[nodiscard]] bool create(HWND parent, const RECT& rect, int id, std::wstring_view caption);

    int value() const noexcept;

    std::function<void()> Click;

  protected:
    bool onCommand(WORD code) override;
};

} // namespace tk
