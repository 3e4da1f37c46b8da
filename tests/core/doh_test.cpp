// Encrypted DNS: which templates are accepted, which servers they serve, the flags of each
// setting, the catalogue's templates and the settings file's DoH section.
#include "catalogue/catalogue.h"
#include "dns/dnsmessage.h"
#include "dns/doh.h"
#include "dns/dohquery.h"

#include <gtest/gtest.h>

#include <map>
#include <tuple>

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
    using V = std::optional<std::uint32_t>;
    // DoHPolicy, DohPolicySetting: the newer value blocks DoH whatever the older one says.
    for (const auto& [older, newer, policy] :
         {std::tuple{V(1), V(), DohPolicy::Forbidden}, std::tuple{V(3), V(), DohPolicy::Required},
          std::tuple{V(7), V(), DohPolicy::NotConfigured},
          std::tuple{V(), V(), DohPolicy::NotConfigured},
          std::tuple{V(), V(1), DohPolicy::Forbidden}, std::tuple{V(3), V(1), DohPolicy::Forbidden},
          std::tuple{V(2), V(0), DohPolicy::Allowed}})
        EXPECT_EQ(dohPolicyOf(older, newer), policy);
    // The system's own answer where it gives one, else Windows Server 2022's build and later.
    using P = std::optional<bool>;
    for (const auto& [probe, build, offered] :
         {std::tuple{P(), 19045u, false}, std::tuple{P(), 20347u, false},
          std::tuple{P(), 20348u, true}, std::tuple{P(), 22631u, true},
          std::tuple{P(false), 22631u, false}, std::tuple{P(true), 19045u, true}})
        EXPECT_EQ(offersDohPerAdapter(probe, build), offered) << build;
}

TEST(DohSetting, TheAutomaticTemplateReadsAsEncryptedAndNamesTheListedHost) {
    const DohServer given{Family::V4, L"8.8.8.8", 6, L"https://dns.google/dns-query"};
    const DohServer automatic{Family::V4, L"1.1.1.1", 1, std::nullopt};
    const DohServer automaticFallback{Family::V6, L"2606:4700:4700::1111", 5, std::nullopt};
    const std::vector<DohServer> known = {
        {Family::V4, L"1.1.1.1", 7, L"https://cloudflare-dns.com/dns-query"}};
    for (const auto& [servers, wellKnown, text] : {
             std::tuple{std::vector{automatic}, std::vector<DohServer>{},
                        L"DNS over HTTPS (automatic template), encrypted only"},
             std::tuple{std::vector{automatic}, known,
                        L"DNS over HTTPS (automatic template: cloudflare-dns.com), encrypted only"},
             std::tuple{std::vector{automaticFallback}, known,
                        L"DNS over HTTPS (automatic template), plain when it fails"},
             std::tuple{std::vector{given, automatic}, known,
                        L"DNS over HTTPS (dns.google, automatic template: cloudflare-dns.com)"},
             std::tuple{std::vector{DohServer{Family::V4, L"1.1.1.1", 4, std::nullopt}}, known,
                        L"no"},
         }) {
        EXPECT_EQ(encryptionText(servers, std::nullopt, wellKnown), text);
        EXPECT_EQ(anyEncrypted(servers), text != std::wstring(L"no"));
    }
    EXPECT_EQ(encryptionText({automatic}, std::vector{automaticFallback}),
              L"DNS over HTTPS (automatic template), encrypted only; in force");
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

TEST(DohQuery, EndpointsAndTheServerTimedOverDoh) {
    EXPECT_EQ(dohEndpoint(L"https://dns.google/dns-query"),
              (DohEndpoint{L"dns.google", false, 443, L"/dns-query"}));
    EXPECT_EQ(dohEndpoint(L"HTTPS://127.0.0.5:8443/q{?dns}#x"),
              (DohEndpoint{L"127.0.0.5", true, 8443, L"/q"}));
    EXPECT_EQ(dohEndpoint(L"https://[::1]:9/a?b=1"), (DohEndpoint{L"::1", true, 9, L"/a?b=1"}));
    EXPECT_EQ(dohEndpoint(L"https://dns.example"), (DohEndpoint{L"dns.example", false, 443, L"/"}));
    EXPECT_EQ(dohEndpoint(L"https://dns.example/{?dns"), std::nullopt);
    EXPECT_EQ(dohEndpoint(L"http://dns.example/"), std::nullopt);

    using catalogue::CatalogueEntry;
    using R = std::optional<ServerRole>;
    const CatalogueEntry google{L"G", L"8.8.8.8,8.8.4.4", L"2001:4860:4860::8888",
                                L"https://dns.google/dns-query"};
    const CatalogueEntry local{L"L", L"127.0.0.9,127.0.0.5", L"", L"https://127.0.0.5:8443/q"};
    const CatalogueEntry plain{L"P", L"127.0.0.5"};
    // Entry, loopback guard, the server timed: a named host only without the guard (no
    // lookup then), an address host for itself.
    for (const auto& [entry, guard, role] :
         {std::tuple{google, false, R(ServerRole::Preferred)}, std::tuple{google, true, R()},
          std::tuple{local, true, R(ServerRole::Alternate)},
          std::tuple{local, false, R(ServerRole::Alternate)}, std::tuple{plain, false, R()}})
        EXPECT_EQ(dohRole(entry, guard), role) << entry.name << guard;
    EXPECT_TRUE(anyDoh({plain, local}, true));
    EXPECT_FALSE(anyDoh({plain, google}, true));
}

TEST(DohQuery, OnlyADnsAnswerToTheQuestionCountsAsATime) {
    const auto query = *buildQuery(0, "example.com");
    auto answer = query;
    answer[2] |= 0x80; // QR: a response, NOERROR
    auto refused = answer;
    refused[3] = (refused[3] & 0xF0) | 5;
    auto otherId = answer;
    otherId[1] = 7;
    const std::wstring type = L"application/dns-message";
    using X = DohExchange;
    using P = std::optional<std::wstring>;
    for (const auto& [exchange, problem] : {
             std::tuple{X{HttpsResult::Response, 200, type, answer}, P()},
             std::tuple{X{HttpsResult::Response, 200, L"Application/DNS-Message; x=1", answer},
                        P()},
             std::tuple{X{HttpsResult::Response, 500, type, answer}, P(L"HTTP 500")},
             std::tuple{X{HttpsResult::Response, 200, L"text/html", answer},
                        P(L"not a DNS answer")},
             std::tuple{X{HttpsResult::Response, 200, type, {'<', 'h', 't', 'm', 'l', '>'}},
                        P(L"not a DNS answer")},
             std::tuple{X{HttpsResult::Response, 200, type, query}, P(L"not a DNS answer")},
             std::tuple{X{HttpsResult::Response, 200, type, otherId}, P(L"not a DNS answer")},
             std::tuple{X{HttpsResult::Response, 200, type, refused}, P(L"REFUSED")},
             std::tuple{X{HttpsResult::TlsFailure}, P(L"TLS failure")},
             std::tuple{X{HttpsResult::TimedOut}, P(L"no answer")},
         })
        EXPECT_EQ(dohProblem(exchange, 0, "example.com"), problem) << exchange.status;
}
