// The system's four-field address editor ("SysIPAddress32") in a control of fixed size,
// 140 x 25 pixels at 96 DPI. The address is read and written through the editor each time;
// the control keeps no copy. It raises no events. Enabled and Font act on the control
// itself, never on the editor.
#pragma once

#include "controls/ControlSurface.h"

#include <cstdint>
#include <string>

class IPAddressBox : public ControlSurface {
  public:
    ~IPAddressBox() override;

    bool Enabled() const noexcept { return enabled(); }
    void Enabled(bool New_Enabled);
    const tk::FontPtr& Font() const noexcept { return font(); }
    bool Font(tk::FontPtr New_Font);
    // Network byte order read as a little-endian number: 8.8.4.4 is 67373064.
    std::int32_t IPAddressAsLong() const;
    void IPAddressAsLong(std::int32_t New_IPAddressAsLong);
    // Dotted decimal. Written text is read as inet_addr reads it (fewer parts, octal and
    // hexadecimal accepted); text it rejects shows 255.255.255.255.
    std::wstring IPAddressAsString() const;
    void IPAddressAsString(const std::wstring& New_IPAddressAsString);

    // Whether every part of the address holds a number: the editor reads a blank part as 0.
    bool complete() const;

    HWND hwndIP() const noexcept { return hwndIP_; }
    // Repaints the control's window.
    void Refresh() { refreshWindow(); }

  protected:
    // The editor's address, the first part in the highest byte.
    std::uint32_t fields() const;
    void setFields(std::uint32_t value);
    void Initialize() override;
    void InitProperties() override;
    void ReadProperties(const ctl::PropertyBag& bag) override;
    void Resize() override;
    void Terminate() override;
    void onFocusEnters() override;
    // The editor's fields take the focus; the control itself is only their container.
    UINT dialogCode(const MSG*) const noexcept override { return 0; }
    DWORD extraStyle() const noexcept override { return 0; }
    DWORD extraExStyle() const noexcept override { return WS_EX_CONTROLPARENT; }

  private:
    HWND hwndIP_ = nullptr;
};
