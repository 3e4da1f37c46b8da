// Colour values of the controls: 32 bits, either an RGB value (red in the low byte) or, with
// the high bit set, an index into the system colours. Pure; the Win32 lookup is in colour_win.h.
#pragma once

#include <cstdint>
#include <functional>

namespace tk {

constexpr std::uint32_t kSystemColourFlag = 0x80000000u;
constexpr std::uint32_t kColourButtonFace = 0x8000000Fu;
constexpr std::uint32_t kColourButtonShadow = 0x80000010u;
constexpr std::uint32_t kColourButtonText = 0x80000012u;

// The highest system colour index the platform defines (the menu bar).
constexpr int kLastSystemColourIndex = 30;

constexpr bool isSystemColour(std::uint32_t colour) noexcept {
    return (colour & kSystemColourFlag) != 0;
}

// RGB values use only the low three bytes; system colours only a known index in the low byte.
bool isValidColour(std::uint32_t colour) noexcept;

// The plain RGB value (0x00BBGGRR) a colour value stands for. `systemColour` answers a
// system colour index with its current RGB value. An invalid value gives black.
std::uint32_t resolveColour(std::uint32_t colour,
                            const std::function<std::uint32_t(int index)>& systemColour);

} // namespace tk
