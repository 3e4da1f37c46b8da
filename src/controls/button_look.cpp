#include "controls/button_look.h"

namespace ctl {

using Timer = ButtonReaction::Timer;

ButtonState ButtonLook::restingState() const noexcept {
    return m_HasFocus ? ButtonState::Defaulted : ButtonState::Normal;
}

ButtonReaction ButtonLook::resize() const {
    return {ButtonState::Normal};
}

ButtonReaction ButtonLook::show() const {
    return {ButtonState::Normal};
}

ButtonReaction ButtonLook::propertyChanged() const {
    return {ButtonState::Normal};
}

ButtonReaction ButtonLook::timerTick(bool over) const {
    if (over) return {};
    return {restingState(), Timer::Stop};
}

ButtonReaction ButtonLook::mouseMove(short button, bool over) const {
    if (button == kLeftButton) return {over ? ButtonState::Pressed : ButtonState::Hot};
    if (button == kRightButton) return {};
    return {ButtonState::Hot, Timer::Start};
}

ButtonReaction ButtonLook::mouseDown(short button) {
    m_LeftPressed = button == kLeftButton;
    if (!m_LeftPressed) return {};
    return {ButtonState::Pressed};
}

ButtonReaction ButtonLook::mouseUp() const {
    return {restingState()};
}

ButtonReaction ButtonLook::focusEnters() {
    m_HasFocus = true;
    if (m_LeftPressed) return {};
    return {ButtonState::Defaulted};
}

ButtonReaction ButtonLook::focusLeaves() {
    m_HasFocus = false;
    m_LeftPressed = false;
    spaceHeld_ = false; // the press is abandoned, as when the mouse is dragged off
    return {ButtonState::Normal};
}

ButtonReaction ButtonLook::keyDown(short keyCode) {
    if (keyCode == kKeyReturn) return {std::nullopt, Timer::Keep, true};
    if (keyCode != kKeySpace || spaceHeld_) return {}; // the key repeating
    spaceHeld_ = true;
    return {ButtonState::Pressed};
}

ButtonReaction ButtonLook::keyUp(short keyCode) {
    if (keyCode != kKeySpace || !spaceHeld_) return {};
    spaceHeld_ = false;
    return {restingState(), Timer::Keep, true};
}

ButtonState paintedState(ButtonState requested, bool enabled) noexcept {
    return enabled ? requested : ButtonState::Disabled;
}

std::uint32_t classicFrameFlags(ButtonState painted) noexcept {
    return painted == ButtonState::Pressed ? kFramePushed : kFrameButtonPush;
}

} // namespace ctl
