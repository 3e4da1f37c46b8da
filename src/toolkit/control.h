// Base of the standard controls (label, drop-down list, check box, text box): an object that
// owns one system child window. The window is subclassed so that the object learns when the
// window goes away with its parent, and it carries a property naming the object, so that a
// container can hand the notifications it receives (WM_COMMAND, WM_CTLCOLOR*) back to the object
// through routeToChild.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>
#include <string_view>

namespace tk {

class Control {
  public:
    Control() = default;
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;
    virtual ~Control();

    HWND hwnd() const noexcept { return hwnd_; }
    int id() const noexcept;

    // Position and size in pixels, in the parent's client area (after a DPI change too).
    virtual bool move(const RECT& rect) noexcept;
    // The font is not owned: whoever made it keeps it alive while the control uses it.
    void setFont(HFONT font) noexcept;
    HFONT font() const noexcept;

    // The control's own flag: true for a shown control inside a hidden container.
    bool visible() const noexcept;
    void setVisible(bool visible) noexcept;
    bool enabled() const noexcept;
    void setEnabled(bool enabled) noexcept;
    // False when the focus cannot go there (no window, hidden or disabled); nothing moves then.
    bool setFocus() noexcept;

    virtual std::wstring text() const;
    virtual void setText(std::wstring_view text);

  protected:
    [[nodiscard]] bool createWindow(const wchar_t* className, DWORD style, DWORD exStyle,
                                    HWND parent, const RECT& rect, int id,
                                    std::wstring_view text = {});
    // Takes ownership of a window made elsewhere; on failure the window is destroyed.
    [[nodiscard]] bool adopt(HWND window) noexcept;
    // A message for the system class's own window procedure, past this wrapper's subclass:
    // for work in bulk, since under Wine each message through a subclass costs a round trip
    // to its server. Not for messages the wrapper must hear.
    LRESULT sendPastSubclass(UINT message, WPARAM wParam, LPARAM lParam) const noexcept;

    // A notification code from WM_COMMAND sent by this control to its container.
    virtual bool onCommand(WORD /*code*/) { return false; }
    // WM_CTLCOLOR* for this control; returns the brush in `result` when handled.
    virtual bool onColor(UINT /*message*/, HDC /*dc*/, LRESULT& /*result*/) { return false; }
    // Messages to the control's own window, before the system class sees them.
    virtual bool onMessage(UINT /*message*/, WPARAM /*wParam*/, LPARAM /*lParam*/,
                           LRESULT& /*result*/) {
        return false;
    }

  private:
    friend bool routeToChild(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) noexcept;
    static Control* fromWindow(HWND window) noexcept;
    static LRESULT CALLBACK subclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR id, DWORD_PTR self) noexcept;
    HWND hwnd_ = nullptr;
};

// Containers call this first for every message: when it is a WM_COMMAND or WM_CTLCOLOR* from
// one of the controls above and that control handles it, the result is set and it returns true.
bool routeToChild(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) noexcept;

} // namespace tk
