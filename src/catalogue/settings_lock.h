// One writer of the settings file at a time, across processes: a change holds the lock from
// reading the adapter's restore record to saving the file, and every other rewrite of the file
// holds it too, so that no process writes back a file read before another's record was saved.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>

#include "toolkit/handles.h"
#include "toolkit/platform.h"

namespace mConfig {

// How long a writer waits for another to finish: a change takes seconds.
inline constexpr DWORD kSettingsLockWaitMs = 20000;
using SettingsLockWaitHandler = std::function<DWORD()>;
inline tk::Seam<SettingsLockWaitHandler> settingsLockWaitSeam;
using ScopedSettingsLockWait = tk::ScopedHandler<settingsLockWaitSeam>;

// The session's name of the lock of the settings file at path: one per file, whatever the
// letter case or relative form of the path.
std::wstring settingsLockName(std::wstring_view path);

// Held from construction until destruction, when it could be taken within the wait; a thread
// that holds it may take it again.
class SettingsLock {
  public:
    explicit SettingsLock(std::wstring_view path);
    ~SettingsLock();
    SettingsLock(const SettingsLock&) = delete;
    SettingsLock& operator=(const SettingsLock&) = delete;
    explicit operator bool() const noexcept { return held_; }

  private:
    tk::unique_handle mutex_;
    bool held_ = false;
};

} // namespace mConfig
