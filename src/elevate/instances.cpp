#include "elevate/instances.h"

#include "toolkit/handles.h"
#include "toolkit/open_as_user.h"
#include "toolkit/platform.h"

namespace elevate {

bool trayRunning() {
    const tk::unique_handle instance(OpenMutexW(SYNCHRONIZE, FALSE, kTrayInstanceName));
    return instance || GetLastError() == ERROR_ACCESS_DENIED;
}

bool startTrayAsUser(HWND owner) {
    return tk::openAsUser(owner, tk::executablePath(), L"/tray") != tk::OpenedBy::Nothing;
}

} // namespace elevate
