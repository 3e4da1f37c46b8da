#include "catalogue/catalogue.h"
#include "toolkit/decimal.h"

#include <algorithm>
#include <charconv>
#include <unordered_set>

namespace catalogue {

std::wstring_view dohModeName(DohMode mode) {
    switch (mode) {
    case DohMode::Off:
        return L"off";
    case DohMode::Only:
        return L"only";
    case DohMode::Fallback:
        break;
    }
    return L"on";
}

std::optional<DohMode> dohModeNamed(std::wstring_view name) {
    for (const DohMode mode : {DohMode::Off, DohMode::Fallback, DohMode::Only})
        if (tk::foldAscii(name) == dohModeName(mode)) return mode;
    return std::nullopt;
}

namespace {

std::vector<std::wstring> splitAt(std::wstring_view text, wchar_t separator) {
    std::vector<std::wstring> pieces;
    std::size_t start = 0;
    for (;;) {
        const auto end = text.find(separator, start);
        pieces.emplace_back(text.substr(start, end == text.npos ? text.npos : end - start));
        if (end == text.npos) break;
        start = end + 1;
    }
    return pieces;
}

// White space as the profile functions see it (0x1A is the old end-of-file mark).
bool profileSpace(wchar_t c) {
    return c == L' ' || (c >= L'\t' && c <= L'\r') || c == 0x1A;
}

std::wstring_view trimProfile(std::wstring_view text) {
    while (!text.empty() && profileSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && profileSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

bool isQuote(wchar_t c) {
    return c == L'"' || c == L'\'';
}

// Reading drops one pair of enclosing matching quotes; such a value gets one more pair.
std::wstring protectQuotes(std::wstring value) {
    if (value.size() >= 2 && isQuote(value.front()) && value.back() == value.front())
        return value.front() + value + value.front();
    return value;
}

// A key line the profile functions would not give back under its own name: an empty key,
// one cut at its "=", or one read as a section header or comment.
bool keyReadsBack(std::wstring_view key) {
    return !key.empty() && key.find(L'=') == key.npos && key.front() != L'[' && key.front() != L';';
}

std::optional<int> parseInt16(std::wstring_view text) {
    text = trimProfile(text);
    bool negative = false;
    if (!text.empty() && (text.front() == L'+' || text.front() == L'-')) {
        negative = text.front() == L'-';
        text.remove_prefix(1);
    }
    if (text.empty()) return std::nullopt;
    long value = 0;
    for (const wchar_t c : text) {
        if (c < L'0' || c > L'9') return std::nullopt;
        value = value * 10 + (c - L'0');
        if (value > 32768) return std::nullopt;
    }
    if (negative) value = -value;
    if (value < -32768 || value > 32767) return std::nullopt;
    return static_cast<int>(value);
}

} // namespace

std::vector<CatalogueEntry> presetCatalogue() {
    const auto names = splitNames(kPresetNames);
    const auto pairs = splitNames(kPresetPairs);
    std::vector<CatalogueEntry> entries;
    for (std::size_t i = 0; i < names.size() && i < pairs.size(); ++i) {
        entries.push_back({names[i], pairs[i], {}, {}});
        for (const auto& [name, pair6] : kPresetIpv6)
            if (name == names[i]) entries.back().pair6 = pair6;
        for (const auto& [name, url] : kPresetDoh)
            if (name == names[i]) entries.back().doh = url;
    }
    return entries;
}

std::optional<CatalogueEntry> matchingPreset(const CatalogueEntry& entry) {
    static const std::vector<CatalogueEntry> presets = presetCatalogue();
    const std::wstring name = tk::trimSpaces(entry.name), pair = tk::trimSpaces(entry.pair);
    for (const auto& preset : presets)
        if (preset.name == name && preset.pair == pair) return preset;
    return std::nullopt;
}

std::vector<CatalogueEntry> knownServices() {
    return {{L"Cloudflare", L"1.1.1.1,1.0.0.1", L"2606:4700:4700::1111,2606:4700:4700::1001",
             L"https://cloudflare-dns.com/dns-query"},
            {L"Quad9", L"9.9.9.9,149.112.112.112", L"2620:fe::fe,2620:fe::9",
             L"https://dns.quad9.net/dns-query"},
            {L"AdGuard DNS", L"94.140.14.14,94.140.15.15", L"2a10:50c0::ad1:ff,2a10:50c0::ad2:ff",
             L"https://dns.adguard-dns.com/dns-query"},
            {L"CleanBrowsing (security filter)", L"185.228.168.9,185.228.169.9",
             L"2a0d:2a00:1::2,2a0d:2a00:2::2",
             L"https://doh.cleanbrowsing.org/doh/security-filter/"}};
}

std::vector<std::wstring> addKnownServices(std::vector<CatalogueEntry>& entries,
                                           const CaseFold& fold) {
    std::vector<std::wstring> added;
    for (auto& service : knownServices()) {
        const bool present = std::any_of(entries.begin(), entries.end(), [&](const auto& e) {
            return sameName(e.name, service.name, fold);
        });
        if (present) continue;
        added.push_back(service.name);
        entries.push_back(std::move(service));
    }
    return added;
}

std::wstring gtIP(std::wstring_view text) {
    std::size_t n = 0;
    while (n < text.size() && (text[n] == L'.' || (text[n] >= L'0' && text[n] <= L'9')))
        ++n;
    return tk::trimSpaces(text.substr(0, n));
}

PairParts splitPair(std::wstring_view pair) {
    PairParts parts;
    if (pair.empty()) return parts;
    const auto pieces = splitAt(pair, L',');
    parts.preferred = pieces[0];
    if (pieces.size() > 1) parts.alternate = pieces[1];
    return parts;
}

std::wstring joinPair(std::wstring_view preferred, std::wstring_view alternate) {
    return gtIP(tk::trimSpaces(preferred)) + L',' + gtIP(tk::trimSpaces(alternate));
}

std::vector<std::wstring> splitNames(std::wstring_view all) {
    if (all.empty()) return {};
    return splitAt(all, kNameSeparator);
}

std::wstring joinNames(const std::vector<CatalogueEntry>& entries) {
    std::wstring all;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (i) all += kNameSeparator;
        all += entries[i].name;
    }
    return tk::trimSpaces(all);
}

bool sameName(std::wstring_view a, std::wstring_view b, const CaseFold& fold) {
    return fold(tk::trimSpaces(a)) == fold(tk::trimSpaces(b));
}

bool storableName(std::wstring_view name,
                  const std::function<bool(std::wstring_view)>& fitsCodePage) {
    const std::wstring trimmed = tk::trimSpaces(name);
    if (trimmed.empty()) return false;
    if (trimmed.front() == L'[' || trimmed.front() == L';') return false;
    for (const wchar_t c : trimmed)
        if (c == kNameSeparator || c == L'=' || c < 0x20 || c == 0x7F) return false;
    const std::wstring key = tk::foldAscii(trimmed);
    if (key == L"all" || key == L"num") return false;
    return !fitsCodePage || fitsCodePage(trimmed);
}

std::vector<CatalogueEntry> catalogueFromSettings(const SettingsReader& read) {
    const auto names = splitNames(read(L"ALL").value_or(std::wstring(kPresetNames)));
    const auto numText = read(L"NUM");
    const auto num = numText ? parseInt16(*numText) : std::nullopt;
    // A missing or damaged count must not empty the catalogue: every listed name loads then.
    const std::size_t count =
        !num ? names.size() : (*num <= 0 ? 0 : std::min(names.size(), std::size_t(*num)));
    std::vector<CatalogueEntry> entries;
    entries.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        entries.push_back({names[i], read(names[i]).value_or(std::wstring()), {}, {}});
    return entries;
}

bool holdsCatalogue(const SettingsReader& read) {
    return read(L"ALL").has_value() || read(L"NUM").has_value();
}

void addPairs6AndTemplates(std::vector<CatalogueEntry>& entries, const SettingsReader& ipv6,
                           const SettingsReader& doh) {
    for (auto& entry : entries) {
        const auto preset = matchingPreset(entry);
        entry.pair6 = ipv6(entry.name).value_or(preset ? preset->pair6 : L"");
        entry.doh = doh(entry.name).value_or(preset ? preset->doh : L"");
    }
}

namespace {

// A section's lines as writing its keys one by one through the profile functions would leave
// them.
class SectionLines {
  public:
    explicit SectionLines(const CaseFold& fold) : fold_(fold) {}
    // mayReplaceOwnKeys: whether the key may replace one of the first `ownKeys` lines.
    void put(std::wstring_view rawKey, std::wstring_view rawValue, bool mayReplaceOwnKeys,
             std::size_t ownKeys) {
        const std::wstring key(trimProfile(rawKey));
        if (!keyReadsBack(key)) return;
        auto [it, added] = index_.try_emplace(fold_(key), lines.size());
        // Values are kept without white space at their ends, as the profile functions do.
        std::wstring value = protectQuotes(std::wstring(trimProfile(rawValue)));
        if (added)
            lines.emplace_back(key, std::move(value));
        else if (mayReplaceOwnKeys || it->second >= ownKeys)
            lines[it->second].second = std::move(value);
    }
    std::vector<std::pair<std::wstring, std::wstring>> lines;

