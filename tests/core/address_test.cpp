// Server addresses: the text forms accepted, their canonical text, and the server lists that
// NameServer values and restore records hold.
#include "dns/address.h"
#include "dns/nameserver_state.h"
#include "dns/request.h"

#include <gtest/gtest.h>

using namespace dns;

TEST(Addresses, TextFormsAccepted) {
    for (const auto* good : {L"1.1.1.1", L"255.255.255.255", L"10.0.0.1"})
        EXPECT_TRUE(parseIPv4(good)) << good;
    for (const auto* bad : {L"", L"0.0.0.0", L"1.1.1", L"1.1.1.1.1", L"01.1.1.1", L"1.1.1.256",
                            L"1..1.1", L"a.b.c.d", L" 1.1.1.1", L"1.1.1.1 ", L"::1"})
        EXPECT_FALSE(parseIPv4(bad)) << bad;
    for (const auto* good : {L"::1", L"2606:4700:4700::1111", L"fe80::", L"1:2:3:4:5:6:7:8",
                             L"::ffff:1.2.3.4", L"1::2:3:4:5:6:7", L"ABCD::ef"})
        EXPECT_TRUE(parseIPv6(good)) << good;
    for (const auto* bad : {L"", L"::", L"1:2:3:4:5:6:7", L"1:2:3:4:5:6:7:8:9", L"1::2::3", L":1::",
                            L"12345::", L"g::1", L"fe80::1%4", L"1.2.3.4", L"1:2:3:4:5:6:7::8"})
        EXPECT_FALSE(parseIPv6(bad)) << bad;
    EXPECT_EQ(*parseIPv6(L"::ffff:1.2.3.4"),
              (IPv6{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff, 1, 2, 3, 4}));
}

