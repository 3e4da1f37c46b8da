// The fair yardstick for keldrast.exe's start-up: a window with the same child windows as the
// main window and nothing else. Taken from the same control table, so the two stay alike:
// 14 owner-drawn surfaces that paint their caption (the kButtons, the kLabels and the hosts
// of the two address fields), 8 statics, 2 drop-down lists of 18 items, 2 SysIPAddress32
// (4 edits each), the add panel with its edit, and the check box: 37 windows in all, with the
// same three fonts and the same manifest. Built with KELDRAST_BARE_WINDOW it is the other
// yardstick: the same window without any child window.
#include "app/layout.h"

#include <windows.h>
#include <commctrl.h>

#include <string>

namespace {

using app::ControlKind;

HFONT g_fonts[3];

LRESULT CALLBACK surfaceProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(w, &ps);
        RECT r;
        GetClientRect(w, &r);
        FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
        wchar_t text[64];
        const int n = GetWindowTextW(w, text, 64);
        HGDIOBJ old =
            SelectObject(dc, reinterpret_cast<HFONT>(GetWindowLongPtrW(w, GWLP_USERDATA)));
        SetBkMode(dc, TRANSPARENT);
        DrawTextW(dc, text, n, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        SelectObject(dc, old);
        EndPaint(w, &ps);
        return 0;
    }
    return DefWindowProcW(w, m, wp, lp);
}

LRESULT CALLBACK mainProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(w, m, wp, lp);
}

[[maybe_unused]] HWND child(HWND parent, const wchar_t* cls, const app::ControlRow& row,
                            DWORD style) {
    const auto px = [](int twips) { return MulDiv(twips, 96, 1440); };
    const DWORD visible = row.visibleAtStart ? WS_VISIBLE : 0;
    HWND w = CreateWindowExW(0, cls, std::wstring(row.caption).c_str(), WS_CHILD | visible | style,
                             px(row.left), px(row.top), px(row.width), px(row.height), parent,
                             nullptr, GetModuleHandleW(nullptr), nullptr);
    HFONT font = g_fonts[static_cast<int>(row.font)];
    SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    SetWindowLongPtrW(w, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(font));
    return w;
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    INITCOMMONCONTROLSEX icc{sizeof(icc),
                             ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES | ICC_INTERNET_CLASSES};
    InitCommonControlsEx(&icc);
    for (int style = 0; style < 3; ++style) {
        const double points = app::fontPoints(static_cast<app::FontStyle>(style));
        g_fonts[style] =
            CreateFontW(-static_cast<int>(points * 96 / 72 + 0.5), 0, 0, 0,
                        style == static_cast<int>(app::FontStyle::Normal) ? FW_NORMAL : FW_BOLD, 0,
                        0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma");
    }
    WNDCLASSW wc{};
    wc.lpfnWndProc = mainProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    wc.lpszClassName = L"ChildWindows";
    RegisterClassW(&wc);
    wc.lpfnWndProc = surfaceProc;
    wc.hbrBackground = nullptr;
    wc.lpszClassName = L"Surface";
    RegisterClassW(&wc);

    RECT frame{0, 0, 406, 232};
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    AdjustWindowRect(&frame, style, FALSE);
    HWND form = CreateWindowExW(0, L"ChildWindows", L"Yardstick", style, CW_USEDEFAULT,
                                CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top,
                                nullptr, nullptr, instance, nullptr);
#ifndef KELDRAST_BARE_WINDOW
    HWND panel = nullptr;
    for (const auto& row : app::table::kControls)
        if (row.kind == ControlKind::Panel) panel = child(form, L"STATIC", row, 0);
    for (const auto& row : app::table::kControls) {
        HWND parent = row.inPanel ? panel : form;
        switch (row.kind) {
        case ControlKind::Label:
            child(parent, L"STATIC", row, SS_LEFT);
            break;
        case ControlKind::KLabel:
        case ControlKind::KButton:
            child(parent, L"Surface", row, WS_TABSTOP);
            break;
        case ControlKind::IPAddress: {
            HWND host = child(parent, L"Surface", row, WS_TABSTOP);
            RECT r;
            GetClientRect(host, &r);
            CreateWindowExW(0, WC_IPADDRESSW, L"", WS_CHILD | WS_VISIBLE, 0, 0, r.right, r.bottom,
                            host, nullptr, instance, nullptr);
            break;
        }
        case ControlKind::DropDownList: {
            HWND list =
                child(parent, WC_COMBOBOXW, row, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP);
            for (int i = 0; i < 18; ++i)
                SendMessageW(
                    list, CB_ADDSTRING, 0,
                    reinterpret_cast<LPARAM>((L"DNS service " + std::to_wstring(i)).c_str()));
            SendMessageW(list, CB_SETCURSEL, 0, 0);
            break;
        }
        case ControlKind::CheckBox:
            child(parent, L"BUTTON", row, BS_AUTOCHECKBOX | WS_TABSTOP);
            break;
        case ControlKind::TextBox:
            child(parent, L"EDIT", row, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP);
            break;
        default:
            break;
        }
    }
#endif
    ShowWindow(form, show);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
