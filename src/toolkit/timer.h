// A timer that ticks on the thread that enabled it, through its message loop (modal loops of
// message boxes included). It owns a small message-only window; destroying the timer stops it.
#pragma once

#include "toolkit/window.h"

#include <functional>

namespace tk {

class Timer : private Window {
  public:
    Timer() = default;
    ~Timer() override;

    // Milliseconds between ticks; 0 stops the ticks while keeping the enabled flag. A new
    // interval starts the count again.
    int interval() const noexcept { return interval_; }
    void setInterval(int milliseconds) noexcept;
    bool enabled() const noexcept { return enabled_; }
    void setEnabled(bool enabled) noexcept;

    std::function<void()> Tick;

  protected:
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    void restart() noexcept;
    int interval_ = 0;
    bool enabled_ = false;
    bool running_ = false;
};

} // namespace tk
