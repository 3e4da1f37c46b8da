#include "controls/button_look.h"
#include "controls/label_format.h"

#include <gtest/gtest.h>

namespace {

using ctl::ButtonLook;
using ctl::ButtonReaction;
using ctl::ButtonState;
using enum ctl::ButtonState;
using enum ButtonReaction::Timer;

constexpr ButtonReaction nothing{};
constexpr ButtonReaction paints(ButtonState state, ButtonReaction::Timer timer = Keep) {
    return {state, timer};
}

#define ON(call) [](ButtonLook& look) { return look.call; }

TEST(ButtonLook, EachEventAsksForTheLookOfItsSituation) {
    const struct {
        const char* situation;
        bool focus, leftPressed; // before the event
        ButtonReaction (*event)(ButtonLook&);
        ButtonReaction expected;
    } rows[] = {
        {"move, nothing held", false, false, ON(mouseMove(0, false)), paints(Hot, Start)},
        {"move over, left held", false, true, ON(mouseMove(1, true)), paints(Pressed)},
        {"move off, left held", false, true, ON(mouseMove(1, false)), paints(Hot)},
        {"move, right held", false, false, ON(mouseMove(2, true)), nothing},
        {"move, left and right held", false, false, ON(mouseMove(3, true)), paints(Hot, Start)},
        {"move, middle held", false, false, ON(mouseMove(4, false)), paints(Hot, Start)},
        {"left press", false, false, ON(mouseDown(1)), paints(Pressed)},
        {"right press", false, true, ON(mouseDown(2)), nothing},
        {"release", false, true, ON(mouseUp()), paints(Normal)},
        {"release with focus", true, true, ON(mouseUp()), paints(Defaulted)},
        {"tick, cursor over", true, false, ON(timerTick(true)), nothing},
        {"tick, cursor gone", false, false, ON(timerTick(false)), paints(Normal, Stop)},
        {"tick, cursor gone, focus", true, false, ON(timerTick(false)), paints(Defaulted, Stop)},
        {"resize with focus", true, false, ON(resize()), paints(Normal)},
        {"show with focus", true, false, ON(show()), paints(Normal)},
        {"property change with focus", true, false, ON(propertyChanged()), paints(Normal)},
        {"focus enters", false, false, ON(focusEnters()), paints(Defaulted)},
        {"focus enters with a left press", false, true, ON(focusEnters()), nothing},
        {"focus leaves", true, true, ON(focusLeaves()), paints(Normal)},
    };
    for (const auto& row : rows) {
        ButtonLook look;
        if (row.leftPressed) look.mouseDown(1);
        if (row.focus) look.focusEnters();
        EXPECT_EQ(row.event(look), row.expected) << row.situation;
    }
}

TEST(ButtonLook, LeftPressOutlivesTheReleaseNotAnotherPressOrTheFocus) {
    ButtonLook look;
    look.mouseDown(1);
    look.mouseUp();
    EXPECT_TRUE(look.leftPressed());
    look.mouseDown(2);
    EXPECT_FALSE(look.leftPressed());
    look.mouseDown(1);
    look.focusEnters();
    look.focusLeaves();
    EXPECT_FALSE(look.leftPressed());
    EXPECT_FALSE(look.hasFocus());
}

TEST(ButtonLook, SpaceAndEnterPressTheFocusedButtonOnce) {
    constexpr ButtonReaction click{std::nullopt, Keep, true};
    constexpr ButtonReaction release{Defaulted, Keep, true};
    ButtonLook look;
    look.focusEnters();
    EXPECT_EQ(look.keyDown(ctl::kKeySpace), paints(Pressed));
    EXPECT_EQ(look.keyDown(ctl::kKeySpace), nothing) << "repeat";
    EXPECT_EQ(look.keyUp(ctl::kKeySpace), release);
    EXPECT_EQ(look.keyUp(ctl::kKeySpace), nothing) << "a release without its press";
    EXPECT_EQ(look.keyDown(ctl::kKeyReturn), click);
    EXPECT_EQ(look.keyUp(ctl::kKeyReturn), nothing);
    EXPECT_EQ(look.keyDown('A'), nothing);

    look.keyDown(ctl::kKeySpace);
    look.focusLeaves();
    EXPECT_EQ(look.keyUp(ctl::kKeySpace), nothing) << "focus left while Space was held";
}

TEST(LabelFormat, AlignmentKeepsSixteenBitsAndSignExtends) {
    EXPECT_EQ(ctl::alignmentFromLong(-32768), std::int16_t{-32768});
    EXPECT_EQ(ctl::alignmentFromLong(32767), std::int16_t{32767});
    EXPECT_FALSE(ctl::alignmentFromLong(32768));
    EXPECT_FALSE(ctl::alignmentFromLong(-32769));
    EXPECT_EQ(ctl::labelTextFormat(1), 1u);
    EXPECT_EQ(ctl::labelTextFormat(-1), 0xFFFFFFFFu);
}

} // namespace
