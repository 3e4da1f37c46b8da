#include "app/appinfo.h"

#include <cwctype>

namespace app {

std::wstring applicationTitle() {
    return std::wstring(kProgramTitle) + L" - " + std::wstring(kMakerWeb);
}

std::wstring windowCaption() {
    std::wstring web(kMakerWeb);
    for (auto& ch : web)
        ch = static_cast<wchar_t>(std::towupper(ch));
    return std::wstring(kProgramTitle) + L" \u00a9 " + web;
}

} // namespace app
