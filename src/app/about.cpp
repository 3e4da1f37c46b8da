#include "app/about.h"

#include "app/appinfo.h"
#include "toolkit/decimal.h"

#include <string_view>

namespace app {

namespace {

// The personal lines of the box. Placeholders: the program has no named author.
constexpr std::wstring_view kAuthorName = L"Nho1m pha1t trie63n Keldrast"; // "Nhóm phát triển"
constexpr std::wstring_view kAuthorPhone = L"(+00) 000 000 000";
constexpr std::wstring_view kRightsLine = L"Ba3n quye62n (C) Keldrast"; // "Bản quyền"

constexpr std::wstring_view kLineEnd = L"\r\n";

} // namespace

std::wstring aboutText() {
    std::wstring text;
    const auto line = [&text](std::wstring_view a, std::wstring_view b = {}) {
        text.append(a).append(b).append(kLineEnd);
    };
    line(L"Tie65n i1ch: ", kProgramTitle);
    line(L"Phie6n ba3n: ", tk::decimal(kVersionMajor) + L"." + tk::decimal(kVersionMinor));
    line(L"Chu71c na8ng: Thay d9o63i nhanh DNS...");
    line({});
    line({});
    line(L"Ta1c gia3: ", kAuthorName);
    line(L"Email: ", kMakerMail);
    line(L"Website: ", kMakerWeb);
    line(L"Fone: ", kAuthorPhone);
    line({});
    line({});
    line(kRightsLine);
    return text;
}

std::wstring aboutTitle() {
    return std::wstring(L"Tho6ng tin ve62 ").append(kProgramTitle).append(L"!");
}

std::wstring circleNoticeText() {
    return L"^^! To stop... move cursor to Top-Left... ^^!\r\n\r\n"
           L"^^! D9e63 du72ng... di chuye63n con tro3 chuo65t to71i go1c tre6n, be6n tra1i... ^^!"
           L"\r\n\r\n^^! ^^! ^^!";
}

std::wstring circleNoticeTitle() {
    return L"Tho6ng ba1o!";
}

std::wstring noticeLineText() {
    // "Đổi DNS nhanh chóng, an toàn và dễ dàng!"
    return L"\u0110\u1ed5i DNS nhanh ch\u00f3ng, an to\u00e0n v\u00e0 d\u1ec5 d\u00e0ng!";
}

} // namespace app
