// Which look the push button paints for each event, and the drawing flags of each look.
// The button keeps two flags (focus, last press with the left button); every event that
// changes the look asks for one whole repaint with a state number. Pure.
#pragma once

#include <cstdint>
#include <optional>

namespace ctl {

// The platform's push-button theme states (part BP_PUSHBUTTON of class "Button").
enum class ButtonState : int { Normal = 1, Hot = 2, Pressed = 3, Disabled = 4, Defaulted = 5 };

// Caption format: centred on one line, clipped, ampersand mnemonics, no tab expansion.
constexpr std::uint32_t kButtonTextFormat = 0x1A5;
// Classic frame (DrawFrameControl, DFC_BUTTON) when no theme draws the button.
constexpr std::uint32_t kFrameButtonPush = 0x10;
constexpr std::uint32_t kFramePushed = 0x210;

// Mouse button bits as the events report them.
constexpr short kLeftButton = 1;
constexpr short kRightButton = 2;
// Key codes that press a focused button.
constexpr short kKeyReturn = 13;
constexpr short kKeySpace = 32;

// What one event asks of the button: a repaint, what becomes of the hover timer, and whether
// the button was pressed (Click).
struct ButtonReaction {
    enum class Timer { Keep, Start, Stop };
    std::optional<ButtonState> paint;
    Timer timer = Timer::Keep;
    bool click = false;

    bool operator==(const ButtonReaction&) const = default;
};

class ButtonLook {
  public:
    bool hasFocus() const noexcept { return m_HasFocus; }
    bool leftPressed() const noexcept { return m_LeftPressed; }

    ButtonReaction resize() const;
    ButtonReaction show() const;
    ButtonReaction propertyChanged() const;
    // `over`: the cursor is over the button's own window.
    ButtonReaction timerTick(bool over) const;
    ButtonReaction mouseMove(short button, bool over) const;
    ButtonReaction mouseDown(short button);
    ButtonReaction mouseUp() const;
    ButtonReaction focusEnters();
    ButtonReaction focusLeaves();
    // Keys reach the button only while it has the focus. Space held shows it pressed and its
    // release clicks, as with a push button; Enter clicks at once.
    ButtonReaction keyDown(short keyCode);
    ButtonReaction keyUp(short keyCode);

  private:
    ButtonState restingState() const noexcept;

    bool m_HasFocus = false;
    bool m_LeftPressed = false;
    bool spaceHeld_ = false;
};

// The state actually painted: a disabled button shows the disabled look whatever was asked.
ButtonState paintedState(ButtonState requested, bool enabled) noexcept;
// DrawFrameControl flags of the classic look for a painted state.
std::uint32_t classicFrameFlags(ButtonState painted) noexcept;

} // namespace ctl
