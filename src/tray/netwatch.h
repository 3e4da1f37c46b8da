// Network changes for the notification area: iphlpapi's NotifyIpInterfaceChange, which calls
// back on a thread of the system's for every interface that comes, goes or changes. The
// callback only posts a message to the icon's window; the window does the work.
#pragma once

#include <windows.h>

namespace tray {

class NetworkWatch {
  public:
    NetworkWatch() = default;
    NetworkWatch(const NetworkWatch&) = delete;
    NetworkWatch& operator=(const NetworkWatch&) = delete;
    ~NetworkWatch() { stop(); }

    // Posts `message` to `window` at each change, until stop(); false when the system offers no
    // such notification (then the rules apply only when asked).
    bool start(HWND window, UINT message);
    // Cancels the notification; returns once no callback runs any more.
    void stop();

    // Where the callback posts; it outlives every callback.
    struct Target {
        HWND window = nullptr;
        UINT message = 0;
    };

  private:
    HANDLE handle_ = nullptr;
    Target target_{};
};

} // namespace tray
