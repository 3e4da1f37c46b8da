// Keldrast: changes the DNS servers of one network adapter.
#include "app/frmMain.h"

#include <windows.h>
#include <commctrl.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int showCommand) {
    // The program runs elevated: DLLs come from the system directory only.
    using SetDllDirsFn = BOOL(WINAPI*)(DWORD);
    if (auto setDllDirs = reinterpret_cast<SetDllDirsFn>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories"))))
        setDllDirs(LOAD_LIBRARY_SEARCH_SYSTEM32);

    INITCOMMONCONTROLSEX icc{sizeof(icc),
                             ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES | ICC_INTERNET_CLASSES};
    InitCommonControlsEx(&icc);

    frmMain form;
    if (!form.load(showCommand)) return 1;

    MSG msg{};
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (form.preTranslateMessage(msg)) continue;
        HWND root = GetAncestor(msg.hwnd, GA_ROOT);
        if (root && IsDialogMessageW(root, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}
