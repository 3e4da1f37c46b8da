// Waiting for a network change to settle: a switch of network brings a burst of interface
// notifications (an address goes, another comes, a route, a DNS suffix...). The rules are
// applied once the notifications have been quiet for a while, exactly once per burst. Pure:
// the caller feeds in the times and arms a timer for due().
#pragma once

#include <cstdint>
#include <optional>

namespace tray {

class Settle {
  public:
    static constexpr std::uint64_t kQuietMs = 2000;
    explicit Settle(std::uint64_t quietMs = kQuietMs) : quietMs_(quietMs) {}

    // A change notification came at `now` (milliseconds): the quiet period starts again.
    void changed(std::uint64_t now) {
        due_ = now + quietMs_;
        waiting_ = true;
    }
    // The timer fired at `now`: true exactly once, when the quiet period has passed since the
    // last notification; an early or second firing says false.
    bool fired(std::uint64_t now) {
        if (!waiting_ || now < due_) return false;
        waiting_ = false;
        return true;
    }
    // When the timer should fire next; nothing when no change waits.
    std::optional<std::uint64_t> due() const {
        return waiting_ ? std::optional(due_) : std::nullopt;
    }

  private:
    std::uint64_t quietMs_;
    std::uint64_t due_ = 0;
    bool waiting_ = false;
};

} // namespace tray
