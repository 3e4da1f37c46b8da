#include "tray/netwatch.h"

#include <winsock2.h>
#include <ws2ipdef.h>
#include <iphlpapi.h>

#include "toolkit/system_library.h"

namespace tray {

namespace {

using NotifyFn = DWORD(WINAPI*)(ADDRESS_FAMILY, PIPINTERFACE_CHANGE_CALLBACK, PVOID, BOOLEAN,
                                HANDLE*);
using CancelFn = DWORD(WINAPI*)(HANDLE);

HMODULE iphlpapi() {
    static const HMODULE module = tk::systemLibrary(L"iphlpapi.dll");
    return module;
}

// On the system's thread: nothing but the post.
void WINAPI onChange(PVOID context, PMIB_IPINTERFACE_ROW, MIB_NOTIFICATION_TYPE) {
    const auto* target = static_cast<const NetworkWatch::Target*>(context);
    PostMessageW(target->window, target->message, 0, 0);
}

} // namespace

bool NetworkWatch::start(HWND window, UINT message) {
    stop();
    const auto notify = tk::moduleFunction<NotifyFn>(iphlpapi(), "NotifyIpInterfaceChange");
    if (!notify || !tk::moduleFunction<CancelFn>(iphlpapi(), "CancelMibChangeNotify2"))
        return false;
    target_ = {window, message};
    HANDLE handle = nullptr;
    if (notify(AF_UNSPEC, onChange, &target_, FALSE, &handle) != NO_ERROR) return false;
    handle_ = handle;
    return true;
}

void NetworkWatch::stop() {
    if (!handle_) return;
    // Returns after the callbacks that run have ended, so target_ outlives them.
    if (const auto cancel = tk::moduleFunction<CancelFn>(iphlpapi(), "CancelMibChangeNotify2"))
        cancel(handle_);
    handle_ = nullptr;
}

} // namespace tray
