#include "toolkit/timer.h"
#include "toolkit/platform.h"

namespace tk {

namespace {
constexpr wchar_t kClassName[] = L"KeldrastTimer";
constexpr UINT_PTR kTimerId = 1;
} // namespace

Timer::~Timer() {
    if (running_ && hwnd()) KillTimer(hwnd(), kTimerId);
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
    if (running_ && hwnd()) KillTimer(hwnd(), kTimerId);
    running_ = false;
    if (!enabled_ || interval_ == 0) return;
    if (!hwnd()) {
        try {
            if (!registerClass(kClassName, 0) ||
                !create(kClassName, 0, 0, L"", 0, 0, 0, 0, HWND_MESSAGE))
                return;
        } catch (...) {
            logSwallowed(L"creating a timer window");
            return;
        }
    }
    running_ = SetTimer(hwnd(), kTimerId, static_cast<UINT>(interval_), nullptr) != 0;
}

LRESULT Timer::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_TIMER && wParam == kTimerId) {
        // A tick already queued when the timer was stopped is dropped.
        if (running_ && Tick) Tick();
        return 0;
    }
    return defaultHandling(message, wParam, lParam);
}

} // namespace tk
