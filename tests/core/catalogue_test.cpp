// The catalogue's rules and what Apply says. The settings file itself is checked against
// the real profile functions in the Win32 tests.
#include "catalogue/catalogue.h"
#include "dns/dnsplan.h"

#include <gtest/gtest.h>

#include <map>

using namespace catalogue;
using Names = std::vector<std::wstring>;

TEST(Addresses, GtIpAndPairs) {
    EXPECT_EQ(gtIP(L"8.8.4.4   "), L"8.8.4.4");
    EXPECT_EQ(gtIP(L"8.8.8.8,8.8.4.4"), L"8.8.8.8");
    EXPECT_EQ(gtIP(L" 8.8.8.8"), L"");
    EXPECT_EQ(gtIP(L"1.2x3"), L"1.2");
    EXPECT_EQ(joinPair(L"  1.1.1.1  ", L"1.0.0.1 x"), L"1.1.1.1,1.0.0.1");
    EXPECT_EQ(splitPair(L"4.2.2.3,4.2.2.4").preferred, L"4.2.2.3");
    EXPECT_EQ(splitPair(L"1.1.1.1,1.0.0.1,9.9.9.9").alternate, L"1.0.0.1");
    EXPECT_FALSE(splitPair(L"1.1.1.1").alternate.has_value());
    EXPECT_FALSE(splitPair(L"").preferred.has_value());
}

TEST(Names, PresetsSplitJoinAndCompare) {
    const auto presets = presetCatalogue();
    ASSERT_EQ(presets.size(), 18u);
    EXPECT_EQ(joinNames(presets), kPresetNames);
    EXPECT_EQ(presets[17], (CatalogueEntry{L"DNS 17", L"198.77.116.225,198.77.116.227"}));
    EXPECT_EQ(splitNames(L""), Names{});
    EXPECT_EQ(splitNames(L"a\u00AE\u00AEb"), (Names{L"a", L"", L"b"}));
    EXPECT_EQ(joinNames({{L" x", L""}, {L"y ", L""}}), L"x\u00AEy");
    EXPECT_TRUE(sameName(presets[0].name, L"  Google DNS ", tk::foldAscii));
    // One key in the settings file.
    EXPECT_TRUE(sameName(presets[0].name, L" gOOGLE dns", tk::foldAscii));
    EXPECT_FALSE(sameName(presets[0].name, L"Google  DNS", tk::foldAscii));
    EXPECT_FALSE(sameName(L"a\t", L"a", tk::foldAscii));
    const auto upper = [](std::wstring_view t) {
        std::wstring u(t);
        for (auto& c : u)
            c = c == L'\u00E9' ? L'\u00C9' : c;
        return u;
    };
    EXPECT_TRUE(sameName(L"caf\u00E9", L"caf\u00C9 ", upper)) << "the file's own folding";
}

TEST(Names, StorableOnlyWhenTheFileGivesThemBack) {
    const auto any = [](std::wstring_view) { return true; };
    for (const auto* good : {L"My DNS", L"a;b", L"x[1]", L"Quad9", L"alles", L" spaced "})
        EXPECT_TRUE(storableName(good, any)) << good;
    for (const auto* bad :
         {L"a\u00AEb", L"a=b", L"[lan]", L"; note", L"  [x", L"ALL", L"num", L"tab\there", L""})
        EXPECT_FALSE(storableName(bad, any)) << bad;
    const auto noHan = [](std::wstring_view t) { return t.find(L'\u4E2D') == t.npos; };
    EXPECT_FALSE(storableName(L"DNS \u4E2D", noHan));
    EXPECT_TRUE(storableName(L"Caf\u00E9 DNS", noHan));
}

