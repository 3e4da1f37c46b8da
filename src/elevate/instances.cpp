#include "elevate/instances.h"

#include <sddl.h>

#include <vector>

#include "toolkit/handles.h"
#include "toolkit/open_as_user.h"
#include "toolkit/platform.h"

namespace elevate {

std::wstring trayInstanceName() {
    std::wstring name = L"Local\\Keldrast.NotificationArea";
    tk::unique_handle token;
    DWORD size = 0;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) return name;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    std::vector<BYTE> user(size);
    PWSTR sid = nullptr;
    if (size && GetTokenInformation(token.get(), TokenUser, user.data(), size, &size) &&
        ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, &sid)) {
        name += L".";
        name += sid;
        LocalFree(sid);
    }
    return name;
}

bool trayAnswers(DWORD waitMs) {
    const ULONGLONG start = GetTickCount64();
    for (;;) {
        for (HWND w = FindWindowExW(nullptr, nullptr, kTrayClassName, nullptr); w;
             w = FindWindowExW(nullptr, w, kTrayClassName, nullptr)) {
            DWORD_PTR result = 0;
            if (SendMessageTimeoutW(w, WM_NULL, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, 1000, &result))
                return true;
        }
        if (GetTickCount64() - start >= waitMs) return false;
        Sleep(100);
    }
}

bool trayRunning() {
    const tk::unique_handle instance(OpenMutexW(SYNCHRONIZE, FALSE, trayInstanceName().c_str()));
    return (instance || GetLastError() == ERROR_ACCESS_DENIED) && trayAnswers(0);
}

bool startTrayAsUser(HWND owner) {
    return tk::openAsUser(owner, tk::executablePath(), L"/tray") != tk::OpenedBy::Nothing;
}

void tellTrayWindowKept(DWORD waitMs) {
    if (!trayAnswers(waitMs)) return;
    const UINT kept = RegisterWindowMessageW(kWindowKeptMessage);
    for (HWND w = FindWindowExW(nullptr, nullptr, kTrayClassName, nullptr); w && kept;
         w = FindWindowExW(nullptr, w, kTrayClassName, nullptr))
        PostMessageW(w, kept, 0, 0);
}

} // namespace elevate
