#include "app/catalogue.h"
#include "app/dnsplan.h"

#include <gtest/gtest.h>

#include <map>

using namespace app;

TEST(Presets, EighteenInTableOrder) {
    const auto presets = presetCatalogue();
    ASSERT_EQ(presets.size(), 18u);
    EXPECT_EQ(presets[0], (CatalogueEntry{L"Google DNS", L"8.8.8.8,8.8.4.4"}));
    EXPECT_EQ(presets[1], (CatalogueEntry{L"Open DNS", L"208.67.222.222,208.67.220.220"}));
    EXPECT_EQ(presets[2], (CatalogueEntry{L"ScrubIT", L"67.138.54.100,207.225.209.66"}));
    EXPECT_EQ(presets[5], (CatalogueEntry{L"Ultra DNS", L"204.69.234.1,204.74.101.1"}));
    EXPECT_EQ(presets[7], (CatalogueEntry{L"Level3 (2)", L"4.2.2.3,4.2.2.4"}));
    EXPECT_EQ(presets[11], (CatalogueEntry{L"DNS 11", L"129.250.35.250,129.250.35.251"}));
    EXPECT_EQ(presets[16], (CatalogueEntry{L"DNS 16", L"205.171.2.65,205.171.3.65"}));
    EXPECT_EQ(presets[17], (CatalogueEntry{L"DNS 17", L"198.77.116.225,198.77.116.227"}));
    EXPECT_EQ(kPresetNames.size(), 159u);
    EXPECT_EQ(joinNames(presets), kPresetNames);
}

TEST(GtIp, StopsAtFirstOtherCharacter) {
    EXPECT_EQ(gtIP(L"8.8.4.4   "), L"8.8.4.4");
    EXPECT_EQ(gtIP(L"8.8.8.8,8.8.4.4"), L"8.8.8.8");
    EXPECT_EQ(gtIP(L""), L"");
    EXPECT_EQ(gtIP(L" 8.8.8.8"), L"");
    EXPECT_EQ(gtIP(L"1.2x3"), L"1.2");
    EXPECT_EQ(gtIP(L"0.0.0.0"), kUnsetAddress);
}

TEST(Pairs, SplitAtEveryComma) {
    auto parts = splitPair(L"4.2.2.3,4.2.2.4");
    EXPECT_EQ(parts.preferred, L"4.2.2.3");
    EXPECT_EQ(parts.alternate, L"4.2.2.4");
    parts = splitPair(L"1.1.1.1,1.0.0.1,9.9.9.9");
    EXPECT_EQ(parts.alternate, L"1.0.0.1");
    parts = splitPair(L"1.1.1.1");
    EXPECT_EQ(parts.preferred, L"1.1.1.1");
    EXPECT_FALSE(parts.alternate.has_value());
    parts = splitPair(L"");
    EXPECT_FALSE(parts.preferred.has_value());
    EXPECT_FALSE(parts.alternate.has_value());
    EXPECT_EQ(joinPair(L"  1.1.1.1  ", L"1.0.0.1 "), L"1.1.1.1,1.0.0.1");
}

TEST(Names, SplitAtSeparatorKeepingEmptyPieces) {
    EXPECT_TRUE(splitNames(L"").empty());
    EXPECT_EQ(splitNames(L"a"), (std::vector<std::wstring>{L"a"}));
    EXPECT_EQ(splitNames(L"a\u00AE\u00AEb"), (std::vector<std::wstring>{L"a", L"", L"b"}));
    EXPECT_EQ(splitNames(L"\u00AE"), (std::vector<std::wstring>{L"", L""}));
    EXPECT_EQ(splitNames(L"a(R)b"), (std::vector<std::wstring>{L"a(R)b"}));
    EXPECT_EQ(joinNames({{L" x", L""}, {L"y ", L""}}), L"x\u00AEy");
    EXPECT_EQ(joinNames({}), L"");
}

TEST(Names, SameAfterTrimmingSpacesCaseCounts) {
    const auto presets = presetCatalogue();
    EXPECT_TRUE(nameExists(presets, L"  Google DNS "));
    EXPECT_FALSE(nameExists(presets, L"google dns"));
    EXPECT_TRUE(nameExists(presets, L"DNS 17")); // the last entry counts too
    EXPECT_FALSE(nameExists({}, L"Google DNS"));
    EXPECT_TRUE(sameName(L"a ", L" a"));
    EXPECT_FALSE(sameName(L"a\t", L"a"));
}

