#include "controls/IPAddressBox.h"

#include "toolkit/scale.h"
#include "toolkit/text.h"

#include <winsock2.h>
#include <commctrl.h>

#include <cstring>

namespace {

constexpr int kWidth = 140;
constexpr int kHeight = 25;

} // namespace

IPAddressBox::~IPAddressBox() {
    destroy();
}

void IPAddressBox::Enabled(bool New_Enabled) {
    setEnabled(New_Enabled);
    notifyChanged(L"Enabled");
}

bool IPAddressBox::Font(tk::FontPtr New_Font) {
    if (!setFont(std::move(New_Font))) return false;
    notifyChanged(L"Font");
    return true;
}

std::int32_t IPAddressBox::IPAddressAsLong() const {
    DWORD value = 0;
    if (hwndIP_) SendMessageA(hwndIP_, IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&value));
    return static_cast<std::int32_t>(ntohl(value));
}

void IPAddressBox::IPAddressAsLong(std::int32_t New_IPAddressAsLong) {
    if (hwndIP_)
        SendMessageA(hwndIP_, IPM_SETADDRESS, 0,
                     static_cast<LPARAM>(htonl(static_cast<u_long>(New_IPAddressAsLong))));
}

std::wstring IPAddressBox::IPAddressAsString() const {
    in_addr address{};
    address.s_addr = static_cast<u_long>(IPAddressAsLong());
    const char* text = inet_ntoa(address);
    if (!text) return {};
    std::string copy(static_cast<std::size_t>(lstrlenA(text)), '\0');
    std::memcpy(copy.data(), text, copy.size());
    return tk::fromAnsi(copy);
}

void IPAddressBox::IPAddressAsString(const std::wstring& New_IPAddressAsString) {
    const std::string text = tk::toAnsi(New_IPAddressAsString);
    IPAddressAsLong(static_cast<std::int32_t>(inet_addr(text.c_str())));
}

void IPAddressBox::Initialize() {
    INITCOMMONCONTROLSEX icc{};
    icc.dwSize = sizeof(icc);
    icc.dwICC = ICC_INTERNET_CLASSES;
    InitCommonControlsEx(&icc);
    hwndIP_ = CreateWindowExA(WS_EX_CLIENTEDGE, "SysIPAddress32", nullptr, WS_CHILD | WS_VISIBLE, 0,
                              0, tk::scaleFrom96(kWidth, dpi()), tk::scaleFrom96(kHeight, dpi()),
                              hwnd(), nullptr, instance(), nullptr);
}

void IPAddressBox::InitProperties() {
    setFont(ambientFont());
}

void IPAddressBox::ReadProperties(const ctl::PropertyBag& bag) {
    setEnabled(bag.readBool(L"Enabled", true));
    setFont(bag.readFont(L"Font", ambientFont()));
}

void IPAddressBox::Resize() {
    // Whatever size the container asks for, the box keeps the editor's size.
    const int width = tk::scaleFrom96(kWidth, dpi());
    const int height = tk::scaleFrom96(kHeight, dpi());
    if (hwndIP_)
        SetWindowPos(hwndIP_, nullptr, 0, 0, width, height,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (scaleWidth() != width || scaleHeight() != height) setSizePixels(width, height);
}

void IPAddressBox::Terminate() {
    if (hwndIP_) DestroyWindow(hwndIP_);
    hwndIP_ = nullptr;
}

void IPAddressBox::onFocusEnters() {
    if (hwndIP_) SetFocus(hwndIP_);
}
