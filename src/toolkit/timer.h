// The program's one timer: it ticks on the thread that enabled it, through its message loop
// (modal loops of message boxes included). All timers of a thread share one small
// message-only window; destroying a timer stops it.
#pragma once

#include <windows.h>

#include <functional>

namespace tk {

class TimerWindow;

class Timer {
  public:
    Timer();
    ~Timer();
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    // Milliseconds between ticks; 0 stops the ticks while keeping the enabled flag. A new
    // interval starts the count again.
    int interval() const noexcept { return interval_; }
    void setInterval(int milliseconds) noexcept;
    bool enabled() const noexcept { return enabled_; }
    void setEnabled(bool enabled) noexcept;

    std::function<void()> Tick;

  private:
    friend class TimerWindow;
    void restart() noexcept;
    UINT_PTR id_;
    // The window of the thread that first started the timer, and its handle.
    TimerWindow* host_ = nullptr;
    HWND window_ = nullptr;
    int interval_ = 0;
    bool enabled_ = false;
    bool running_ = false;
};

} // namespace tk
