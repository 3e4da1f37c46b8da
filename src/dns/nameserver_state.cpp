#include "dns/nameserver_state.h"

namespace app {

namespace {

constexpr wchar_t kHex[] = L"0123456789ABCDEF";

int hexValue(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    return -1;
}

} // namespace

std::wstring interfaceKeyPath(Family family, std::size_t controlSet, std::wstring_view service) {
    std::wstring path(kInterfaceBasePaths[controlSet]);
    if (family == Family::V6) path.replace(path.find(L"\\Tcpip\\"), 7, L"\\Tcpip6\\");
    path += service;
    return path;
}

std::wstring encodeState(const NameServerState& state) {
    std::wstring text;
    for (std::size_t i = 0; i < state.values.size(); ++i) {
        if (i) text += L'|';
        if (!state.values[i]) {
            text += L'-';
            continue;
        }
        text += L'=';
        for (const wchar_t c : *state.values[i]) {
            if (c > 0x20 && c < 0x7F && c != L'%' && c != L'|') {
                text += c;
                continue;
            }
            text += L'%';
            for (int shift = 12; shift >= 0; shift -= 4)
                text += kHex[(static_cast<unsigned>(c) >> shift) & 0xF];
        }
    }
    return text;
}

std::optional<NameServerState> decodeState(std::wstring_view text) {
    NameServerState state;
    std::size_t field = 0;
    std::size_t i = 0;
    for (;; ++field) {
        if (field >= state.values.size() || i >= text.size()) return std::nullopt;
        if (text[i] == L'=') {
            std::wstring value;
            for (++i; i < text.size() && text[i] != L'|'; ++i) {
                if (text[i] != L'%') {
                    value += text[i];
                    continue;
                }
                unsigned code = 0;
                for (int d = 1; d <= 4; ++d) {
                    const int v = i + d < text.size() ? hexValue(text[i + d]) : -1;
                    if (v < 0) return std::nullopt;
                    code = code * 16 + static_cast<unsigned>(v);
                }
                value += static_cast<wchar_t>(code);
                i += 4;
            }
            state.values[field] = std::move(value);
        } else if (text[i] == L'-') {
            ++i;
        } else {
            return std::nullopt;
        }
        if (i == text.size()) break;
        if (text[i] != L'|') return std::nullopt;
        ++i;
    }
    if (field + 1 != state.values.size()) return std::nullopt;
    return state;
}

std::vector<std::wstring> serverList(std::wstring_view text) {
    std::vector<std::wstring> servers;
    std::wstring piece;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == L',' || text[i] == L' ') {
            if (!piece.empty()) servers.push_back(std::move(piece));
            piece.clear();
        } else {
            piece += text[i];
        }
    }
    return servers;
}

} // namespace app
