// The main window's controls as data: kind, caption, tool tip, place in twips, tab index,
// whether shown at start, font and text colour. The window builds itself from this table.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace app {

enum class ControlKind {
    Label,
    KLabel,
    DropDownList,
    HiddenList,
    KButton,
    CheckBox,
    IPAddress,
    TextBox,
    Panel,
    Timer
};

enum class FontStyle {
    Normal, // Tahoma 8.25 pt, the window's default
    Title,  // Tahoma 21.75 pt bold
    Bold,   // Tahoma 9.75 pt bold
};

// Colour values as the controls take them: RGB with red in the low byte, or a system colour.
inline constexpr std::uint32_t kDefaultText = 0x80000012;
constexpr std::uint32_t rgb(unsigned r, unsigned g, unsigned b) {
    return r | (g << 8) | (b << 16);
}

struct ControlRow {
    std::wstring_view name;
    ControlKind kind;
    std::wstring_view caption;
    int left, top, width, height; // twips; inside the add panel for controls with inPanel
    int tabIndex;
    bool visibleAtStart;
    bool inPanel;
    FontStyle font;
    std::uint32_t foreColor;
    std::wstring_view toolTip;
};

namespace table {
using K = ControlKind;
using F = FontStyle;

inline constexpr std::wstring_view kFlushTip =
    L"Flushes and resets the contents of the DNS client resolver cache. During DNS "
    L"troubleshooting, you can use this procedure to discard negative cache entries from the "
    L"cache, as well as any other entries that have been added dynamically...";

// The title's tip points a new user to the window menu, which has no control of its own.
inline constexpr std::wstring_view kTitleTip =
    L"Right-click the window (or press Shift+F10) for more: restore the previous DNS, find "
    L"the fastest DNS, encrypted DNS, every connected adapter, the notification area...";

inline constexpr std::uint32_t kRed = rgb(192, 0, 0);
inline constexpr std::uint32_t kGreen = rgb(0, 128, 0);

// clang-format off
inline constexpr std::array<ControlRow, 31> kControls{{
    {L"Label1",       K::Label,        L"Keldrast",               90,   90,   2085, 555, 16, true,  false, F::Title,  rgb(0, 192, 0), kTitleTip},
    {L"kLabel1",      K::KLabel,       {},                        2250, 135,  3705, 240, 17, true,  false, F::Normal, rgb(128, 0, 128), {}},
    {L"kLabel2",      K::KLabel,       {},                        2250, 360,  3705, 240, 18, true,  false, F::Normal, rgb(0, 0, 192), {}},
    {L"Label2",       K::Label,        L"Select Network Adapter:", 135, 810,  3480, 240, 20, true,  false, F::Normal, kDefaultText, {}},
    {L"lbIDCard",     K::Label,        {},                        3690, 810,  195,  240, 30, true,  false, F::Normal, kDefaultText, {}},
    {L"cbNET",        K::DropDownList, {},                        90,   1035, 3830, 315, 0,  true,  false, F::Normal, kDefaultText, {}},
    {L"lstNET",       K::HiddenList,   {},                        2025, 810,  645,  255, 19, false, false, F::Normal, kDefaultText, {}},
    {L"Label3",       K::Label,        L"Choose a DNS Service:",  135,  1485, 3975, 240, 21, true,  false, F::Normal, kDefaultText, {}},
    {L"cbDNSName",    K::DropDownList, {},                        90,   1720, 3175, 315, 2,  true,  false, F::Normal, kDefaultText, {}},
    {L"lstDNS",       K::HiddenList,   {},                        2655, 810,  600,  255, 24, false, false, F::Normal, kDefaultText, {}},
    {L"bt1",          K::KButton,      L"+",                      3255, 1710, 330,  330, 3,  true,  false, F::Normal, kDefaultText, L"Add DNS Server"},
    {L"bt2",          K::KButton,      L"-",                      3575, 1710, 330,  330, 4,  true,  false, F::Normal, kDefaultText, L"Delete Selected Item"},
    {L"chbCustom",    K::CheckBox,     L"Custom DNS Servers",     1800, 2160, 2085, 285, 5,  true,  false, F::Normal, kDefaultText, {}},
    {L"Label4",       K::Label,        L"Preferred DNS Server:",  135,  2655, 1860, 240, 22, true,  false, F::Normal, kDefaultText, {}},
    {L"IP1",          K::IPAddress,    {},                        1805, 2565, 2100, 375, 7,  true,  false, F::Normal, kDefaultText, {}},
    {L"Label5",       K::Label,        L"Alternate DNS Server:",  135,  3105, 1860, 240, 23, true,  false, F::Normal, kDefaultText, {}},
    {L"IP2",          K::IPAddress,    {},                        1805, 3015, 2100, 375, 8,  true,  false, F::Normal, kDefaultText, {}},
    {L"btApply",      K::KButton,      L"Apply DNS",              4005, 765,  1995, 600, 11, true,  false, F::Bold,   kRed, {}},
    {L"btDefaultDNS", K::KButton,      L"DNS Default",            4005, 1440, 1995, 600, 12, true,  false, F::Bold,   kRed, {}},
    {L"btFlush",      K::KButton,      L"Flush DNS",              4005, 2115, 1995, 600, 13, true,  false, F::Bold,   kRed, kFlushTip},
    {L"kButton24",    K::KButton,      L"About",                  4005, 2790, 960,  600, 14, true,  false, F::Normal, kGreen, {}},
    {L"kButton25",    K::KButton,      L"Close",                  5040, 2790, 960,  600, 15, true,  false, F::Normal, kGreen, {}},
    {L"kButton23",    K::KButton,      L"Refesh Network Adapter", 4005, 765,  1995, 600, 1,  false, false, F::Normal, kDefaultText, {}},
    {L"Picture1",     K::Panel,        {},                        90,   1440, 3795, 1095, 25, false, false, F::Normal, kDefaultText, {}},
    {L"Label6",       K::Label,        L"Add DNS Server",         45,   45,   3975, 285, 26, true,  true,  F::Bold,   kRed, {}},
    {L"Label7",       K::Label,        L"DNS Server Name:",       45,   405,  3975, 285, 27, true,  true,  F::Normal, kDefaultText, {}},
    {L"txName",       K::TextBox,      {},                        45,   675,  3765, 375, 6,  true,  true,  F::Bold,   kDefaultText, {}},
    {L"btADD",        K::KButton,      L"SAVE",                   1690, 0,    1050, 600, 9,  true,  true,  F::Normal, kDefaultText, {}},
    {L"btCANCEL",     K::KButton,      L"CANCEL",                 2760, 0,    1050, 600, 10, true,  true,  F::Normal, kDefaultText, {}},
    {L"Timer1",       K::Timer,        {},                        0,    0,    0,    0,   -1, false, false, F::Normal, kDefaultText, {}},
    {L"Timer2",       K::Timer,        {},                        0,    0,    0,    0,   -1, false, false, F::Normal, kDefaultText, {}},
}};
// clang-format on

} // namespace table

// The row of the named control, found while compiling: a name the table does not hold does
// not compile.
consteval const ControlRow& controlRow(std::wstring_view name) {
    for (const auto& c : table::kControls)
        if (c.name == name) return c;
    throw "no such control in the table";
}

// Font sizes in points for each style.
double fontPoints(FontStyle style);
} // namespace app
