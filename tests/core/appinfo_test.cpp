#include "app/appinfo.h"

#include <gtest/gtest.h>

// The window caption is checked on the open main window.
TEST(AppInfo, MessageTitleNamesTheProgramAndItsSite) {
    EXPECT_EQ(app::applicationTitle(), L"Keldrast - www.keldrast.example");
}
