#include "toolkit/json.h"

#include "toolkit/decimal.h"

namespace tk {

std::wstring jsonString(std::wstring_view text) {
    static constexpr wchar_t kHex[] = L"0123456789abcdef";
    std::wstring out = L"\"";
    for (std::size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        const auto u = static_cast<char32_t>(c);
        const bool high = u >= 0xD800 && u < 0xDC00, low = u >= 0xDC00 && u <= 0xDFFF;
        const bool pairedHigh = high && i + 1 < text.size() &&
                                static_cast<char32_t>(text[i + 1]) >= 0xDC00 &&
                                static_cast<char32_t>(text[i + 1]) <= 0xDFFF;
        if (c == L'"' || c == L'\\') {
            out += L'\\';
            out += c;
        } else if (c == L'\n') {
            out += L"\\n";
        } else if (c == L'\r') {
            out += L"\\r";
        } else if (c == L'\t') {
            out += L"\\t";
        } else if (u < 0x20 || (high && !pairedHigh) || low) {
            out += L"\\u";
            for (int shift = 12; shift >= 0; shift -= 4)
                out += kHex[(u >> shift) & 0xF];
        } else {
            out += c;
            if (pairedHigh) out += text[++i];
        }
    }
    return out + L"\"";
}

void Json::separate() {
    if (needsComma_) out_ += L',';
    needsComma_ = true;
}

Json& Json::open(wchar_t bracket) {
    separate();
    out_ += bracket;
    needsComma_ = false;
    return *this;
}

Json& Json::close(wchar_t bracket) {
    out_ += bracket;
    needsComma_ = true;
    return *this;
}

Json& Json::key(std::wstring_view name) {
    separate();
    out_ += jsonString(name) + L':';
    needsComma_ = false;
    return *this;
}

Json& Json::string(std::wstring_view text) {
    separate();
    out_ += jsonString(text);
    return *this;
}

Json& Json::number(long long value) {
    separate();
    out_ += decimal(value);
    return *this;
}

Json& Json::number(double value, int decimals) {
    separate();
    out_ += fixed(value, decimals);
    return *this;
}

Json& Json::boolean(bool value) {
    separate();
    out_ += value ? L"true" : L"false";
    return *this;
}

Json& Json::null() {
    separate();
    out_ += L"null";
    return *this;
}

Json& Json::strings(const std::vector<std::wstring>& items) {
    open(L'[');
    for (const auto& item : items)
        string(item);
    return close(L']');
}

} // namespace tk
