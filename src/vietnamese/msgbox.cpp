#include "vietnamese/msgbox.h"

#include "toolkit/handles.h"
#include "toolkit/platform.h"
#include "vietnamese/vni.h"

#include <string>

namespace {

// What one uniMsgBox call owns while its box is being prepared and shown: the hook, until
// the box is activated, and the font, until the box has closed.
struct BoxResources {
    tk::unique_hhook hook;
    tk::unique_hfont font;
};

// The box in preparation on this thread. A box opened from inside another box's modal loop
// takes the place of the outer one for as long as it lasts.
thread_local BoxResources* currentBox = nullptr;

struct Relabel {
    const char* searched;
    const wchar_t* caption;
};

constexpr Relabel kRelabels[] = {
    {"OK", L"\u0110\u00f3ng"},                                 // Đóng
    {"&Yes", L"\u0043\u00f3"},                                 // Có
    {"&No", L"\u004b\u0068\u00f4\u006e\u0067"},                // Không
    {"&Retry", L"\u0054\u0068\u1eed\u0020\u006c\u1ea1\u0069"}, // Thử lại
    {"Cancel", L"\u0054\u0068\u006f\u00e1\u0074"},             // Thoát
};

void restyle(HWND box, HFONT font) {
    const auto setFont = [font](HWND w) {
        SendMessageA(w, WM_SETFONT, reinterpret_cast<WPARAM>(font), 1);
    };
    // With an icon the first "Static" holds the icon and the second the text.
    HWND first = FindWindowExA(box, nullptr, "Static", nullptr);
    HWND second = first ? FindWindowExA(box, first, "Static", nullptr) : nullptr;
    if (HWND text = second ? second : first) setFont(text);
    for (const Relabel& r : kRelabels) {
        if (HWND button = FindWindowExA(box, nullptr, "Button", r.searched)) {
            setFont(button);
            SetWindowTextW(button, r.caption);
        }
    }
}

// The one-shot CBT hook that restyles the box when it is first activated, then removes itself.
LRESULT CALLBACK msgBoxHookProc(int code, WPARAM wParam, LPARAM lParam) noexcept {
    BoxResources* box = currentBox;
    const LRESULT result = CallNextHookEx(box ? box->hook.get() : nullptr, code, wParam, lParam);
    if (code != HCBT_ACTIVATE || !box || !box->hook) return result;
    // Only the message box itself is restyled; it is a dialog of the standard class.
    HWND activated = reinterpret_cast<HWND>(wParam);
    char className[16]{};
    GetClassNameA(activated, className, sizeof(className));
    if (lstrcmpA(className, "#32770") != 0) return result;

    box->font.reset(CreateFontA(13, 0, 0, 0, 500, 0, 0, 0, 0, 0, 0, 0, 0, "Tahoma"));
    restyle(activated, box->font.get());
    box->hook.reset();
    return result;
}

} // namespace

int uniMsgBox(std::wstring_view text, UINT flags, std::wstring_view title, HWND owner) {
    // Declared before the hook is armed and released after the box has closed, so the
    // font outlives the box and the hook never outlives this call.
    BoxResources resources;
    BoxResources* const outer = currentBox;
    struct Restore {
        BoxResources* outer;
        ~Restore() { currentBox = outer; }
    } restore{outer};

    const std::wstring shownText = vniToUnicode(text);
    const std::wstring shownTitle = vniToUnicode(title);

    currentBox = &resources;
    resources.hook.reset(SetWindowsHookExA(WH_CBT, &msgBoxHookProc, GetModuleHandleW(nullptr),
                                           GetCurrentThreadId()));
    const int result = tk::messageBox(owner, shownText, shownTitle, flags);
    resources.hook.reset(); // still set only when the box never appeared
    return result > 0 ? result : 0;
}
