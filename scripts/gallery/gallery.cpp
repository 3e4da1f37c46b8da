// Shows every look of the button and both label alignments for a few seconds, so that a
// screenshot can be taken (scripts/gallery/run). Not a test: it exits 0 when each button
// painted the look it was put in.
#include <windows.h>
#include <commctrl.h>

#include "control_host.h"
#include "controls/kButton.h"
#include "controls/kLabel.h"

using namespace testhost;

int wmain() {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
    bool ok = true;
    Host host;
    Paints paints;
    SetWindowPos(host.hwnd, nullptr, 0, 0, 580, 250, SWP_NOMOVE | SWP_NOZORDER);
    SetWindowTextW(host.hwnd, L"kButton and kLabel");
    auto tahoma = tk::makeFont();
    tk::FontDescription boldDescription;
    boldDescription.points = 9.75;
    boldDescription.weight = 700;
    auto bold = tk::makeFont(boldDescription);

    kButton normal, hot, pressed, disabled, defaulted, classic;
    struct Item {
        kButton& button;
        const wchar_t* caption;
    };
    Item items[] = {{normal, L"Normal &Apply"}, {hot, L"Hot"},
                    {pressed, L"Pressed"},      {disabled, L"Disabled && grey"},
                    {defaulted, L"Defaulted"},  {classic, L"Classic: Save && E&xit"}};
    int i = 0;
    for (auto& item : items) {
        const int x = 10 + (i % 3) * 180;
        const int y = 10 + (i / 3) * 50;
        if (!item.button.create(host.hwnd, RECT{x, y, x + 170, y + 40})) return 1;
        item.button.Caption(item.caption);
        ++i;
    }
    // The last one shows the classic frame: its window names no theme.
    using SetWindowThemeFn = HRESULT(WINAPI*)(HWND, LPCWSTR, LPCWSTR);
    HMODULE uxtheme = LoadLibraryExW(L"uxtheme.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (auto setWindowTheme = reinterpret_cast<SetWindowThemeFn>(
            reinterpret_cast<void*>(GetProcAddress(uxtheme, "SetWindowTheme"))))
        setWindowTheme(classic.hwnd(), L" ", L" ");
    normal.Font(bold);
    normal.ForeColor(0x0000C0);
    classic.ForeColor(0x008000);
    disabled.Enabled(false);

    kLabel left, centred;
    if (!left.create(host.hwnd, RECT{10, 120, 540, 140})) return 1;
    if (!centred.create(host.hwnd, RECT{10, 150, 540, 170})) return 1;
    left.ForeColor(0x800080);
    centred.ForeColor(0xC00000);
    left.Caption(L"Left: ti\u1EBFng Vi\u1EC7t \u2014 &Mnemonic");
    left.Alignment(0);
    centred.Caption(L"Centred: www.keldrast.example");
    centred.Alignment(1);
    pump(200);

    // Hot: the cursor rests on it. Pressed: a left press holds it. Defaulted: it is told
    // that it has the focus.
    moveTo(screenPoint(hot.hwnd()));
    SendMessageW(pressed.hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageW(defaulted.hwnd(), WM_SETFOCUS, 0, 0);
    pump(300);
    ok = ok && paints.of(normal) == 1;
    ok = ok && paints.of(hot) == 2;
    ok = ok && paints.of(pressed) == 3;
    ok = ok && paints.of(disabled) == 4;
    ok = ok && paints.of(defaulted) == 5;
    pump(6000);
    ReleaseCapture();
    if (uxtheme) FreeLibrary(uxtheme);
    return ok ? 0 : 1;
}
