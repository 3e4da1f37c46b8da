#include "vietnamese/vni.h"

#include <gtest/gtest.h>

#include <random>

namespace {

struct Case {
    const wchar_t* vni;
    const wchar_t* unicode;
};

TEST(VniToUnicode, ConvertsTheProgramsOwnTexts) {
    const Case cases[] = {
        {L"Tho6ng ba1o!", L"Th\u00f4ng b\u00e1o!"},
        {L"Tie65n i1ch: ", L"Ti\u1ec7n \u00edch: "},
        {L"Phie6n ba3n: ", L"Phi\u00ean b\u1ea3n: "},
        {L"Chu71c na8ng: Thay d9o63i nhanh DNS...",
         L"Ch\u1ee9c n\u0103ng: Thay \u0111\u1ed5i nhanh DNS..."},
        {L"Tho6ng tin ve62 ", L"Th\u00f4ng tin v\u1ec1 "},
        {L"^^! D9e63 du72ng... di chuye63n con tro3 chuo65t to71i go1c tre6n, be6n tra1i... ^^!",
         L"^^! \u0110\u1ec3 d\u1eebng... di chuy\u1ec3n con tr\u1ecf chu\u1ed9t t\u1edbi g\u00f3c "
         L"tr\u00ean, b\u00ean tr\u00e1i... ^^!"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(vniToUnicode(c.vni), c.unicode) << c.vni;
}

TEST(VniToUnicode, LeavesTextWithoutPairsUnchanged) {
    for (const wchar_t* text :
         {L"", L"a", L"7", L"8.8.8.8", L"DNS 10", L"Level3 (1)", L"1a", L"toan1", L"123456789",
          L"^^! To stop... move cursor to Top-Left... ^^!", L"b1c2d3 x6 z9"}) {
        EXPECT_EQ(vniToUnicode(text), text) << text;
    }
}

TEST(VniToUnicode, OnlyTheCharacterRightBeforeTheDigitCountsAndIndexNeverMovesBack) {
    const Case cases[] = {
        {L"A1", L"\u00c1"},         {L"a16", L"\u00e16"},  // tone before shape: not seen
        {L"a11", L"\u00e11"},       {L"e611", L"\u1ebf1"}, // toned letters take no mark
        {L"d99", L"\u01119"},       {L"a1a1", L"\u00e1\u00e1"},
        {L"u7o7", L"\u01b0\u01a1"}, {L"e65", L"\u1ec7"}, // second pass adds the tone
        {L"O75", L"\u1ee2"},        {L"A85", L"\u1eb6"},
        {L"a\uff11", L"a\uff11"}, // only ASCII digits are marks
    };
    for (const auto& c : cases)
        EXPECT_EQ(vniToUnicode(c.vni), c.unicode) << c.vni;
}

TEST(VniToUnicode, CoversEveryEntryOfTheTable) {
    // 24 letters take the five tones, 14 letter-digit pairs take a shape: 134 in all.
    const std::wstring letters = L"aA\u0103\u0102\u00e2\u00c2eE\u00ea\u00caiIoO\u00f4\u00d4"
                                 L"\u01a1\u01a0uU\u01b0\u01afyY";
    int hits = 0;
    for (wchar_t letter = 1; letter < 0x2000; ++letter)
        for (wchar_t mark = L'0'; mark <= L'9'; ++mark)
            if (auto c = vniCombine(letter, mark)) {
                ++hits;
                EXPECT_EQ(vniToUnicode(std::wstring{letter, mark}), std::wstring(1, *c));
                if (mark <= L'5') {
                    for (wchar_t next = L'1'; next <= L'9'; ++next)
                        EXPECT_FALSE(vniCombine(*c, next)) << "a toned letter never takes a mark";
                }
            }
    EXPECT_EQ(hits, 134);
    EXPECT_EQ(*vniCombine(L'y', L'3'), wchar_t(0x1EF7));
    EXPECT_EQ(*vniCombine(L'\u01af', L'5'), wchar_t(0x1EF0));
    EXPECT_EQ(*vniCombine(L'D', L'9'), wchar_t(0x0110));
}

// The conversion as a literal index loop over a shrinking text, used as an oracle.
std::wstring literalPass(std::wstring t) {
    const std::size_t n = t.size();
    for (std::size_t i = 2; i <= n; ++i) {
        if (i > t.size()) continue;
        if (auto c = vniCombine(t[i - 2], t[i - 1])) t = t.substr(0, i - 2) + *c + t.substr(i);
    }
    return t;
}

TEST(VniToUnicode, MatchesTheLiteralIndexLoopOnRandomTexts) {
    const std::wstring alphabet = L"aAeEoOuUdDiy\u0103\u00e2\u01b0 .0123456789";
    std::mt19937 rng(12345);
    for (int round = 0; round < 3000; ++round) {
        std::wstring text(rng() % 12, L' ');
        for (auto& ch : text)
            ch = alphabet[rng() % alphabet.size()];
        EXPECT_EQ(vniToUnicode(text), literalPass(literalPass(text))) << text;
    }
}

TEST(VniToUnicode, HandlesLongTextsAndSurrogatesWithoutReadingPastTheEnd) {
    std::wstring longText(32767, L'a');
    for (std::size_t i = 1; i < longText.size(); i += 2)
        longText[i] = L'1';
    const auto converted = vniToUnicode(longText);
    EXPECT_EQ(converted.size(), 16383u + 1u);
    EXPECT_EQ(converted.back(), L'a');

    std::wstring surrogates{wchar_t(0xD83D), wchar_t(0xDE00), L'1', L'a', L'1', wchar_t(0xD83D)};
    EXPECT_EQ(vniToUnicode(surrogates), (std::wstring{wchar_t(0xD83D), wchar_t(0xDE00), L'1',
                                                      wchar_t(0xE1), wchar_t(0xD83D)}));
    EXPECT_EQ(vniToUnicode(std::wstring(40000, L'9')), std::wstring(40000, L'9'));
}

} // namespace
