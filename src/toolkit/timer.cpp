#include "toolkit/timer.h"
#include "toolkit/platform.h"
#include "toolkit/window.h"

#include <atomic>
#include <map>

namespace tk {

// The message-only window whose WM_TIMER ticks every timer of its thread, by timer id.
class TimerWindow : private Window {
  public:
    static TimerWindow& ofThisThread() {
        thread_local TimerWindow window;
        return window;
    }

    HWND handle() {
        if (!hwnd()) {
            try {
                if (!registerClass(L"KeldrastTimer", 0) ||
                    !create(L"KeldrastTimer", 0, 0, L"", 0, 0, 0, 0, HWND_MESSAGE))
                    return nullptr;
            } catch (...) {
                logSwallowed(L"creating the timer window");
                return nullptr;
            }
        }
        return hwnd();
    }

    std::map<UINT_PTR, Timer*> timers;

  protected:
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message != WM_TIMER) return defaultHandling(message, wParam, lParam);
        // A tick already queued when its timer was stopped or destroyed is dropped.
        const auto it = timers.find(wParam);
        if (it != timers.end() && it->second->running_ && it->second->Tick) it->second->Tick();
        return 0;
    }
};

namespace {
std::atomic<UINT_PTR> nextTimerId{1};
} // namespace

Timer::Timer() : id_(nextTimerId++) {}

Timer::~Timer() {
    if (running_) KillTimer(window_, id_);
    if (host_) host_->timers.erase(id_);
}

void Timer::setInterval(int milliseconds) noexcept {
    interval_ = milliseconds > 0 ? milliseconds : 0;
    restart();
}

void Timer::setEnabled(bool enabled) noexcept {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    restart();
}

void Timer::restart() noexcept {
    if (running_) KillTimer(window_, id_);
    running_ = false;
    if (!enabled_ || interval_ == 0) return;
    if (!host_) {
        TimerWindow& shared = TimerWindow::ofThisThread();
        window_ = shared.handle();
        if (!window_) return;
        try {
            shared.timers[id_] = this;
        } catch (...) {
            logSwallowed(L"starting a timer");
            return;
        }
        host_ = &shared;
    }
    running_ = SetTimer(window_, id_, static_cast<UINT>(interval_), nullptr) != 0;
}

} // namespace tk
