#include "control_host.h"
#include "controls/kButton.h"
#include "controls/kLabel.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace testhost;

// The captions a label drew, heard through the Painted seam.
struct Drawn {
    explicit Drawn(const kLabel& watched) : label(watched) {}
    const kLabel& label;
    std::vector<std::wstring> captions;
    ScopedPainted listen{[this](const ControlSurface& control, int) {
        if (&control == &label) captions.push_back(label.Caption());
    }};
    std::wstring last() const { return captions.empty() ? std::wstring() : captions.back(); }
};

TEST(kLabel, NewCaptionShowsOnlyAtTheNextResizeShowOrAlignment) {
    Host host;
    kLabel label;
    Drawn drawn{label};
    ASSERT_TRUE(label.create(host.hwnd, RECT{10, 10, 310, 40}));
    EXPECT_EQ(drawn.last(), L"UniLabel");
    label.Caption(L"Second");
    label.ForeColor(0x0000C0);
    label.BackColor(0xFFFFFF);
    EXPECT_EQ(drawn.last(), L"UniLabel");
    EXPECT_TRUE(label.Alignment(2));
    EXPECT_EQ(drawn.last(), L"Second");
    label.Caption(L"Third");
    label.move(RECT{10, 10, 320, 40});
    EXPECT_EQ(drawn.last(), L"Third");
    label.Caption(L"Fourth");
    label.setVisible(false);
    label.setVisible(true);
    EXPECT_EQ(drawn.last(), L"Fourth");

    // An alignment beyond 16 bits is refused: nothing changes or is drawn.
    const auto draws = drawn.captions.size();
    EXPECT_FALSE(label.Alignment(40000));
    EXPECT_FALSE(label.Alignment(-32769));
    EXPECT_EQ(label.Alignment(), 2);
    EXPECT_EQ(drawn.captions.size(), draws);
}

TEST(kLabel, ShowsTheFocusAndSpaceOrEnterClicksIt) {
    Host host;
    kLabel label, other;
    ASSERT_TRUE(label.create(host.hwnd, RECT{10, 10, 310, 40}));
    ASSERT_TRUE(other.create(host.hwnd, RECT{10, 50, 310, 80}));
    int clicks = 0;
    label.Click = [&] { ++clicks; };
    SetFocus(other.hwnd());
    pump(100);
    const RECT area = screenRect(label.hwnd());
    const auto unfocused = screenPixels(area);
    SetFocus(label.hwnd());
    pump(100);
    EXPECT_TRUE(screenPixels(area) != unfocused) << "the focus shows";
    keys({VK_SPACE});
    EXPECT_EQ(clicks, 1);
    keys({VK_RETURN});
    EXPECT_EQ(clicks, 2);
    SetFocus(other.hwnd());
    pump(100);
    EXPECT_TRUE(screenPixels(area) == unfocused);
}

TEST(ControlCaptions, AnyContentDrawsAndReadsBack) {
    Host host;
    kButton button;
    kLabel label;
    Drawn drawn{label};
    ASSERT_TRUE(button.create(host.hwnd, RECT{10, 10, 150, 50}));
    ASSERT_TRUE(label.create(host.hwnd, RECT{10, 60, 150, 80}));
    for (const std::wstring& caption : std::vector<std::wstring>{
             L"", std::wstring(20000, L'W'), L"a\tb\tc", L"line one\r\nline two\nthree", L"&&",
             L"&", L"Save && &Exit", L"\U0001F600 \U00020000 ti\u1EBFng Vi\u1EC7t",
             std::wstring(L"nul\0inside", 10)}) {
        button.Caption(caption);
        button.Enabled(false);
        button.Enabled(true);
        label.Caption(caption);
        label.Alignment(1);
        EXPECT_EQ(button.Caption(), caption);
        EXPECT_EQ(drawn.last(), caption);
    }
    pump();
}

} // namespace
