#include "toolkit/text.h"

#include <windows.h>

#include <climits>

namespace tk {

std::string toAnsi(std::wstring_view text) {
    if (text.empty() || text.size() > INT_MAX) return {};
    const int n = static_cast<int>(text.size());
    const int bytes = WideCharToMultiByte(CP_ACP, 0, text.data(), n, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0)
        WideCharToMultiByte(CP_ACP, 0, text.data(), n, out.data(), bytes, nullptr, nullptr);
    return out;
}

std::wstring fromAnsi(std::string_view text) {
    return fromCodePage(text, CP_ACP);
}

std::wstring fromCodePage(std::string_view text, unsigned codePage) {
    if (text.empty() || text.size() > INT_MAX) return {};
    const int n = static_cast<int>(text.size());
    const int chars = MultiByteToWideChar(codePage, 0, text.data(), n, nullptr, 0);
    std::wstring out(static_cast<std::size_t>(chars > 0 ? chars : 0), L'\0');
    if (chars > 0) MultiByteToWideChar(codePage, 0, text.data(), n, out.data(), chars);
    return out;
}

bool fitsAnsi(std::wstring_view text) {
    if (text.empty()) return true;
    // The round trip alone decides: a best-fit or default character comes back as another
    // character. Conversion flags would not do, as UTF-8 and some other code pages refuse them.
    const std::string bytes = toAnsi(text);
    return !bytes.empty() && fromAnsi(bytes) == text;
}

} // namespace tk
