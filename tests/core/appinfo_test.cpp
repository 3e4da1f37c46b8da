#include "app/appinfo.h"

#include <gtest/gtest.h>

TEST(AppInfo, CaptionAndTitleDiffer) {
    EXPECT_EQ(app::windowCaption(), L"Keldrast \u00a9 WWW.KELDRAST.EXAMPLE");
    EXPECT_EQ(app::applicationTitle(), L"Keldrast - www.keldrast.example");
}
