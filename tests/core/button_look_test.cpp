#include "controls/button_look.h"
#include "controls/label_format.h"

#include <gtest/gtest.h>

namespace {

using ctl::ButtonLook;
using ctl::ButtonReaction;
using ctl::ButtonState;
using Timer = ButtonReaction::Timer;

ButtonReaction paints(ButtonState state, Timer timer = Timer::Keep) {
    return {state, timer};
}
const ButtonReaction nothing{};

TEST(ButtonLook, MouseMovePaintsByButtonsHeldAndCursorPosition) {
    const ButtonLook look;
    EXPECT_EQ(look.mouseMove(0, false), paints(ButtonState::Hot, Timer::Start));
    EXPECT_EQ(look.mouseMove(1, true), paints(ButtonState::Pressed));
    EXPECT_EQ(look.mouseMove(1, false), paints(ButtonState::Hot));
    EXPECT_EQ(look.mouseMove(2, true), nothing);
    EXPECT_EQ(look.mouseMove(3, true), paints(ButtonState::Hot, Timer::Start));
    EXPECT_EQ(look.mouseMove(4, false), paints(ButtonState::Hot, Timer::Start));
}

TEST(ButtonLook, LeftPressPaintsPressedOtherButtonsClearTheLeftPress) {
    ButtonLook look;
    EXPECT_EQ(look.mouseDown(1), paints(ButtonState::Pressed));
    EXPECT_TRUE(look.leftPressed());
    EXPECT_EQ(look.mouseUp(), paints(ButtonState::Normal));
    EXPECT_TRUE(look.leftPressed()); // a release does not clear it
    EXPECT_EQ(look.mouseDown(2), nothing);
    EXPECT_FALSE(look.leftPressed());
}

TEST(ButtonLook, RestingLookFollowsTheFocus) {
    ButtonLook look;
    EXPECT_EQ(look.focusEnters(), paints(ButtonState::Defaulted));
    EXPECT_EQ(look.mouseUp(), paints(ButtonState::Defaulted));
    EXPECT_EQ(look.timerTick(false), paints(ButtonState::Defaulted, Timer::Stop));
    EXPECT_EQ(look.timerTick(true), nothing);
    // Resize, Show and property changes paint Normal even with the focus.
    EXPECT_EQ(look.resize(), paints(ButtonState::Normal));
    EXPECT_EQ(look.show(), paints(ButtonState::Normal));
    EXPECT_EQ(look.propertyChanged(), paints(ButtonState::Normal));
    EXPECT_EQ(look.focusLeaves(), paints(ButtonState::Normal));
    EXPECT_EQ(look.timerTick(false), paints(ButtonState::Normal, Timer::Stop));
}

TEST(ButtonLook, FocusArrivingWithALeftPressKeepsThePressedLook) {
    ButtonLook look;
    look.mouseDown(1);
    EXPECT_EQ(look.focusEnters(), nothing);
    EXPECT_TRUE(look.hasFocus());
    look.focusLeaves();
    EXPECT_FALSE(look.leftPressed());
}

TEST(ButtonLook, DisabledPaintsDisabledWhateverWasAsked) {
    for (int s = 1; s <= 5; ++s) {
        const auto asked = static_cast<ButtonState>(s);
        EXPECT_EQ(ctl::paintedState(asked, false), ButtonState::Disabled);
        EXPECT_EQ(ctl::paintedState(asked, true), asked);
    }
}

TEST(ButtonLook, ClassicFrameIsPushedOnlyWhenPressed) {
    EXPECT_EQ(ctl::classicFrameFlags(ButtonState::Pressed), 0x210u);
    for (auto s :
         {ButtonState::Normal, ButtonState::Hot, ButtonState::Disabled, ButtonState::Defaulted})
        EXPECT_EQ(ctl::classicFrameFlags(s), 0x10u);
    // Centred, vertically centred, one line, tab stop with a tab length of 1.
    EXPECT_EQ(ctl::kButtonTextFormat, 0x1u | 0x4u | 0x20u | 0x80u | (1u << 8));
}

TEST(LabelFormat, AlignmentKeepsSixteenBitsAndSignExtends) {
    EXPECT_EQ(ctl::alignmentFromLong(2), std::int16_t{2});
    EXPECT_EQ(ctl::alignmentFromLong(-32768), std::int16_t{-32768});
    EXPECT_EQ(ctl::alignmentFromLong(32767), std::int16_t{32767});
    EXPECT_FALSE(ctl::alignmentFromLong(32768));
    EXPECT_FALSE(ctl::alignmentFromLong(-32769));
    EXPECT_EQ(ctl::labelTextFormat(1), 1u);
    EXPECT_EQ(ctl::labelTextFormat(-1), 0xFFFFFFFFu);
}

} // namespace
