#include "controls/IPAddressBox.h"

#include "dns/address.h"
#include "toolkit/scale.h"

#include <commctrl.h>

namespace {

constexpr int kWidth = 140;
constexpr int kHeight = 25;

// Network byte order and the editor's number (the first part in the highest byte) are each
// other's byte reversal.
std::uint32_t reversed(std::uint32_t value) {
    return value >> 24 | (value >> 8 & 0xFF00) | (value << 8 & 0xFF0000) | value << 24;
}

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

std::uint32_t IPAddressBox::fields() const {
    DWORD value = 0;
    if (hwndIP_) SendMessageW(hwndIP_, IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&value));
    return value;
}

void IPAddressBox::setFields(std::uint32_t value) {
    if (hwndIP_) SendMessageW(hwndIP_, IPM_SETADDRESS, 0, static_cast<LPARAM>(value));
}

bool IPAddressBox::complete() const {
    DWORD value = 0;
    // The editor answers with the number of parts that are not blank.
    return hwndIP_ &&
           SendMessageW(hwndIP_, IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&value)) == 4;
}

std::int32_t IPAddressBox::IPAddressAsLong() const {
    return static_cast<std::int32_t>(reversed(fields()));
}

void IPAddressBox::IPAddressAsLong(std::int32_t New_IPAddressAsLong) {
    setFields(reversed(static_cast<std::uint32_t>(New_IPAddressAsLong)));
}

std::wstring IPAddressBox::IPAddressAsString() const {
    const std::uint32_t value = fields();
    return dns::ipv4Text({static_cast<std::uint8_t>(value >> 24),
                          static_cast<std::uint8_t>(value >> 16),
                          static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)});
}

void IPAddressBox::IPAddressAsString(const std::wstring& New_IPAddressAsString) {
    // Text that is no address shows 255.255.255.255, as inet_addr's INADDR_NONE did.
    setFields(dns::classicIPv4(New_IPAddressAsString).value_or(0xFFFFFFFFu));
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
