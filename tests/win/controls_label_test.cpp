#include "control_host.h"
#include "controls/kButton.h"
#include "controls/kLabel.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace testhost;

TEST(kLabel, NewCaptionShowsOnlyAtTheNextResizeShowOrAlignment) {
    Host host;
    kLabel label;
    ASSERT_TRUE(label.create(host.hwnd, RECT{10, 10, 310, 40}));
    EXPECT_EQ(label.lastDrawnCaption(), L"UniLabel");
    label.Caption(L"Second");
    label.ForeColor(0x0000C0);
    label.BackColor(0xFFFFFF);
    EXPECT_EQ(label.lastDrawnCaption(), L"UniLabel");
    EXPECT_TRUE(label.Alignment(2));
    EXPECT_EQ(label.lastDrawnCaption(), L"Second");
    label.Caption(L"Third");
    label.move(RECT{10, 10, 320, 40});
    EXPECT_EQ(label.lastDrawnCaption(), L"Third");
    label.Caption(L"Fourth");
    label.setVisible(false);
    label.setVisible(true);
    EXPECT_EQ(label.lastDrawnCaption(), L"Fourth");

    // An alignment beyond 16 bits is refused: nothing changes or is drawn.
    const int draws = label.drawCount();
    EXPECT_FALSE(label.Alignment(40000));
    EXPECT_FALSE(label.Alignment(-32769));
    EXPECT_EQ(label.Alignment(), 2);
    EXPECT_EQ(label.drawCount(), draws);
}

TEST(ControlCaptions, AnyContentDrawsAndReadsBack) {
    Host host;
    kButton button;
    kLabel label;
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
        EXPECT_EQ(label.lastDrawnCaption(), caption);
    }
    pump();
}

} // namespace
