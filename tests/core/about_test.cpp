#include "app/about.h"
#include "vietnamese/vni.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

// A '*' at the end of an expected text stands for any non-empty rest (the personal lines).
bool matches(const std::wstring& shown, const std::wstring& expected) {
    if (expected.empty() || expected.back() != L'*') return shown == expected;
    const std::size_t head = expected.size() - 1;
    return shown.size() > head && shown.compare(0, head, expected, 0, head) == 0;
}

TEST(AboutBox, TextsReadAsVietnameseAfterVniConversion) {
    EXPECT_EQ(app::aboutTitle(), L"Tho6ng tin ve62 Keldrast!"); // kept in VNI notation
    std::vector<std::wstring> shown = {
        vniToUnicode(app::aboutTitle()), vniToUnicode(app::circleNoticeTitle()),
        vniToUnicode(app::circleNoticeText()), app::noticeLineText()};
    // The box text: twelve lines, each ended by CR LF.
    const std::wstring about = vniToUnicode(app::aboutText());
    for (std::size_t start = 0, end; start < about.size(); start = end + 2) {
        end = std::min(about.find(L"\r\n", start), about.size());
        shown.push_back(about.substr(start, end - start));
    }
    const std::vector<std::wstring> expected = {
        L"Th\u00f4ng tin v\u1ec1 Keldrast!",
        L"Th\u00f4ng b\u00e1o!",
        L"^^! To stop... move cursor to Top-Left... ^^!\r\n\r\n^^! \u0110\u1ec3 d\u1eebng... di "
        L"chuy\u1ec3n con tr\u1ecf chu\u1ed9t t\u1edbi g\u00f3c tr\u00ean, b\u00ean tr\u00e1i... "
        L"^^!\r\n\r\n^^! ^^! ^^!",
        L"\u0110*", // the notice line is already Unicode, with letters outside the ANSI code page
        L"Ti\u1ec7n \u00edch: Keldrast",
        L"Phi\u00ean b\u1ea3n: 1.0",
        L"Ch\u1ee9c n\u0103ng: Thay \u0111\u1ed5i nhanh DNS...",
        L"",
        L"",
        L"T\u00e1c gi\u1ea3: *",
        L"Email: hi@keldrast.example",
        L"Website: www.keldrast.example",
        L"Fone: *",
        L"",
        L"",
        L"*"};
    ASSERT_EQ(shown.size(), expected.size());
    for (std::size_t i = 0; i < shown.size(); ++i)
        EXPECT_TRUE(matches(shown[i], expected[i])) << i << ": " << shown[i];
    EXPECT_EQ(about.substr(about.size() - 2), L"\r\n");
}

} // namespace
