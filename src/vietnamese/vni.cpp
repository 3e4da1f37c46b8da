#include "vietnamese/vni.h"

#include <array>

namespace {

// Tone marks 1-5 (acute, grave, hook above, tilde, dot below) for the 24 letters that take them.
struct ToneRow {
    wchar_t letter;
    std::array<wchar_t, 5> toned;
};

constexpr std::array<ToneRow, 24> kTones{{
    {L'a', {0x00E1, 0x00E0, 0x1EA3, 0x00E3, 0x1EA1}},
    {L'A', {0x00C1, 0x00C0, 0x1EA2, 0x00C3, 0x1EA0}},
    {0x0103, {0x1EAF, 0x1EB1, 0x1EB3, 0x1EB5, 0x1EB7}},
    {0x0102, {0x1EAE, 0x1EB0, 0x1EB2, 0x1EB4, 0x1EB6}},
    {0x00E2, {0x1EA5, 0x1EA7, 0x1EA9, 0x1EAB, 0x1EAD}},
    {0x00C2, {0x1EA4, 0x1EA6, 0x1EA8, 0x1EAA, 0x1EAC}},
    {L'e', {0x00E9, 0x00E8, 0x1EBB, 0x1EBD, 0x1EB9}},
    {L'E', {0x00C9, 0x00C8, 0x1EBA, 0x1EBC, 0x1EB8}},
    {0x00EA, {0x1EBF, 0x1EC1, 0x1EC3, 0x1EC5, 0x1EC7}},
    {0x00CA, {0x1EBE, 0x1EC0, 0x1EC2, 0x1EC4, 0x1EC6}},
    {L'i', {0x00ED, 0x00EC, 0x1EC9, 0x0129, 0x1ECB}},
    {L'I', {0x00CD, 0x00CC, 0x1EC8, 0x0128, 0x1ECA}},
    {L'o', {0x00F3, 0x00F2, 0x1ECF, 0x00F5, 0x1ECD}},
    {L'O', {0x00D3, 0x00D2, 0x1ECE, 0x00D5, 0x1ECC}},
    {0x00F4, {0x1ED1, 0x1ED3, 0x1ED5, 0x1ED7, 0x1ED9}},
    {0x00D4, {0x1ED0, 0x1ED2, 0x1ED4, 0x1ED6, 0x1ED8}},
    {0x01A1, {0x1EDB, 0x1EDD, 0x1EDF, 0x1EE1, 0x1EE3}},
    {0x01A0, {0x1EDA, 0x1EDC, 0x1EDE, 0x1EE0, 0x1EE2}},
    {L'u', {0x00FA, 0x00F9, 0x1EE7, 0x0169, 0x1EE5}},
    {L'U', {0x00DA, 0x00D9, 0x1EE6, 0x0168, 0x1EE4}},
    {0x01B0, {0x1EE9, 0x1EEB, 0x1EED, 0x1EEF, 0x1EF1}},
    {0x01AF, {0x1EE8, 0x1EEA, 0x1EEC, 0x1EEE, 0x1EF0}},
    {L'y', {0x00FD, 0x1EF3, 0x1EF7, 0x1EF9, 0x1EF5}},
    {L'Y', {0x00DD, 0x1EF2, 0x1EF6, 0x1EF8, 0x1EF4}},
}};

// Shape marks 6-9 (circumflex, horn, breve, stroke).
struct ShapeEntry {
    wchar_t mark;
    wchar_t letter;
    wchar_t shaped;
};

constexpr std::array<ShapeEntry, 14> kShapes{{
    {L'6', L'a', 0x00E2},
    {L'6', L'A', 0x00C2},
    {L'6', L'e', 0x00EA},
    {L'6', L'E', 0x00CA},
    {L'6', L'o', 0x00F4},
    {L'6', L'O', 0x00D4},
    {L'7', L'o', 0x01A1},
    {L'7', L'O', 0x01A0},
    {L'7', L'u', 0x01B0},
    {L'7', L'U', 0x01AF},
    {L'8', L'a', 0x0103},
    {L'8', L'A', 0x0102},
    {L'9', L'd', 0x0111},
    {L'9', L'D', 0x0110},
}};

// One pass. `out` holds the text up to the letter in front of the mark being examined;
// after a replacement the character that followed the pair is copied without being
// examined as a mark, exactly as if the index went on over the shortened text.
std::wstring onePass(std::wstring_view in) {
    std::wstring out;
    out.reserve(in.size());
    if (in.empty()) return out;
    out.push_back(in[0]);
    std::size_t j = 1;
    while (j < in.size()) {
        if (auto combined = vniCombine(out.back(), in[j])) {
            out.back() = *combined;
            if (j + 1 < in.size()) out.push_back(in[j + 1]);
            j += 2;
        } else {
            out.push_back(in[j]);
            ++j;
        }
    }
    return out;
}

} // namespace

std::optional<wchar_t> vniCombine(wchar_t letter, wchar_t mark) {
    if (mark >= L'1' && mark <= L'5') {
        for (const auto& row : kTones)
            if (row.letter == letter) return row.toned[mark - L'1'];
        return std::nullopt;
    }
    for (const auto& e : kShapes)
        if (e.mark == mark && e.letter == letter) return e.shaped;
    return std::nullopt;
}

std::wstring vniToUnicode(std::wstring_view text) {
    return onePass(onePass(text));
}
