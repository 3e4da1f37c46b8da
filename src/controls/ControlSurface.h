// The control surface: the window, persistent image, attributes, property store and
// notifications on which the program's own controls (kButton, kLabel, IPAddressBox) live.
//
// Hosting a control:
//   control.create(parent, rectInPixels);            // new instance: InitProperties
//   control.create(parent, rect, {.stored = &bag});  // stored instance: ReadProperties
//   control.move(rect);                              // Resize when the size changes
//   control.setDpi(dpi);  control.move(scaledRect);  // after WM_DPICHANGED of the host
//   control.setVisible(false / true);                // Show when it becomes visible
//   control.destroy();                               // Terminate (also done by the destructor)
// Sizes are pixels of the host's client area. Tab and z order follow the order of creation.
// The window text is the caption, so screen
// readers find it.
//
// Notifications reach the control in this order: Initialize, InitProperties or
// ReadProperties, Resize, Show, then input and focus notifications, and Terminate.
// A disabled surface gets no mouse or key input. A left press and release on the control is
// a click; the surface captures the mouse while a button is held.
#pragma once

#include "controls/property_bag.h"
#include "toolkit/colour.h"
#include "toolkit/font.h"
#include "toolkit/handles.h"
#include "toolkit/memory_image.h"
#include "toolkit/platform.h"
#include "toolkit/window.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// The eight events that kButton and kLabel raise to their host, arguments by reference.
// Button bits: 1 left, 2 right, 4 middle. Shift bits: 1 Shift, 2 Ctrl, 4 Alt. X and Y are
// pixels of the control.
struct ControlEvents {
    std::function<void()> Click;
    std::function<void()> DblClick;
    std::function<void(short& KeyCode, short& Shift)> KeyDown;
    std::function<void(short& KeyAscii)> KeyPress;
    std::function<void(short& KeyCode, short& Shift)> KeyUp;
    std::function<void(short& Button, short& Shift, float& X, float& Y)> MouseDown;
    std::function<void(short& Button, short& Shift, float& X, float& Y)> MouseMove;
    std::function<void(short& Button, short& Shift, float& X, float& Y)> MouseUp;
};

class ControlSurface : public tk::Window {
  public:
    struct Placement {
        // Stored properties of the instance; none means a newly placed instance.
        const ctl::PropertyBag* stored = nullptr;
        // The font the container offers its controls; Tahoma 8.25 pt when none.
        tk::FontPtr ambientFont;
        // DPI of the host; 0 asks the host window.
        int dpi = 0;
        bool visible = true;
        int id = 0;
    };

    ControlSurface();
    ~ControlSurface() override;

    bool create(HWND parent, const RECT& pixels);
    bool create(HWND parent, const RECT& pixels, const Placement& placement);
    void move(const RECT& pixels);
    // New DPI of the host: the font is made again for it and the control redraws (Resize).
    void setDpi(int dpi);
    int dpi() const noexcept { return dpi_; }
    void setVisible(bool visible);
    // Terminate, then the window goes. Safe to call twice.
    void destroy();

    // Notified with the property's name whenever a setter changes it.
    std::function<void(const std::wstring& name)> PropertyChanged;

    // Attributes. Setters refuse invalid values (false) and leave the attribute as it was;
    // they neither draw nor notify: that is the control's business.
    std::uint32_t backColor() const noexcept { return backColor_; }
    bool setBackColor(std::uint32_t colour);
    std::uint32_t foreColor() const noexcept { return foreColor_; }
    bool setForeColor(std::uint32_t colour);
    const tk::FontPtr& font() const noexcept { return font_; }
    bool setFont(tk::FontPtr font);
    bool enabled() const noexcept { return enabled_; }
    void setEnabled(bool enabled);
    // 0 transparent (the container shows through), 1 opaque.
    short backStyle() const noexcept { return backStyle_; }
    bool setBackStyle(short style);
    // 0 none, 1 fixed single line.
    short borderStyle() const noexcept { return borderStyle_; }
    bool setBorderStyle(short style);
    const tk::FontPtr& ambientFont() const noexcept { return ambientFont_; }

    // The persistent image: what is drawn stays until drawn over. The DC has the font, the
    // text colour ForeColor and a transparent text background selected.
    HDC imageDc() const noexcept { return image_.dc(); }
    int scaleWidth() const noexcept { return image_.width(); }
    int scaleHeight() const noexcept { return image_.height(); }

  protected:
    // Fills the image with the background colour (or the container's, when transparent).
    void clear();
    // Shows what was drawn into the image (at the next paint) and tells the Painted seam
    // which look was drawn.
    void imageChanged(int look = 0);
    // Repaints the window from the image now.
    void refreshWindow();
    void notifyChanged(const std::wstring& name);
    void setCaptionText(const std::wstring& text);
    // A double click that the control takes as a press: its release counts as a click.
    void armClick() noexcept { clickArmed_ = true; }
    // Sets the window's size in pixels of the host (outer size, border included).
    void setSizePixels(int width, int height);

    // Notifications to the control.
    virtual void Initialize() {}
    virtual void InitProperties() {}
    virtual void ReadProperties(const ctl::PropertyBag&) {}
    virtual void Resize() {}
    virtual void Show() {}
    virtual void Terminate() {}
    virtual void onClick() {}
    virtual void onDblClick() {}
    virtual void onKeyDown(short&, short&) {}
    virtual void onKeyPress(short&) {}
    virtual void onKeyUp(short&, short&) {}
    virtual void onMouseDown(short&, short&, float&, float&) {}
    virtual void onMouseMove(short&, short&, float&, float&) {}
    virtual void onMouseUp(short&, short&, float&, float&) {}
    virtual void onFocusEnters() {}
    virtual void onFocusLeaves() {}
    // The role reported to accessibility clients (ROLE_SYSTEM_...), 0 for the default.
    virtual long accessibleRole() const noexcept { return 0; }
    // WM_GETDLGCODE: which keys the control keeps from the dialog manager. `message` is the
    // key message in question, or null.
    virtual UINT dialogCode(const MSG* /*message*/) const noexcept { return DLGC_WANTCHARS; }
    virtual DWORD extraStyle() const noexcept { return WS_TABSTOP; }
    virtual DWORD extraExStyle() const noexcept { return 0; }

    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    void makeImage(int width, int height);
    void selectFont();
    void selectColours();
    void onSize();
    void mouseButton(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT onGetObject(WPARAM wParam, LPARAM lParam);

    std::uint32_t backColor_ = tk::kColourButtonFace;
    std::uint32_t foreColor_ = tk::kColourButtonText;
    tk::FontPtr font_;
    tk::FontPtr ambientFont_;
    bool enabled_ = true;
    short backStyle_ = 1;
    short borderStyle_ = 0;
    int dpi_ = 96;
    bool ready_ = false;
    bool terminated_ = false;
    bool clickArmed_ = false;
    // Where the mouse was when the capture ended: the system repeats that position as a move.
    LPARAM releasedAt_ = -1;

    tk::MemoryImage image_;
    std::shared_ptr<void> selectedFont_;
};

// Each time a control has drawn itself into its image: the control and the look it drew
// (kButton's painted state, 1 to 5; 0 for a control with one look). For tests and the
// control gallery.
using PaintedHandler = std::function<void(const ControlSurface& control, int look)>;
inline tk::Seam<PaintedHandler> paintedSeam;
using ScopedPainted = tk::ScopedHandler<paintedSeam>;
