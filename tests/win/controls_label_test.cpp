#include "control_host.h"
#include "controls/kLabel.h"
#include "toolkit/colour_win.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace testhost;

// Leftmost and rightmost columns holding anything but the background, or {-1, -1}.
std::pair<int, int> inkColumns(const kLabel& label) {
    const COLORREF background = tk::toColorRef(label.BackColor());
    int first = -1;
    int last = -1;
    for (int x = 0; x < label.scaleWidth(); ++x)
        for (int y = 0; y < label.scaleHeight(); ++y)
            if (GetPixel(label.imageDc(), x, y) != background) {
                if (first < 0) first = x;
                last = x;
                break;
            }
    return {first, last};
}

struct LabelFixture : ::testing::Test {
    Host host;
    kLabel label;
    void SetUp() override {
        ASSERT_TRUE(label.create(host.hwnd(), RECT{10, 10, 310, 40}));
        label.ForeColor(0x800080); // RGB(128, 0, 128)
    }
};

TEST_F(LabelFixture, NewCaptionShowsOnlyAtTheNextResizeShowOrAlignment) {
    EXPECT_EQ(label.lastDrawnCaption(), L"UniLabel");
    std::vector<std::wstring> changed;
    label.PropertyChanged = [&](const std::wstring& name) { changed.push_back(name); };

    label.Caption(L"Second");
    EXPECT_EQ(label.lastDrawnCaption(), L"UniLabel");
    wchar_t text[32]{};
    GetWindowTextW(label.hwnd(), text, 32);
    EXPECT_STREQ(text, L"Second");
    label.ForeColor(0x0000C0);
    label.BackColor(0xFFFFFF);
    EXPECT_EQ(label.lastDrawnCaption(), L"UniLabel");

    EXPECT_TRUE(label.Alignment(0));
    EXPECT_EQ(label.lastDrawnCaption(), L"Second");

    label.Caption(L"Third");
    label.move(RECT{10, 10, 320, 40});
    EXPECT_EQ(label.lastDrawnCaption(), L"Third");

    label.Caption(L"Fourth");
    label.setVisible(false);
    label.setVisible(true);
    EXPECT_EQ(label.lastDrawnCaption(), L"Fourth");
    EXPECT_EQ(changed, (std::vector<std::wstring>{L"Caption", L"ForeColor", L"BackColor",
                                                  L"Alignment", L"Caption", L"Caption"}));
}

TEST_F(LabelFixture, AlignmentPlacesTheTextAndOverflowIsRefused) {
    label.Caption(L"Keldrast");
    label.Alignment(0);
    const auto left = inkColumns(label);
    label.Alignment(1);
    const auto centred = inkColumns(label);
    label.Alignment(2);
    const auto right = inkColumns(label);
    ASSERT_GE(left.first, 0);
    EXPECT_LT(left.first, 3);
    EXPECT_NEAR(centred.first, label.scaleWidth() - 1 - centred.second, 3);
    EXPECT_GT(right.second, label.scaleWidth() - 4);

    const int draws = label.drawCount();
    EXPECT_FALSE(label.Alignment(40000));
    EXPECT_FALSE(label.Alignment(-32769));
    EXPECT_EQ(label.Alignment(), 2);
    EXPECT_EQ(label.drawCount(), draws);
}

TEST_F(LabelFixture, LineBreaksMakeLinesLongTextIsClipped) {
    const COLORREF background = tk::toColorRef(label.BackColor());
    label.move(RECT{10, 10, 310, 60});
    label.Caption(L"one\ntwo");
    label.Alignment(0);
    auto rowsWithInk = [&] {
        int rows = 0;
        bool inRun = false;
        for (int y = 0; y < label.scaleHeight(); ++y) {
            bool any = false;
            for (int x = 0; x < label.scaleWidth() && !any; ++x)
                any = GetPixel(label.imageDc(), x, y) != background;
            if (any && !inRun) ++rows;
            inRun = any;
        }
        return rows;
    };
    EXPECT_EQ(rowsWithInk(), 2);
    label.Caption(std::wstring(400, L'W'));
    label.Alignment(0);
    EXPECT_EQ(rowsWithInk(), 1);

    label.Caption(L"");
    label.Alignment(1);
    EXPECT_EQ(inkColumns(label).first, -1);
}

TEST_F(LabelFixture, RaisesItsEventsAndNoneWhileDisabled) {
    int clicks = 0;
    int dblClicks = 0;
    int downs = 0;
    label.Click = [&] { ++clicks; };
    label.DblClick = [&] { ++dblClicks; };
    label.MouseDown = [&](short&, short&, float&, float&) { ++downs; };
    moveTo(screenPoint(label.hwnd()));
    leftDown();
    leftUp();
    EXPECT_EQ(clicks, 1);
    leftDown();
    leftUp();
    EXPECT_EQ(dblClicks, 1);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(downs, 1);

    label.Enabled(false);
    pump(600); // beyond the double-click time
    click(screenPoint(label.hwnd()));
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(downs, 1);
}

TEST_F(LabelFixture, BackStyleAndBorderStyle) {
    label.BackColor(0x00FFFF); // yellow
    label.Alignment(0);
    EXPECT_EQ(GetPixel(label.imageDc(), label.scaleWidth() - 2, 2), RGB(255, 255, 0));
    EXPECT_TRUE(label.BackStyle(0));
    label.Alignment(0);
    EXPECT_EQ(GetPixel(label.imageDc(), label.scaleWidth() - 2, 2), GetSysColor(COLOR_BTNFACE));
    EXPECT_FALSE(label.BackStyle(2));

    const int width = label.scaleWidth();
    EXPECT_TRUE(label.BorderStyle(1));
    EXPECT_TRUE(GetWindowLongW(label.hwnd(), GWL_STYLE) & WS_BORDER);
    EXPECT_EQ(label.scaleWidth(), width - 2);
    EXPECT_FALSE(label.BorderStyle(3));
}

TEST(kLabelProperties, NewAndStoredInstances) {
    Host host;
    kLabel placed;
    ASSERT_TRUE(placed.create(host.hwnd(), RECT{0, 0, 100, 20}));
    EXPECT_EQ(placed.Caption(), L"UniLabel");
    EXPECT_EQ(placed.Alignment(), 0);
    EXPECT_EQ(placed.BackStyle(), 1);
    EXPECT_EQ(placed.BackColor(), 0x8000000Fu);

    placed.Caption(L"ti\u1EBFng Vi\u1EC7t");
    placed.Alignment(1);
    placed.BorderStyle(1);
    ctl::PropertyBag bag;
    placed.saveProperties(bag);
    EXPECT_EQ(bag.names(), (std::vector<std::wstring>{L"alignment", L"borderstyle", L"caption"}));

    kLabel stored;
    ControlSurface::Placement p;
    p.stored = &bag;
    ASSERT_TRUE(stored.create(host.hwnd(), RECT{0, 30, 100, 50}, p));
    EXPECT_EQ(stored.Caption(), L"ti\u1EBFng Vi\u1EC7t");
    EXPECT_EQ(stored.Alignment(), 1);
    EXPECT_EQ(stored.BorderStyle(), 1);
    EXPECT_EQ(stored.lastDrawnCaption(), L"ti\u1EBFng Vi\u1EC7t");
}

} // namespace