TEST(Names, StorableOnlyWhenTheFileGivesThemBack) {
    const auto anyCodePage = [](std::wstring_view) { return true; };
    for (const auto* good : {L"My DNS", L"a;b", L"x[1]", L"Quad9", L"alles", L" spaced "})
        EXPECT_TRUE(storableName(good, anyCodePage)) << good;
    for (const auto* bad :
         {L"a\u00AEb", L"a=b", L"[lan]", L"; note", L"  [x", L"ALL", L"num", L"tab\there", L""})
        EXPECT_FALSE(storableName(bad, anyCodePage)) << bad;
    const auto latinOnly = [](std::wstring_view t) {
        for (const wchar_t c : t)
            if (c > 0xFF) return false;
        return true;
    };
    EXPECT_FALSE(storableName(L"DNS \u4E2D", latinOnly));
    EXPECT_TRUE(storableName(L"Caf\u00E9 DNS", latinOnly));
}

namespace {

SettingsReader readerOf(std::map<std::wstring, std::wstring> values) {
    return [values = std::move(values)](std::wstring_view key) -> std::optional<std::wstring> {
        const auto it = values.find(std::wstring(key));
        if (it == values.end()) return std::nullopt;
        return it->second;
    };
}

std::vector<std::wstring> namesOf(const std::vector<CatalogueEntry>& entries) {
    std::vector<std::wstring> names;
    for (const auto& e : entries)
        names.push_back(e.name);
    return names;
}

} // namespace

TEST(CatalogueFromSettings, WellFormedFilesLoadAsWritten) {
    auto entries = catalogueFromSettings(readerOf({{L"ALL", L"A\u00AEB\u00AEC"},
                                                   {L"NUM", L"3"},
                                                   {L"A", L"1.1.1.1,1.0.0.1"},
                                                   {L"C", L"9.9.9.9,149.112.112.112"}}));
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0], (CatalogueEntry{L"A", L"1.1.1.1,1.0.0.1"}));
    EXPECT_EQ(entries[1], (CatalogueEntry{L"B", L""})); // missing key: empty pair
    EXPECT_EQ(entries[2].pair, L"9.9.9.9,149.112.112.112");

    // Fewer counted than listed: only the counted ones; more counted: those present.
    EXPECT_EQ(
        namesOf(catalogueFromSettings(readerOf({{L"ALL", L"A\u00AEB\u00AEC"}, {L"NUM", L"2"}}))),
        (std::vector<std::wstring>{L"A", L"B"}));
    EXPECT_EQ(namesOf(catalogueFromSettings(readerOf({{L"ALL", L"A\u00AEB"}, {L"NUM", L"40"}}))),
              (std::vector<std::wstring>{L"A", L"B"}));
    // 0 or less loads nothing; so does a missing count.
    EXPECT_TRUE(catalogueFromSettings(readerOf({{L"ALL", L"A"}, {L"NUM", L"0"}})).empty());
    EXPECT_TRUE(catalogueFromSettings(readerOf({{L"ALL", L"A"}, {L"NUM", L"-3"}})).empty());
    EXPECT_TRUE(catalogueFromSettings(readerOf({{L"ALL", L"A"}})).empty());
    // An empty list has no names whatever the count says.
    EXPECT_TRUE(catalogueFromSettings(readerOf({{L"ALL", L""}, {L"NUM", L"5"}})).empty());
    // No list at all: the preset names, with their keys.
    entries = catalogueFromSettings(readerOf({{L"NUM", L"2"}, {L"Open DNS", L"1.2.3.4,5.6.7.8"}}));
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0], (CatalogueEntry{L"Google DNS", L""}));
    EXPECT_EQ(entries[1], (CatalogueEntry{L"Open DNS", L"1.2.3.4,5.6.7.8"}));
}

