#include "app/about.h"
#include "vietnamese/vni.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::wstring> linesOf(const std::wstring& text) {
    std::vector<std::wstring> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find(L"\r\n", start)) != std::wstring::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    EXPECT_EQ(start, text.size()) << "text does not end with CR LF";
    return lines;
}

TEST(AboutBox, TwelveLinesInVniNotationShownWithTheProgramAndMaker) {
    const auto lines = linesOf(vniToUnicode(app::aboutText()));
    ASSERT_EQ(lines.size(), 12u);
    EXPECT_EQ(lines[0], L"Ti\u1ec7n \u00edch: Keldrast");
    EXPECT_EQ(lines[1], L"Phi\u00ean b\u1ea3n: 1.0");
    EXPECT_EQ(lines[2], L"Ch\u1ee9c n\u0103ng: Thay \u0111\u1ed5i nhanh DNS...");
    EXPECT_EQ(lines[3], L"");
    EXPECT_EQ(lines[4], L"");
    EXPECT_EQ(lines[5].rfind(L"T\u00e1c gi\u1ea3: ", 0), 0u) << lines[5];
    EXPECT_GT(lines[5].size(), 9u);
    EXPECT_EQ(lines[6], L"Email: hi@keldrast.example");
    EXPECT_EQ(lines[7], L"Website: www.keldrast.example");
    EXPECT_EQ(lines[8].rfind(L"Fone: ", 0), 0u) << lines[8];
    EXPECT_EQ(lines[9], L"");
    EXPECT_EQ(lines[10], L"");
    EXPECT_FALSE(lines[11].empty());
    // The stored text is the VNI form.
    EXPECT_EQ(linesOf(app::aboutText())[0], L"Tie65n i1ch: Keldrast");
}

TEST(AboutBox, TitlesAndNoticeAreTheProgramsVniTexts) {
    EXPECT_EQ(app::aboutTitle(), L"Tho6ng tin ve62 Keldrast!");
    EXPECT_EQ(vniToUnicode(app::aboutTitle()), L"Th\u00f4ng tin v\u1ec1 Keldrast!");
    EXPECT_EQ(app::circleNoticeTitle(), L"Tho6ng ba1o!");
    EXPECT_EQ(vniToUnicode(app::circleNoticeTitle()), L"Th\u00f4ng b\u00e1o!");
    EXPECT_EQ(vniToUnicode(app::circleNoticeText()),
              L"^^! To stop... move cursor to Top-Left... ^^!\r\n\r\n"
              L"^^! \u0110\u1ec3 d\u1eebng... di chuy\u1ec3n con tr\u1ecf chu\u1ed9t t\u1edbi "
              L"g\u00f3c tr\u00ean, b\u00ean tr\u00e1i... ^^!\r\n\r\n^^! ^^! ^^!");
}

TEST(AboutBox, NoticeLineHoldsLettersOutsideTheAnsiCodePage) {
    const std::wstring line = app::noticeLineText();
    ASSERT_FALSE(line.empty());
    EXPECT_NE(line.find(L'\u0110'), std::wstring::npos); // Đ
    EXPECT_EQ(vniToUnicode(line), line);                 // already Unicode, nothing to convert
}

} // namespace