  private:
    const CaseFold& fold_;
    std::unordered_map<std::wstring, std::size_t> index_;
};

void appendSection(std::wstring& text, std::wstring_view name,
                   const std::vector<std::pair<std::wstring, std::wstring>>& lines) {
    text += L'[';
    text += name;
    text += L"]\r\n";
    for (const auto& [key, value] : lines) {
        text += key;
        text += L'=';
        text += value;
        text += L"\r\n";
    }
}

// The line of text at pos, with its end; pos moves past it. A line ends at "\r" or "\n", as
// the profile functions read it.
std::wstring_view nextLine(std::wstring_view text, std::size_t& pos) {
    const auto end = text.find_first_of(L"\r\n", pos);
    const std::size_t next = end == text.npos ? text.size() : end + 1;
    const std::wstring_view line = text.substr(pos, next - pos);
    pos = next;
    return line;
}

} // namespace

std::vector<std::pair<std::wstring, std::wstring>>
settingsLines(const std::vector<CatalogueEntry>& entries, const CaseFold& fold) {
    SectionLines section(fold);
    section.lines.reserve(entries.size() + 2);
    section.put(L"ALL", joinNames(entries), true, 2);
    section.put(L"NUM", tk::decimal(entries.size()), true, 2);
    for (const auto& entry : entries)
        section.put(entry.name, entry.pair, false, 2);
    return std::move(section.lines);
}

std::vector<std::pair<std::wstring, std::wstring>>
ipv6Lines(const std::vector<CatalogueEntry>& entries, const CaseFold& fold) {
    // Keyed exactly as the catalogue section keys the names, so each pair finds its entry.
    const std::wstring all = fold(L"ALL"), num = fold(L"NUM");
    SectionLines section(fold);
    for (const auto& entry : entries) {
        const std::wstring key = fold(trimProfile(entry.name));
        const auto preset = matchingPreset(entry);
        const bool overrides = preset && preset->pair6 != entry.pair6;
        if ((!entry.pair6.empty() || overrides) && key != all && key != num)
            section.put(entry.name, entry.pair6, false, 0);
    }
    return std::move(section.lines);
}

std::vector<std::pair<std::wstring, std::wstring>>
dohLines(const std::vector<CatalogueEntry>& entries, const CaseFold& fold) {
    const std::wstring all = fold(L"ALL"), num = fold(L"NUM");
    SectionLines section(fold);
    for (const auto& entry : entries) {
        const std::wstring key = fold(trimProfile(entry.name));
        const auto preset = matchingPreset(entry);
        if (entry.doh != (preset ? preset->doh : L"") && key != all && key != num)
            section.put(entry.name, entry.doh, false, 0);
    }
    return std::move(section.lines);
}

std::wstring settingsFileText(const std::vector<CatalogueEntry>& entries, const CaseFold& fold,
                              std::wstring_view rest) {
    std::wstring text;
    appendSection(text, kSettingsSection, settingsLines(entries, fold));
    if (const auto v6 = ipv6Lines(entries, fold); !v6.empty())
        appendSection(text, kIpv6Section, v6);
    if (const auto doh = dohLines(entries, fold); !doh.empty())
        appendSection(text, kDohSection, doh);
    text += rest;
    return text;
}

ProfileSection::ProfileSection(std::wstring_view fileText, std::wstring_view section,
                               const CaseFold& fold)
    : fold_(fold) {
    const std::wstring wanted = fold_(trimProfile(section));
    bool inSection = false;
    bool seenSection = false;
    std::size_t pos = 0;
    while (pos < fileText.size()) {
        const std::wstring_view line = trimProfile(nextLine(fileText, pos));
        if (line.empty()) continue;
        if (line.front() == L'[') {
            const auto close = line.rfind(L']');
            if (close != line.npos && close > 0) {
                if (inSection) break; // only the first matching section counts
                inSection = !seenSection && fold_(line.substr(1, close - 1)) == wanted;
                seenSection = seenSection || inSection;
                continue;
            }
        }
        if (!inSection) continue;
        const auto eq = line.find(L'=');
        if (eq == line.npos) {
            values_.try_emplace(fold_(line), std::wstring());
        } else {
            values_.try_emplace(fold_(trimProfile(line.substr(0, eq))),
                                std::wstring(trimProfile(line.substr(eq + 1))));
        }
    }
}

namespace {

// Where the first section named section starts and ends in fileText; start is npos when there
// is none.
std::pair<std::size_t, std::size_t> sectionSpan(std::wstring_view fileText,
                                                std::wstring_view section, const CaseFold& fold) {
    const std::wstring wanted = fold(trimProfile(section));
    std::size_t start = fileText.npos;
    std::size_t pos = 0;
    while (pos < fileText.size()) {
        const std::size_t lineStart = pos;
        const std::wstring_view line = trimProfile(nextLine(fileText, pos));
        const auto close = line.rfind(L']');
        if (!line.empty() && line.front() == L'[' && close != line.npos && close > 0) {
            if (start != fileText.npos) {
                pos = lineStart;
                break;
            }
            if (fold(line.substr(1, close - 1)) == wanted) start = lineStart;
        }
    }
    return {start, pos};
}

} // namespace

std::wstring sectionText(std::wstring_view fileText, std::wstring_view section,
                         const CaseFold& fold) {
    const auto [start, end] = sectionSpan(fileText, section, fold);
    if (start == fileText.npos) return {};
    std::wstring text(fileText.substr(start, end - start));
    if (text.back() != L'\n' && text.back() != L'\r') text += L"\r\n";
    return text;
}

std::vector<std::pair<std::wstring, std::wstring>>
sectionEntries(std::wstring_view fileText, std::wstring_view section, const CaseFold& fold) {
    const std::wstring text = sectionText(fileText, section, fold);
    std::vector<std::pair<std::wstring, std::wstring>> entries;
    std::unordered_set<std::wstring> seen; // one pass: a list would make it quadratic
    std::size_t pos = 0;
    nextLine(text, pos); // the header
    while (pos < text.size()) {
        const std::wstring_view line = trimProfile(nextLine(text, pos));
        const auto eq = line.find(L'=');
        if (line.empty() || eq == line.npos) continue;
        std::wstring key(trimProfile(line.substr(0, eq)));
        if (key.empty()) continue;
        if (!seen.insert(fold(key)).second) continue; // the first counts
        entries.emplace_back(std::move(key), std::wstring(trimProfile(line.substr(eq + 1))));
    }
    return entries;
}

std::wstring withSection(std::wstring_view fileText, std::wstring_view section,
                         const std::vector<std::pair<std::wstring, std::wstring>>& entries,
                         const CaseFold& fold) {
    std::wstring replacement;
    if (!entries.empty()) {
        replacement = L"[" + std::wstring(section) + L"]\r\n";
        for (const auto& [key, value] : entries)
            replacement += key + L"=" + value + L"\r\n";
    }
    auto [start, end] = sectionSpan(fileText, section, fold);
    std::wstring text(fileText);
    if (start == text.npos) {
        if (!text.empty() && text.back() != L'\n') text += L"\r\n";
        return text + replacement;
    }
    return text.replace(start, end - start, replacement);
}

std::optional<std::wstring> ProfileSection::value(std::wstring_view key) const {
    const auto it = values_.find(fold_(trimProfile(key)));
    if (it == values_.end()) return std::nullopt;
    std::wstring_view v = it->second;
    if (v.size() >= 2 && isQuote(v.front()) && v.back() == v.front()) v = v.substr(1, v.size() - 2);
    return std::wstring(v);
}

} // namespace catalogue
