// The main window's controls as data: kind, caption, tool tip, place in twips, tab index,
// whether shown at start, font and text colour. The window builds itself from this table.
#pragma once

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

std::span<const ControlRow> mainWindowControls();
// The entry of the named control; the table holds every name the window uses.
const ControlRow& controlRow(std::wstring_view name);

// Font sizes in points for each style.
double fontPoints(FontStyle style);
} // namespace app
