// Server addresses: the text forms accepted, their canonical text, and the server lists that
// NameServer values and restore records hold.
#include "dns/address.h"
#include "dns/nameserver_state.h"

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