TEST(CatalogueFromSettings, DamagedCountLoadsEveryListedName) {
    const std::vector<std::wstring> all{L"A", L"", L"C"};
    for (const auto* num : {L"", L"x", L"3x", L"1.5", L"32768", L"-32769", L"100000", L"+"})
        EXPECT_EQ(
            namesOf(catalogueFromSettings(readerOf({{L"ALL", L"A\u00AE\u00AEC"}, {L"NUM", num}}))),
            all)
            << "NUM=" << std::wstring(num).size();
    EXPECT_EQ(catalogueFromSettings(readerOf({{L"ALL", L"A"}, {L"NUM", L"32767"}})).size(), 1u);
    EXPECT_EQ(catalogueFromSettings(readerOf({{L"ALL", L"A\u00AEB"}, {L"NUM", L"+1"}})).size(), 1u);
    EXPECT_EQ(catalogueFromSettings(readerOf({{L"ALL", L"A\u00AEB"}, {L"NUM", L"002"}})).size(),
              2u);
}

TEST(CatalogueFromSettings, LongValuesAreKeptWhole) {
    std::wstring all;
    std::map<std::wstring, std::wstring> values;
    for (int i = 0; i < 60; ++i) {
        const std::wstring name = L"Entry number " + std::to_wstring(i);
        all += (i ? L"\u00AE" : L"") + name;
        values[name] = L"10.0.0." + std::to_wstring(i) + L",10.0.1." + std::to_wstring(i);
    }
    values[L"ALL"] = all;
    values[L"NUM"] = L"60";
    ASSERT_GT(all.size(), 499u);
    const auto entries = catalogueFromSettings(readerOf(values));
    ASSERT_EQ(entries.size(), 60u);
    EXPECT_EQ(entries[59], (CatalogueEntry{L"Entry number 59", L"10.0.0.59,10.0.1.59"}));
}

TEST(SettingsFile, PresetsAsTheProfileFunctionsWriteThem) {
    const std::wstring text = settingsFileText(presetCatalogue());
    EXPECT_EQ(text.substr(0, 8), L"[kDNS]\r\n");
    EXPECT_NE(text.find(L"\r\nALL=" + std::wstring(kPresetNames) +
                        L"\r\nNUM=18\r\nGoogle DNS=8.8.8.8,8.8.4.4\r\nOpen DNS="),
              std::wstring::npos);
    EXPECT_EQ(text.substr(text.size() - 38), L"DNS 17=198.77.116.225,198.77.116.227\r\n");
    EXPECT_EQ(settingsFileText({}), L"[kDNS]\r\nALL=\r\nNUM=0\r\n");
}

TEST(SettingsFile, KeysEqualButForCaseShareOneLine) {
    const auto lines = settingsLines({{L"google", L"1.1.1.1,1.0.0.1"},
                                      {L"x", L"2.2.2.2,3.3.3.3"},
                                      {L"Google", L"8.8.8.8,8.8.4.4"}});
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[2], (std::pair<std::wstring, std::wstring>{L"google", L"8.8.8.8,8.8.4.4"}));
    EXPECT_EQ(lines[3].first, L"x");
}

TEST(SettingsFile, KeysThatCannotComeBackAreLeftOut) {
    const auto lines = settingsLines({{L"all", L"1.1.1.1,1.0.0.1"},
                                      {L"a=b", L"1.1.1.1,1.0.0.1"},
                                      {L"[x]", L"1.1.1.1,1.0.0.1"},
                                      {L"", L"1.1.1.1,1.0.0.1"},
                                      {L"ok", L"1.1.1.1,1.0.0.1"}});
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].first, L"ALL");
    EXPECT_EQ(lines[0].second, L"all\u00AEa=b\u00AE[x]\u00AE\u00AEok");
    EXPECT_EQ(lines[1].second, L"5");
    EXPECT_EQ(lines[2].first, L"ok");
}

