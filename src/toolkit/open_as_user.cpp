#include "toolkit/open_as_user.h"
#include "toolkit/com.h"
#include "toolkit/handles.h"

#include <exdisp.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>

#include <utility>

namespace tk {

namespace {

bool systemIsElevated() {
    unique_handle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) return false;
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    return GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof(elevation), &size) &&
           elevation.TokenIsElevated != 0;
}

// The desktop window's shell (the one the signed-in user's Explorer runs) opens the target.
bool desktopShellOpen(const std::wstring& target, const std::wstring& parameters) {
    const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    bool opened = false;
    {
        com_ptr<IShellWindows> windows;
        com_ptr<IDispatch> desktop;
        com_ptr<IServiceProvider> services;
        com_ptr<IShellBrowser> browser;
        com_ptr<IShellView> view;
        com_ptr<IDispatch> background;
        com_ptr<IShellFolderViewDual> folderView;
        com_ptr<IDispatch> application;
        com_ptr<IShellDispatch2> shell;
        VARIANT empty{};
        VariantInit(&empty);
        long window = 0;
        if (SUCCEEDED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER,
                                       __uuidof(IShellWindows), windows.put())) &&
            windows->FindWindowSW(&empty, &empty, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH,
                                  desktop.putTyped()) == S_OK &&
            desktop &&
            SUCCEEDED(desktop->QueryInterface(__uuidof(IServiceProvider), services.put())) &&
            SUCCEEDED(services->QueryService(SID_STopLevelBrowser, __uuidof(IShellBrowser),
                                             browser.put())) &&
            SUCCEEDED(browser->QueryActiveShellView(view.putTyped())) &&
            SUCCEEDED(
                view->GetItemObject(SVGIO_BACKGROUND, __uuidof(IDispatch), background.put())) &&
            SUCCEEDED(
                background->QueryInterface(__uuidof(IShellFolderViewDual), folderView.put())) &&
            SUCCEEDED(folderView->get_Application(application.putTyped())) &&
            SUCCEEDED(application->QueryInterface(__uuidof(IShellDispatch2), shell.put()))) {
            BSTR file = SysAllocString(target.c_str());
            VARIANT arguments{};
            VariantInit(&arguments);
            if (!parameters.empty()) {
                arguments.vt = VT_BSTR;
                arguments.bstrVal = SysAllocString(parameters.c_str());
            }
            VARIANT show{};
            show.vt = VT_I4;
            show.lVal = SW_SHOWNORMAL;
            opened = file && (parameters.empty() || arguments.bstrVal) &&
                     SUCCEEDED(shell->ShellExecute(file, arguments, empty, empty, show));
            SysFreeString(file);
            VariantClear(&arguments);
        }
    }
    if (SUCCEEDED(init)) CoUninitialize();
    return opened;
}

} // namespace

bool isElevated() {
    return elevatedSeam.call(systemIsElevated);
}

OpenedBy openAsUser(HWND owner, const std::wstring& target, const std::wstring& parameters) {
    // Elevated, a direct open would start the browser as administrator: never that.
    if (isElevated())
        return desktopShellOpenSeam.call(desktopShellOpen, target, parameters)
                   ? OpenedBy::DesktopShell
                   : OpenedBy::Nothing;
    if (!parameters.empty())
        return startProcess(target, L"\"" + target + L"\" " + parameters, SW_SHOWNORMAL).started
                   ? OpenedBy::Direct
                   : OpenedBy::Nothing;
    return shellOpen(owner, target) ? OpenedBy::Direct : OpenedBy::Nothing;
}

} // namespace tk
