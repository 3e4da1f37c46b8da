// Encrypted DNS: which templates are accepted, which servers they serve, the flags of each
// setting, the catalogue's templates and the settings file's DoH section.
#include "catalogue/catalogue.h"
#include "dns/doh.h"

#include <gtest/gtest.h>

#include <map>

using namespace dns;

TEST(DohTemplate, AcceptsHttpsWithANameOrTheServersOwnAddress) {
    for (const auto* good :
         {L"https://dns.google/dns-query", L"HTTPS://dns.example:8443/q{?dns}",
          L"https://doh.cleanbrowsing.org/doh/security-filter/", L"https://a-b.example"})
        EXPECT_TRUE(validTemplate(good)) << good;
    const std::wstring longest = L"https://d.example/" + std::wstring(kMaxTemplateLength - 18, 'x');
    EXPECT_TRUE(validTemplate(longest));
    for (const auto* bad :
         {L"", L"http://dns.google/dns-query", L"https://", L"https:///q", L"https://dns google/",
          L"https://dns.google/a b", L"https://dns.google/\ta", L"https://u@dns.google/",
          L"https://-dns.google/", L"https://dns.google:0/", L"https://dns.google:99999/",
          L"https://caf\u00E9.example/", L"https://[::1/"})
        EXPECT_FALSE(validTemplate(bad)) << bad;
    EXPECT_FALSE(validTemplate(longest + L"x"));
    EXPECT_FALSE(templateProblem(longest + L"x").empty());
    // An address as host serves only that server, and only when it is given.
    EXPECT_FALSE(validTemplate(L"https://1.1.1.1/dns-query"));
    EXPECT_TRUE(validTemplate(L"https://1.1.1.1/dns-query", L"1.1.1.1"));
    EXPECT_FALSE(validTemplate(L"https://1.0.0.1/dns-query", L"1.1.1.1"));
    EXPECT_TRUE(validTemplate(L"https://[2606:4700::1111]/q", L"2606:4700:0::1111"));
    EXPECT_EQ(templateHost(L"https://[fd00::1]:443/q"), L"fd00::1");
}

TEST(DohTemplate, OnlyPrintableAsciiAndHostsReadAsAUrlParserReadsThem) {
    // Every character outside printable ASCII, wherever it stands.
    for (const wchar_t c : {L'\x7F', L'\x85', L'\x9B', L'\xA0', L'\x3000', L'\x2028', L'\x202E',
                            L'\xFEFF', L'\xFFFD', L'\x1F'})
        for (const auto& url : {L"https://dns.example/q" + std::wstring(1, c),
                                L"https://dns" + std::wstring(1, c) + L".example/q"}) {
            EXPECT_FALSE(validTemplate(url)) << static_cast<unsigned>(c);
            EXPECT_FALSE(templateProblem(url).empty()) << static_cast<unsigned>(c);
        }
    // Hosts that end in a number are IPv4 addresses to a URL parser: only the server's own.
    struct Case {
        const wchar_t* url;
        const wchar_t* server; // the one server the host serves; nullptr: no address at all
    };
    for (const auto& [url, server] :
         {Case{L"https://0x08080808/q", L"8.8.8.8"}, Case{L"https://0x8.8.8.8/q", L"8.8.8.8"},
          Case{L"https://010.8.8.8/q", L"8.8.8.8"}, Case{L"https://8.8.2056/q", L"8.8.8.8"},
          Case{L"https://134744072/q", L"8.8.8.8"}, Case{L"https://8.8.8.8./q", L"8.8.8.8"},
          Case{L"https://0X8.010.0x8.8:443/q", L"8.8.8.8"}, Case{L"https://1.1/q", L"1.0.0.1"}}) {
        EXPECT_FALSE(validTemplate(url)) << url;
        EXPECT_FALSE(validTemplate(url, L"1.1.1.1")) << url;
        EXPECT_TRUE(validTemplate(url, server)) << url;
        EXPECT_TRUE(templateServes(url, server)) << url;
        EXPECT_FALSE(templateServes(url, L"9.9.9.9")) << url;
    }
    // Numbers that are no address are no host either; names with a digit label stay names.
    for (const auto* bad : {L"https://dns.example.123/q", L"https://8.8.8.8.8/q",
                            L"https://0x1g.0x8/q", L"https://256.1.1.1/q"})
        EXPECT_FALSE(validTemplate(bad, L"8.8.8.8")) << bad;
    EXPECT_TRUE(validTemplate(L"https://1dot1.0x1g/q"));
    EXPECT_TRUE(validTemplate(L"https://dns9.example/q"));
}

TEST(DohSettingsForApply, EveryServedServerWithTheModesFlags) {
    EXPECT_EQ(dohFlags(DohMode::Fallback), 6u); // template given + plain when it fails
    EXPECT_EQ(dohFlags(DohMode::Only), 2u);
    const std::wstring google = L"https://dns.google/dns-query";
    const auto settings =
        dohSettingsFor(google, DohMode::Fallback, L"8.8.8.8,8.8.4.4", L"2001:4860:4860:0::8888");
    ASSERT_TRUE(settings.present);
    EXPECT_EQ(settings.servers,
              (std::vector<DohServer>{{Family::V4, L"8.8.8.8", 6, google},
                                      {Family::V4, L"8.8.4.4", 6, google},
                                      {Family::V6, L"2001:4860:4860::8888", 6, google}}));
    EXPECT_EQ(dohSettingsFor(google, DohMode::Off, L"8.8.8.8", L""), DohSettings{});
    EXPECT_EQ(dohSettingsFor(L"", DohMode::Only, L"8.8.8.8", L""), DohSettings{});
    const auto one = dohSettingsFor(L"https://1.0.0.1/q", DohMode::Only, L"1.1.1.1,1.0.0.1", L"");
    ASSERT_EQ(one.servers.size(), 1u);
    EXPECT_EQ(one.servers[0].address, L"1.0.0.1");
    // What the live call gets: the index of each server in its family's list.
    const auto indexed = dohServersOf(one, Family::V4, L"1.1.1.1,1.0.0.1");
    ASSERT_EQ(indexed.size(), 1u);
    EXPECT_EQ(indexed[0].index, 1u);
    EXPECT_TRUE(dohServersOf(one, Family::V6, L"1.0.0.1").empty());
}

