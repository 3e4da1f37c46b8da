#include "app/layout.h"

#include <gtest/gtest.h>

#include <set>

TEST(Layout, EveryShownControlFitsItsContainerAndTabIndexesAreUnique) {
    const auto& panel = app::controlRow(L"Picture1");
    std::set<int> tabs;
    for (const auto& c : app::table::kControls) {
        if (c.kind == app::ControlKind::Timer) continue;
        EXPECT_TRUE(tabs.insert(c.tabIndex).second) << "tab index used twice";
        if (c.kind == app::ControlKind::HiddenList) continue;
        // The client area is 6090 x 3480 twips; the panel clips its children's right edges.
        const std::string name(c.name.begin(), c.name.end());
        if (c.inPanel) {
            EXPECT_LE(c.top + c.height, panel.height) << name;
        } else {
            EXPECT_LE(c.left + c.width, 6090) << name;
            EXPECT_LE(c.top + c.height, 3480) << name;
        }
    }
}
