// A worker thread and a lock on the system's own primitives. The C++ runtime's std::thread
// and std::mutex would link its thread library (and its error-code machinery) into the exe
// for the one worker this program starts.
#pragma once

#include "toolkit/handles.h"

#include <windows.h>

#include <functional>

namespace tk {

class Thread {
  public:
    Thread() = default;
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;
    ~Thread() { join(); }

    // Runs `body` on a new thread; false when the system could not start one.
    bool start(std::function<void()> body);
    // Waits for the thread to end; does nothing when none runs.
    void join() noexcept;
    bool joinable() const noexcept { return static_cast<bool>(handle_); }

  private:
    unique_handle handle_;
};

// Meets BasicLockable, so std::lock_guard and std::scoped_lock take it.
class Lock {
  public:
    Lock() = default;
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;
    void lock() noexcept { AcquireSRWLockExclusive(&lock_); }
    void unlock() noexcept { ReleaseSRWLockExclusive(&lock_); }

  private:
    SRWLOCK lock_ = SRWLOCK_INIT;
};

} // namespace tk
