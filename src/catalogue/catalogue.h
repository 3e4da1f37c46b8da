// The DNS server catalogue and its settings-file form: presets, address cleaning, DNS
// server pairs, name rules, and which entries a settings file gives and what it holds.
// Pure: the window and the file code call these.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "toolkit/trim.h"

namespace catalogue {

struct CatalogueEntry {
    std::wstring name;
    std::wstring pair;       // "preferred,alternate", e.g. "8.8.8.8,8.8.4.4"
    std::wstring pair6 = {}; // the IPv6 pair in the same form; empty when the entry has none
    std::wstring doh = {};   // the DoH template ("https://..."); empty when the entry has none
    bool operator==(const CatalogueEntry&) const = default;
};

// The encrypted-DNS setting the settings file keeps: no encryption, encryption that falls
// back to plain DNS when it fails (the default), or encryption only.
enum class DohMode { Off, Fallback, Only };
inline constexpr DohMode kDefaultDohMode = DohMode::Fallback;
// "off", "on", "only": the setting's name in the settings file, on the command line and in JSON.
std::wstring_view dohModeName(DohMode mode);
std::optional<DohMode> dohModeNamed(std::wstring_view name); // any letter case

inline constexpr wchar_t kNameSeparator = L'\u00AE'; // "®"
inline constexpr std::wstring_view kUnsetAddress = L"0.0.0.0";

// The eighteen built-in entries, as two texts joined by "®" in the same order.
inline constexpr std::wstring_view kPresetNames =
    L"Google DNS\u00AEOpen DNS\u00AEScrubIT\u00AEComodo DNS\u00AEDNS Advantage\u00AEUltra "
    L"DNS\u00AELevel3 (1)\u00AELevel3 (2)\u00AELevel3 (3)\u00AEOpenNIC\u00AEDNS 10\u00AEDNS "
    L"11\u00AEDNS 12\u00AEDNS 13\u00AEDNS 14\u00AEDNS 15\u00AEDNS 16\u00AEDNS 17";
inline constexpr std::wstring_view kPresetPairs =
    L"8.8.8.8,8.8.4.4\u00AE208.67.222.222,208.67.220.220\u00AE67.138.54.100,207.225.209."
    L"66\u00AE156.154.70.22,156.154.71.22\u00AE156.154.70.1,156.154.71.1\u00AE204.69.234.1,"
    L"204.74.101.1\u00AE4.2.2.1,4.2.2.2\u00AE4.2.2.3,4.2.2.4\u00AE4.2.2.5,4.2.2.6\u00AE58.6."
    L"115.42,58.6.115.43\u00AE209.244.0.3,209.244.0.4\u00AE129.250.35.250,129.250.35."
    L"251\u00AE198.77.116.221,198.77.116.223\u00AE66.244.95.20,66.244.95.22\u00AE199.45.32."
    L"37,199.45.32.38\u00AE151.202.0.84,151.202.0.85\u00AE205.171.2.65,205.171.3."
    L"65\u00AE198.77.116.225,198.77.116.227";

// The presets whose operators publish IPv6 resolvers, with those: name, IPv6 pair.
inline constexpr std::pair<std::wstring_view, std::wstring_view> kPresetIpv6[] = {
    {L"Google DNS", L"2001:4860:4860::8888,2001:4860:4860::8844"},
    {L"Open DNS", L"2620:119:35::35,2620:119:53::53"}};

// The presets whose operators publish a DoH template, with it: name, template.
inline constexpr std::pair<std::wstring_view, std::wstring_view> kPresetDoh[] = {
    {L"Google DNS", L"https://dns.google/dns-query"},
    {L"Open DNS", L"https://doh.opendns.com/dns-query"}};

std::vector<CatalogueEntry> presetCatalogue();
// The built-in preset whose name and IPv4 pair an entry has exactly (spaces trimmed), with its
// IPv6 pair and template; nothing for any other entry.
std::optional<CatalogueEntry> matchingPreset(const CatalogueEntry& entry);

// The leading run of digits and dots, spaces trimmed ("8.8.8.8,8.8.4.4" -> "8.8.8.8").
std::wstring gtIP(std::wstring_view text);

// The two addresses of a pair, split at every ","; further pieces are ignored. A pair
// without a comma gives only the first; the empty pair gives neither.
struct PairParts {
    std::optional<std::wstring> preferred;
    std::optional<std::wstring> alternate;
};
PairParts splitPair(std::wstring_view pair);
// The pair stored for two address texts: each cleaned with gtIP, joined by a comma.
std::wstring joinPair(std::wstring_view preferred, std::wstring_view alternate);

// The names of an "ALL" text, split at every "®"; empty pieces count, the empty text
// gives no names.
std::vector<std::wstring> splitNames(std::wstring_view all);
// The "ALL" text of a catalogue: names joined by "®", spaces trimmed at both ends.
std::wstring joinNames(const std::vector<CatalogueEntry>& entries);

// Names are the same when equal after trimming spaces and folding letter case as the
// settings file's keys are compared ("Google DNS" and "google dns" are one key).
using CaseFold = std::function<std::wstring(std::wstring_view)>;
bool sameName(std::wstring_view a, std::wstring_view b, const CaseFold& fold);

// Well-known services with encrypted DNS that "Add encrypted entries to the catalogue" offers: both
// IPv4 and both IPv6 servers and the template of each, as their operators publish them.
std::vector<CatalogueEntry> knownServices();
// Appends the known services the catalogue lacks (same name but for letter case counts as
// present); gives the names added.
std::vector<std::wstring> addKnownServices(std::vector<CatalogueEntry>& entries,
                                           const CaseFold& fold);

// Whether the settings file can keep a (trimmed) name and give it back with its pair:
// no "®", "=" or control characters, no leading "[" or ";", not the file's own keys
// "ALL" or "NUM", and every character representable in the file's code page.
bool storableName(std::wstring_view name,
                  const std::function<bool(std::wstring_view)>& fitsCodePage);

// Settings file: section, keys and file name. IPv6 pairs have a section of their own, keyed
// by entry name, so that older copies read the file as before; the restore records of
// "Restore previous DNS" have one keyed by interface GUID, the adapter last changed or chosen in
// the notification area one more.
inline constexpr std::wstring_view kSettingsSection = L"kDNS";
inline constexpr std::wstring_view kIpv6Section = L"kDNS6";
inline constexpr std::wstring_view kDohSection = L"kDoH";
// The encrypted-DNS setting: Mode = off, on or only.
inline constexpr std::wstring_view kEncryptedDnsSection = L"kEncryptedDNS";
inline constexpr std::wstring_view kEncryptedDnsKey = L"Mode";
inline constexpr std::wstring_view kRestoreSection = L"kRestore";
// The adapter last changed, selected at the next start: "Last=" and its interface GUID.
inline constexpr std::wstring_view kAdapterSection = L"kAdapter";
inline constexpr std::wstring_view kLastAdapterKey = L"Last";
// What the notification area keeps for itself: "Notice=1" once it has said that Keldrast keeps
// running there, "PauseRules=1" while the network rules are paused, "TaskOffered=1" once the
// scheduled task has been offered.
inline constexpr std::wstring_view kTraySection = L"kTray";
inline constexpr std::wstring_view kTrayNoticeKey = L"Notice";
inline constexpr std::wstring_view kPauseRulesKey = L"PauseRules";
inline constexpr std::wstring_view kTaskOfferedKey = L"TaskOffered";
// DNS per network: a rule per network, keyed by the network's id (dns/netrules.h).
inline constexpr std::wstring_view kRulesSection = L"kRules";
inline constexpr std::wstring_view kSettingsFileName = L"Keldrast.ini";

// A settings value by key: the value when the key is present, nothing when absent.
using SettingsReader = std::function<std::optional<std::wstring>(std::wstring_view key)>;

// The catalogue a settings file gives. "ALL" (default: the preset names) lists the names;
// "NUM" says how many of them load. A "NUM" that is missing, empty, not a number or
// outside -32768..32767 loads every name of "ALL"; one above the number of names loads
// the names present; 0 or less loads nothing. A name without a key has the empty pair.
std::vector<CatalogueEntry> catalogueFromSettings(const SettingsReader& read);
// Whether the settings hold a catalogue at all: "ALL" or "NUM" is present. A file without
// either (no "kDNS" section, or one with neither key) is not used and not written over.
bool holdsCatalogue(const SettingsReader& read);
// Gives each entry its IPv6 pair and template: the IPv6 and DoH sections' value for its name
// when they have the key (an empty value too), else the matching preset's, else none.
void addPairs6AndTemplates(std::vector<CatalogueEntry>& entries, const SettingsReader& ipv6,
                           const SettingsReader& doh);

// The section's lines as writing "ALL", "NUM" and then every entry key by key would leave
// them: keys and values trimmed of white space, a later key equal to an earlier one but for letter
// case replaces that one's value in place. Entry keys that would replace "ALL" or "NUM", and keys
// the file cannot give back (empty, containing "=", leading "[" or ";"), are left out.
std::vector<std::pair<std::wstring, std::wstring>>
settingsLines(const std::vector<CatalogueEntry>& entries, const CaseFold& fold);
// The IPv6 section's lines: the entries with an IPv6 pair, keyed as settingsLines keys them,
// and an empty one for an entry matching a preset that has none.
std::vector<std::pair<std::wstring, std::wstring>>
ipv6Lines(const std::vector<CatalogueEntry>& entries, const CaseFold& fold);
// The DoH section's lines: the entries whose template is not the one the program gives them
// (a matching preset's, or none), so a catalogue of presets writes no such section.
std::vector<std::pair<std::wstring, std::wstring>>
dohLines(const std::vector<CatalogueEntry>& entries, const CaseFold& fold);
// The whole settings file text, CR LF line ends: the catalogue section, the IPv6 and DoH
// sections when they have lines, then `rest` (further sections, kept as they were).
std::wstring settingsFileText(const std::vector<CatalogueEntry>& entries, const CaseFold& fold,
                              std::wstring_view rest = {});
// The section of fileText named section, header and lines as they stand, up to the next
// section; empty when there is none. Lets a save keep what it does not itself write.
std::wstring sectionText(std::wstring_view fileText, std::wstring_view section,
                         const CaseFold& fold);
// The keys and values of that section in order; of keys equal but for letter case the first
// counts and the others are left out.
std::vector<std::pair<std::wstring, std::wstring>>
sectionEntries(std::wstring_view fileText, std::wstring_view section, const CaseFold& fold);
// fileText with that section holding exactly entries (removed when there are none; added at
// the end when the file has no such section).
std::wstring withSection(std::wstring_view fileText, std::wstring_view section,
                         const std::vector<std::pair<std::wstring, std::wstring>>& entries,
                         const CaseFold& fold);

// One section of a private-profile file, looked up as the profile functions do: section
// and key names compared case-insensitively after trimming white space, the first
// matching section and the first matching key win, a key ends at its line's first "=",
// the value is trimmed and loses one pair of enclosing matching quotes.
class ProfileSection {
  public:
    ProfileSection(std::wstring_view fileText, std::wstring_view section, const CaseFold& fold);
    std::optional<std::wstring> value(std::wstring_view key) const;
    bool empty() const noexcept { return values_.empty(); }

  private:
    CaseFold fold_;
    std::unordered_map<std::wstring, std::wstring> values_; // by folded key, first wins
};

} // namespace catalogue
