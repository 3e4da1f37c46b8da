// A single-line text box (a system edit control). KeyPress sees every typed character first,
// Enter (13) and Escape (27) included, also when the message loop runs IsDialogMessageW; the
// handler may change the key or set it to 0 to drop it.
#pragma once

#include "toolkit/control.h"

#include <functional>

namespace tk {

class TextBox : public Control {
  public:
    [[nodiscard]] bool create(HWND parent, const RECT& rect, int id);

    // The most characters the user can type; 0 means no limit. The program's own setText is
    // not cut.
    int maxLength() const noexcept { return maxLength_; }
    void setMaxLength(int length) noexcept;

    std::function<void(int& key)> KeyPress;

  protected:
    bool onMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

  private:
    int maxLength_ = 0;
};

} // namespace tk