TEST(ProfileSection, LooksUpAsTheProfileFunctions) {
    const ProfileSection section(
        L"junk=1\r\n[other]\r\nALL=no\r\n [KDNS] \r\n  all  =  a\u00AEb  \r\n"
        L"ALL=second\r\nkey only\r\nq=\"quoted\"\r\nh='half\r\nx=a=b\r\n"
        L"[kdns]\r\nlater=1\r\n",
        L"kDNS");
    EXPECT_EQ(section.value(L"ALL"), L"a\u00AEb"); // trimmed, first wins, any case
    EXPECT_EQ(section.value(L" all "), L"a\u00AEb");
    EXPECT_EQ(section.value(L"KEY ONLY"), L"");
    EXPECT_EQ(section.value(L"q"), L"quoted");
    EXPECT_EQ(section.value(L"h"), L"'half");
    EXPECT_EQ(section.value(L"x"), L"a=b");
    EXPECT_FALSE(section.value(L"later").has_value()); // only the first such section counts
    EXPECT_FALSE(section.value(L"junk").has_value());
    EXPECT_FALSE(section.value(L"missing").has_value());
}

TEST(ProfileSection, SurvivesAnyText) {
    std::wstring garbage;
    for (int i = 0; i < 5000; ++i)
        garbage += static_cast<wchar_t>((i * 7919) % 0xD7FF);
    const ProfileSection a(garbage, L"kDNS");
    EXPECT_FALSE(a.value(L"ALL").has_value());
    const ProfileSection b(L"[kDNS", L"kDNS");
    EXPECT_FALSE(b.value(L"x").has_value());
    const ProfileSection c(L"[kDNS]\rALL=x\rNUM=1", L"kDNS"); // lone CR line ends
    EXPECT_EQ(c.value(L"NUM"), L"1");
    const ProfileSection d(L"", L"kDNS");
    EXPECT_FALSE(d.value(L"").has_value());
}

TEST(SettingsFile, RoundTripThroughTheSection) {
    std::vector<CatalogueEntry> entries = presetCatalogue();
    entries.erase(entries.begin() + 3);
    entries.push_back({L"Caf\u00E9 DNS", L"9.9.9.9,149.112.112.112"});
    const ProfileSection section(settingsFileText(entries), kSettingsSection);
    EXPECT_EQ(catalogueFromSettings([&](std::wstring_view key) { return section.value(key); }),
              entries);
}

TEST(ApplyNotice, CompletionAndFailures) {
    EXPECT_EQ(
        completionMessage(L"D", L"Google DNS"),
        L"Operation completed successfully...\r\nDNS has changed...\r\n\r\n\u00BB D\r\n\u00BB "
        L"Google DNS");
    EXPECT_EQ(applyNotice(true, InterfaceDnsResult::NotAvailable, L"D", L"N"),
              (Notice{completionMessage(L"D", L"N"), 64}));
    EXPECT_EQ(applyNotice(true, InterfaceDnsResult::Applied, L"D", L"N"),
              (Notice{completionMessage(L"D", L"N"), 64}));
    const auto saved = applyNotice(true, InterfaceDnsResult::Failed, L"D", L"N");
    EXPECT_EQ(saved.text.rfind(completionMessage(L"D", L"N"), 0), 0u);
    EXPECT_NE(saved.text.find(L"saved, but the adapter is not using them yet"), std::wstring::npos);
    const auto failed = applyNotice(false, InterfaceDnsResult::NotAvailable, L"D", L"N");
    EXPECT_EQ(failed.flags, 16u);
    EXPECT_NE(failed.text.find(L"not changed"), std::wstring::npos);
    EXPECT_NE(failed.text.find(L"administrator"), std::wstring::npos);

    EXPECT_EQ(defaultNotice(true, InterfaceDnsResult::Applied),
              (Notice{L"DNS has set to default...", 64}));
    EXPECT_EQ(defaultNotice(false, InterfaceDnsResult::NotAvailable).flags, 16u);
    EXPECT_NE(defaultNotice(true, InterfaceDnsResult::Failed).text.find(L"not using them yet"),
              std::wstring::npos);
}

TEST(FlushCommand, FullPathFromTheSystemDirectory) {
    const auto command = flushCommand(L"C:\\Windows\\system32");
    EXPECT_EQ(command.application, L"C:\\Windows\\system32\\ipconfig.exe");
    EXPECT_EQ(command.commandLine, L"\"C:\\Windows\\system32\\ipconfig.exe\" /flushdns");
    EXPECT_EQ(flushCommand(L"C:\\").application, L"C:\\ipconfig.exe");
    EXPECT_TRUE(flushCommand(L"").application.empty());
    EXPECT_TRUE(flushCommand(L"").commandLine.empty());
}
