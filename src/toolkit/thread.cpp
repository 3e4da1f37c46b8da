#include "toolkit/thread.h"

#include <memory>

namespace tk {

namespace {
DWORD WINAPI threadMain(void* parameter) {
    const std::unique_ptr<std::function<void()>> body(
        static_cast<std::function<void()>*>(parameter));
    (*body)();
    return 0;
}
} // namespace

bool Thread::start(std::function<void()> body) {
    join();
    auto owned = std::make_unique<std::function<void()>>(std::move(body));
    HANDLE thread = CreateThread(nullptr, 0, threadMain, owned.get(), 0, nullptr);
    if (!thread) return false;
    owned.release(); // the thread owns it now
    handle_.reset(thread);
    return true;
}

void Thread::join() noexcept {
    if (!handle_) return;
    WaitForSingleObject(handle_.get(), INFINITE);
    handle_.reset();
}

} // namespace tk