TEST(CatalogueFromSettings, AllListsTheNamesNumSaysHowMany) {
    const std::optional<std::wstring> none;
    // The names loaded; every pair is checked: a name without a key has the empty pair.
    const auto load = [](std::optional<std::wstring> all, std::optional<std::wstring> num) {
        std::map<std::wstring, std::wstring> file{{L"A", L"1.1.1.1,1.0.0.1"}, {L"Open DNS", L"1"}};
        if (all) file[L"ALL"] = *all;
        if (num) file[L"NUM"] = *num;
        Names names;
        for (const auto& e : catalogueFromSettings([&](std::wstring_view key) {
                 const auto it = file.find(std::wstring(key));
                 return it == file.end() ? std::nullopt : std::optional(it->second);
             })) {
            names.push_back(e.name);
            EXPECT_EQ(e.pair, file.count(e.name) ? file[e.name] : L"") << e.name;
        }
        return names;
    };
    EXPECT_EQ(load(L"A\u00AEB\u00AEC", L"3"), (Names{L"A", L"B", L"C"}));
    EXPECT_EQ(load(L"A\u00AEB\u00AEC", L"2"), (Names{L"A", L"B"}));
    EXPECT_EQ(load(L"A\u00AEB", L"40"), (Names{L"A", L"B"}));
    EXPECT_EQ(load(L"A\u00AEB", L"+1"), Names{L"A"});
    EXPECT_EQ(load(L"A\u00AEB", L"002"), (Names{L"A", L"B"}));
    EXPECT_EQ(load(L"A", L"32767"), Names{L"A"});
    EXPECT_EQ(load(none, L"2"), (Names{L"Google DNS", L"Open DNS"}));
    for (const auto& [all, num] : {std::pair{L"A", L"0"}, {L"A", L"-3"}, {L"", L"5"}})
        EXPECT_EQ(load(all, num), Names{}) << num;
    // A missing or damaged count loads every listed name.
    EXPECT_EQ(load(L"A\u00AE\u00AEC", none), (Names{L"A", L"", L"C"}));
    for (const auto* num : {L"", L"x", L"3x", L"1.5", L"32768", L"-32769", L"+"})
        EXPECT_EQ(load(L"A\u00AE\u00AEC", num), (Names{L"A", L"", L"C"})) << num;
}

TEST(SettingsFile, KeysThatCannotComeBackAreLeftOut) {
    const std::wstring pair = L"1.1.1.1,1.0.0.1";
    const std::vector<std::pair<std::wstring, std::wstring>> expected{
        {L"ALL", L"all\u00AEa=b\u00AE[x]\u00AE\u00AEok"}, {L"NUM", L"5"}, {L"ok", pair}};
    EXPECT_EQ(
        settingsLines({{L"all", pair}, {L"a=b", pair}, {L"[x]", pair}, {L"", pair}, {L"ok", pair}},
                      tk::foldAscii),
        expected);
}

TEST(SettingsFile, HandEditedFilesComeBackUnchangedAfterASave) {
    // The catalogue a file text gives, read as the profile functions read it.
    const auto load = [](std::wstring_view text) {
        const ProfileSection section(text, kSettingsSection, tk::foldAscii),
            ipv6(text, kIpv6Section, tk::foldAscii);
        auto entries = catalogueFromSettings([&](std::wstring_view k) { return section.value(k); });
        for (auto& e : entries)
            e.pair6 = ipv6.value(e.name).value_or(L"");
        return entries;
    };
    const struct {
        const wchar_t* file;
        std::vector<CatalogueEntry> loaded;
    } cases[] = {
        // A name that folds to one of the file's own keys reads that key's value.
        {L"[kDNS]\r\nALL=Num\u00AEA\r\nNUM=2\r\nA=1.1.1.1,1.0.0.1\r\n",
         {{L"Num", L"2"}, {L"A", L"1.1.1.1,1.0.0.1"}}},
        {L"[kdns]\r\nall=all\u00AEB\r\nnum=2\r\nB=\"\"\"\"\r\n[KDNS6]\r\nb=::1\r\n",
         {{L"all", L"all\u00AEB"}, {L"B", L"\"\"", L"::1"}}},
        // Lines ended by CR alone; a later section of the same name does not count.
        {L"[kDNS]\rALL=C\rNUM=1\rC= 3.3.3.3 \r[kDNS]\rC=4.4.4.4\r", {{L"C", L"3.3.3.3"}}},
    };
    for (const auto& c : cases) {
        const auto entries = load(c.file);
        EXPECT_EQ(entries, c.loaded) << c.file;
        const std::wstring saved = settingsFileText(entries, tk::foldAscii);
        EXPECT_EQ(load(saved), entries) << saved;
        EXPECT_EQ(settingsFileText(load(saved), tk::foldAscii), saved);
    }
    // What a save keeps of the sections it does not write.
    const std::wstring records = L"[kRestore]\r\n{G}=-|-|-|-|-|-\r\n";
    EXPECT_EQ(sectionText(L"[kDNS]\r\nALL=\r\n" + records + L"[x]\r\n", L"KRESTORE", tk::foldAscii),
              records);
    EXPECT_EQ(sectionText(L"[kDNS]\r\n[kRestore]\r\n{G}=1", kRestoreSection, tk::foldAscii),
              L"[kRestore]\r\n{G}=1\r\n");
    EXPECT_EQ(sectionText(L"[kDNS]\r\n", kRestoreSection, tk::foldAscii), L"");
    EXPECT_EQ(sectionText(L"[kDNS]\rA=1\r[kRestore]\r{G}=1\r[x]\r", kRestoreSection, tk::foldAscii),
              L"[kRestore]\r{G}=1\r");
}