TEST(DohSetting, NamesPolicyAndBuilds) {
    for (const auto mode : {DohMode::Off, DohMode::Fallback, DohMode::Only})
        EXPECT_EQ(dohModeNamed(dohModeName(mode)), mode);
    EXPECT_EQ(dohModeNamed(L"ONLY"), DohMode::Only);
    EXPECT_EQ(dohModeNamed(L"fallback"), std::nullopt);
    EXPECT_EQ(dohPolicyOf(1), DohPolicy::Forbidden);
    EXPECT_EQ(dohPolicyOf(3), DohPolicy::Required);
    EXPECT_EQ(dohPolicyOf(7), DohPolicy::NotConfigured);
    EXPECT_EQ(dohPolicyOf(std::nullopt), DohPolicy::NotConfigured);
    EXPECT_FALSE(offersDohPerAdapter(19045));
    EXPECT_TRUE(offersDohPerAdapter(22000));
}

namespace {

catalogue::SettingsReader readerOf(const std::map<std::wstring, std::wstring>& values) {
    return [values](std::wstring_view key) -> std::optional<std::wstring> {
        const auto it = values.find(std::wstring(key));
        if (it == values.end()) return std::nullopt;
        return it->second;
    };
}

} // namespace

TEST(CatalogueTemplates, PresetsKeepTheirExtrasUnlessTheFileSaysOtherwise) {
    using catalogue::CatalogueEntry;
    std::vector<CatalogueEntry> entries = {{L"Google DNS", L"8.8.8.8,8.8.4.4"},
                                           {L"Open DNS", L"208.67.222.222,208.67.220.220"},
                                           {L"Google DNS ", L"8.8.8.8,8.8.4.5"},
                                           {L"Mine", L"10.0.0.53,10.0.0.54"}};
    catalogue::addPairs6AndTemplates(entries, readerOf({{L"Open DNS", L""}}),
                                     readerOf({{L"Mine", L"https://dns.mine.example/q"}}));
    EXPECT_EQ(entries[0].pair6, L"2001:4860:4860::8888,2001:4860:4860::8844");
    EXPECT_EQ(entries[0].doh, L"https://dns.google/dns-query");
    EXPECT_EQ(entries[1].pair6, L"") << "the file's empty IPv6 value overrides";
    EXPECT_EQ(entries[1].doh, L"https://doh.opendns.com/dns-query");
    EXPECT_EQ(entries[2].doh, L"") << "another pair is not the preset";
    EXPECT_EQ(entries[3].doh, L"https://dns.mine.example/q");

    // Saved: the preset's own template is not written, overrides and the user's are.
    using Lines = std::vector<std::pair<std::wstring, std::wstring>>;
    EXPECT_EQ(catalogue::dohLines(entries, tk::foldAscii),
              (Lines{{L"Mine", L"https://dns.mine.example/q"}}));
    EXPECT_EQ(
        catalogue::ipv6Lines(entries, tk::foldAscii),
        (Lines{{L"Google DNS", L"2001:4860:4860::8888,2001:4860:4860::8844"}, {L"Open DNS", L""}}));
    entries[0].doh.clear();
    EXPECT_EQ(catalogue::dohLines(entries, tk::foldAscii)[0],
              (std::pair<std::wstring, std::wstring>{L"Google DNS", L""}));
    const auto presets = catalogue::presetCatalogue();
    EXPECT_EQ(catalogue::settingsFileText(presets, tk::foldAscii).find(L"[kDoH]"),
              std::wstring::npos);
}

TEST(CatalogueTemplates, KnownServicesAreAddedOnceEach) {
    std::vector<catalogue::CatalogueEntry> entries = {{L"quad9", L"9.9.9.10"}};
    const auto added = catalogue::addKnownServices(entries, tk::foldAscii);
    EXPECT_EQ(added, (std::vector<std::wstring>{L"Cloudflare", L"AdGuard DNS",
                                                L"CleanBrowsing (security filter)"}));
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].pair, L"9.9.9.10") << "the user's entry stays as it was";
    for (std::size_t i = 1; i < entries.size(); ++i) {
        EXPECT_EQ(serverList(entries[i].pair).size(), 2u) << entries[i].name;
        EXPECT_EQ(serverList(entries[i].pair6).size(), 2u) << entries[i].name;
        for (const auto& server : serverList(entries[i].pair + L"," + entries[i].pair6))
            EXPECT_TRUE(familyOf(server) && templateServes(entries[i].doh, server));
        EXPECT_TRUE(validTemplate(entries[i].doh)) << entries[i].name;
    }
    EXPECT_TRUE(catalogue::addKnownServices(entries, tk::foldAscii).empty());
}