TEST(Addresses, CanonicalText) {
    const struct {
        const wchar_t *in, *out;
    } cases[] = {
        {L"2001:0DB8:0000:0000:0001:0000:0000:0001", L"2001:db8::1:0:0:1"}, // first longest run
        {L"2001:db8:0:1:1:1:1:1", L"2001:db8:0:1:1:1:1:1"},                 // one zero: no "::"
        {L"0:0:0:0:0:0:0:1", L"::1"},
        {L"fe80:0:0:0:0:0:0:0", L"fe80::"},
        {L"1:0:0:2:0:0:0:3", L"1:0:0:2::3"},
        {L"::FFFF:10.0.0.1", L"::ffff:10.0.0.1"},
        {L"2606:4700:4700::1111", L"2606:4700:4700::1111"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(canonicalAddress(Family::V6, c.in), c.out) << c.in;
    EXPECT_EQ(canonicalAddress(Family::V4, L"192.0.2.255"), L"192.0.2.255");
    EXPECT_EQ(canonicalAddress(Family::V4, L"::1"), std::nullopt);
}

TEST(ServerLists, PairsAndRecordValues) {
    EXPECT_EQ(serverPairValue(Family::V6, L"2001:4860:4860:0::8888, 2001:4860:4860::8844"),
              L"2001:4860:4860::8888,2001:4860:4860::8844");
    EXPECT_EQ(serverPairValue(Family::V6, L""), L"");
    EXPECT_EQ(serverPairValue(Family::V4, L"1.1.1.1"), L"1.1.1.1");
    for (const auto* bad : {L"::1,::2,::3", L"not-an-ipv6", L"1.1.1.1"})
        EXPECT_EQ(serverPairValue(Family::V6, bad), std::nullopt) << bad;
    EXPECT_EQ(serverList(L" 8.8.8.8,,8.8.4.4 "),
              (std::vector<std::wstring>{L"8.8.8.8", L"8.8.4.4"}));

    // A restore record is written into HKLM: every value must be absent, empty or servers of
    // its own family.
    NameServerState state;
    state.at(Family::V4, 0) = L"8.8.8.8 8.8.4.4";
    state.at(Family::V4, 1) = L"";
    state.at(Family::V6, 2) = L"fd00::53";
    EXPECT_EQ(decodeState(encodeState(state)), state);
    for (const auto* bad : {L"=evil%0020text;%0000tail|-|-|-|-|-", L"-|-|-|-|-|=not-an-ipv6",
                            L"=fd00::1|-|-|-|-|-", L"-|-|-|=9.9.9.9|-|-"})
        EXPECT_EQ(decodeState(bad), std::nullopt) << bad;
}

TEST(ChangeRequests, OnlyAddressesADnsServerCanHaveGoAheadInCanonicalText) {
    struct Case {
        const wchar_t *v4, *v6;
        const wchar_t* refusal; // empty: accepted
    } cases[] = {
        {L"8.8.8.8,127.0.0.53", L"2001:4860:4860:0::8888,::1", L""}, // loopback: a local proxy
        {L"1.1.1.1,223.255.255.255", L"", L""},
        {L"0.8.4.4,8.8.8.8", L"", L"\"0.8.4.4\" lies in 0.0.0.0/8, which names no host."},
        {L"0.0.0.0", L"", L"\"0.0.0.0\" lies in 0.0.0.0/8, which names no host."},
        {L"8.8.8.8,255.255.255.255", L"", L"\"255.255.255.255\" is the broadcast address."},
        {L"224.0.0.251", L"", L"\"224.0.0.251\" is a multicast address."},
        {L"239.255.255.250", L"", L"\"239.255.255.250\" is a multicast address."},
        {L"240.0.0.1", L"", L"\"240.0.0.1\" lies in the reserved range 240.0.0.0/4."},
        {L"999.1.1.1,8.8.8.8", L"", L"\"999.1.1.1\" is not an IPv4 address."},
        {L"8.8.8.8", L"::", L"\"::\" is the unspecified address."},
        {L"8.8.8.8", L"ff02::fb", L"\"ff02::fb\" is a multicast address."},
        {L"8.8.8.8", L"fe80::1",
         L"\"fe80::1\" is a link-local address, which a server list cannot tie to an adapter."},
        {L"8.8.8.8", L"fe80::1%4", L"\"fe80::1%4\" is not an IPv6 address."},
    };
    for (const auto& c : cases) {
        auto request = typedRequest(serverList(c.v4), serverList(c.v6), {}, DohMode::Off);
        EXPECT_EQ(checkRequest(request), c.refusal) << c.v4 << " " << c.v6;
    }
    auto request = typedRequest({L"8.8.8.8", L"127.0.0.53"}, {L"2001:4860:4860:0::8888", L"::1"},
                                {}, DohMode::Off);
    ASSERT_EQ(checkRequest(request), L"");
    EXPECT_EQ(request.servers6, L"2001:4860:4860::8888,::1");
    // DNS Default and Restore carry no servers to check.
    auto automatic = defaultRequest();
    EXPECT_EQ(checkRequest(automatic), L"");
}

TEST(ChangeRequests, AnEntryIsTheSameRequestWhicheverFrontEndAsks) {
    const catalogue::CatalogueEntry google{L"Google DNS", L" 8.8.8.8 ,8.8.4.4",
                                           L"2001:4860:4860::8888, 2001:4860:4860::8844",
                                           L"https://dns.google/dns-query"};
    const auto request = entryRequest(google, DohMode::Only);
    ASSERT_TRUE(request);
    EXPECT_EQ(request->servers, L"8.8.8.8,8.8.4.4");
    EXPECT_EQ(request->servers6, L"2001:4860:4860::8888,2001:4860:4860::8844");
    EXPECT_EQ(request->dohTemplate, L"https://dns.google/dns-query");
    EXPECT_EQ(request->doh, DohMode::Only);
    EXPECT_EQ(entryServers(google),
              (EntryServers{{L"8.8.8.8", L"8.8.4.4"},
                            {L"2001:4860:4860::8888", L"2001:4860:4860::8844"}}));
    // A malformed part is handed to the engine as it is, which refuses it by name; a missing
    // or unset preferred server is no request at all, a missing alternate is left out.
    const auto malformed = entryRequest({L"Bad", L"999.1.1.1,8.8.8.8"}, DohMode::Off);
    ASSERT_TRUE(malformed);
    EXPECT_EQ(malformed->servers, L"999.1.1.1,8.8.8.8");
    EXPECT_EQ(entryServers({L"Bad", L"999.1.1.1,8.8.8.8"}), std::nullopt);
    for (const wchar_t* pair : {L"8.8.8.8", L"8.8.8.8,0.0.0.0"})
        EXPECT_EQ(entryRequest({L"One", pair}, DohMode::Off)->servers, L"8.8.8.8") << pair;
    for (const wchar_t* pair : {L"0.0.0.0,8.8.4.4", L",8.8.4.4", L""})
        EXPECT_EQ(entryRequest({L"Half", pair}, DohMode::Off), std::nullopt) << pair;
}

TEST(ChangeRequests, TheEveryAdapterQuestionNamesEachAdapterAndTheServersItGets) {
    const auto google = entryRequest(
        {L"Google DNS", L"8.8.8.8,8.8.4.4", L"2001:4860:4860::8888,2001:4860:4860::8844"},
        DohMode::Off);
    EXPECT_EQ(changeEachQuestion(*google, {L"Wired", L"Wireless"}, L"Google DNS"),
              L"Apply Google DNS to every connected adapter?\r\n\r\n\u00BB Wired\r\n\u00BB "
              L"Wireless\r\n\r\nEach of them gets:\r\nIPv4: 8.8.8.8, 8.8.4.4\r\nIPv6: "
              L"2001:4860:4860::8888, 2001:4860:4860::8844");
    // Typed servers without IPv6 ones: no IPv6 line, and no entry to name.
    const auto typed = typedRequest({L"1.1.1.1"}, {}, {}, DohMode::Off);
    EXPECT_EQ(changeEachQuestion(typed, {L"Wired"}, kCustomAppliedName),
              L"Apply these DNS servers to every connected adapter?\r\n\r\n\u00BB Wired\r\n\r\n"
              L"Each of them gets:\r\nIPv4: 1.1.1.1");
}
