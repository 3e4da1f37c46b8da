// The engine's verdict on a change, and what the window says of it.
#include "dns/dnsplan.h"

#include <gtest/gtest.h>

using namespace dns;

namespace {

const Writes kAll{{true, true, true}, {true, true, true}};

ChangeOutcome applied(Result result, ServersInUse inUse, bool recorded = false) {
    ChangeOutcome o;
    o.result = result;
    o.written = kAll;
    o.servers = L"8.8.8.8,8.8.4.4";
    o.servers6 = L"2001:4860:4860::8888";
    o.live = InterfaceDnsResult::Applied;
    o.inUse = std::move(inUse);
    o.recorded = recorded;
    return o;
}

} // namespace

TEST(Verdict, FromWhatWasWrittenToldAndReadBack) {
    using enum InterfaceDnsResult;
    using Servers = std::vector<std::wstring>;
    const Servers set{L"1.1.1.1", L"1.0.0.1", L"2606:4700:4700::1111"};
    const Writes v4Only{{true, true, true}, {false, false, false}};
    const struct {
        Writes written;
        InterfaceDnsResult live;
        Servers applied;
        ServersInUse inUse;
        Result result;
    } cases[] = {
        // In another order and text form, the same servers count as applied.
        {kAll, Applied, set, Servers{L"2606:4700:4700:0::1111", L"1.0.0.1", L"1.1.1.1"},
         Result::Applied},
        {kAll, Applied, set, Servers{L"1.1.1.1", L"2606:4700:4700::1111"},
         Result::OtherServersInUse},
        {kAll, Applied, {L"1.1.1.1"}, Servers{L"1.1.1.1", L"fd00::53"}, Result::OtherServersInUse},
        {kAll, Applied, {}, Servers{L"192.168.1.1"}, Result::Applied}, // Default: DHCP's
        {kAll, Applied, set, std::nullopt, Result::Saved},
        {kAll, NotAvailable, set, std::nullopt, Result::Saved},
        {kAll, NotAvailable, set, Servers{L"9.9.9.9"}, Result::Saved}, // not told: reconnect
        {kAll, Failed, set, std::nullopt, Result::Refused},
        {kAll, Failed, set, set, Result::Applied},
        {Writes{{true, false, true}, {true, false, true}}, Applied, set, set,
         Result::PartlyWritten},
        {v4Only, NotAvailable, set, std::nullopt, Result::PartlyWritten}, // IPv6 refused
        {Writes{}, NotAvailable, set, std::nullopt, Result::NotWritten},
    };
    for (const auto& c : cases)
        EXPECT_EQ(judge(c.written, c.live, c.applied, c.inUse), c.result)
            << static_cast<int>(c.result);
}

TEST(ChangeNotice, CompletionNamesWhatWasWrittenAndHowToUndoIt) {
    const std::wstring done = L"Operation completed successfully...\r\nDNS has changed...\r\n\r\n"
                              L"\u00BB D\r\n\u00BB Google DNS\r\n\u00BB Servers: 8.8.8.8, "
                              L"8.8.4.4, 2001:4860:4860::8888\r\n\u00BB In use: ";
    EXPECT_EQ(changeNotice(applied(Result::Applied, std::vector<std::wstring>{L"8.8.8.8"}), L"D",
                           L"Google DNS"),
              (Notice{done + L"8.8.8.8", kInformationFlags}));
    EXPECT_EQ(changeNotice(applied(Result::Saved, std::nullopt, true), L"D", L"Google DNS").text,
              done + L"not reported by Windows\r\n\r\nThe DNS servers were saved and handed to the "
                     L"adapter. Windows does not say which servers it uses now...\r\n\r\nTo undo "
                     L"this, choose \"Restore previous DNS\" in the window menu (right-click the "
                     L"window, or Alt+Space).");
    auto other = applied(Result::OtherServersInUse, std::vector<std::wstring>{L"192.168.1.1"});
    EXPECT_EQ(changeNotice(other, L"D", L"Google DNS").text,
              done + L"192.168.1.1\r\n\r\nThe DNS servers were saved, but Windows still uses "
                     L"192.168.1.1.\r\nThey take effect when the adapter reconnects or Windows "
                     L"restarts...\r\n\r\nReconnect the adapter (unplug its cable, or turn "
                     L"Wi-Fi off and on) or restart Windows, then check \"Current DNS servers\" "
                     L"in the window menu.");
    ChangeOutcome reset = applied(Result::Applied, std::vector<std::wstring>{});
    reset.kind = ChangeKind::Default;
    EXPECT_EQ(changeNotice(reset, L"D").text, L"DNS has set to default...\r\n\u00BB In use: none");
}

// Saved but not in force: the warning icon, the specified first lines, then what to do.
TEST(ChangeNotice, WarningIconWhenSavedButNotInForce) {
    using Servers = std::vector<std::wstring>;
    const Warning notConnected{std::wstring(kNotConnectedWarning), L"\"D\" is not connected."};
    const Warning rule{std::wstring(kPolicyRuleWarning), L"A rule sends every name elsewhere."};
    const Warning others{std::wstring(kOtherAdapterWarning), L"Others too."};
    const struct {
        ChangeOutcome outcome;
        std::vector<Warning> warnings;
        unsigned flags;
        const wchar_t* step; // the step the text ends in, before "To undo"
    } cases[] = {
        {applied(Result::Applied, Servers{L"8.8.8.8"}), {}, kInformationFlags, nullptr},
        {applied(Result::Applied, Servers{L"8.8.8.8"}), {others}, kInformationFlags, nullptr},
        {applied(Result::Saved, std::nullopt), {}, kInformationFlags, nullptr},
        {applied(Result::Saved, Servers{L"9.9.9.9"}), {}, kWarningFlags, L"Reconnect the adapter"},
        {applied(Result::OtherServersInUse, Servers{L"9.9.9.9"}),
         {},
         kWarningFlags,
         L"Reconnect the adapter"},
        {applied(Result::Refused, std::nullopt), {}, kWarningFlags, L"Reconnect the adapter"},
        {applied(Result::Applied, Servers{L"8.8.8.8"}),
         {notConnected},
         kWarningFlags,
         L"Connect the adapter to use them"},
        {applied(Result::Saved, std::nullopt), {rule}, kWarningFlags, L"Your VPN"},
        {applied(Result::PartlyWritten, std::nullopt), {rule}, kStopFlags, nullptr},
    };
    for (const auto& c : cases) {
        auto o = c.outcome;
        o.warnings = c.warnings;
        const auto notice = changeNotice(o, L"D", L"Google DNS");
        const auto why = testing::PrintToString(notice.text);
        EXPECT_EQ(notice.flags, c.flags) << why;
        EXPECT_EQ(savedNotInForce(o), c.flags == kWarningFlags) << why;
        const bool completed =
            notice.text.starts_with(L"Operation completed successfully...\r\nDNS has changed...");
        EXPECT_EQ(completed, c.flags != kStopFlags) << why;
        const auto steps = nextSteps(o);
        ASSERT_EQ(steps.empty(), c.step == nullptr) << why;
        if (c.step) {
            EXPECT_TRUE(steps.back().starts_with(c.step)) << why;
        }
        EXPECT_EQ(notice.text.find(L" /"), std::wstring::npos) << "no command-line syntax";
        if (!c.warnings.empty() && c.warnings[0] == others) {
            EXPECT_NE(notice.text.find(L"Others too. \"Apply to every connected adapter\" in the "
                                       L"window menu changes them all."),
                      std::wstring::npos)
                << why;
        }
    }
    auto rejected = applied(Result::OtherServersInUse, Servers{L"9.9.9.9"});
    rejected.kind = ChangeKind::Default;
    EXPECT_EQ(changeNotice(rejected, L"D").text.rfind(L"DNS has set to default...", 0), 0u);
    EXPECT_EQ(changeEachNotice({applied(Result::Applied,
                                        Servers{L"8.8.8.8", L"8.8.4.4", L"2001:4860:4860::8888"}),
                                rejected},
                               {L"A", L"B"})
                  .flags,
              kWarningFlags);
}

TEST(ChangeNotice, FailuresStopAndNameWhatWasNotWritten) {
    ChangeOutcome o;
    o.kind = ChangeKind::Restore;
    o.result = Result::PartlyWritten;
    o.written = Writes{{true, true, true}, {true, false, false}};
    EXPECT_EQ(changeNotice(o, L"D"),
              (Notice{L"The DNS servers were changed only in part.\r\nWritten: ControlSet001, "
                      L"ControlSet002 (IPv4), CurrentControlSet (IPv4)\r\nNot written: "
                      L"ControlSet002 (IPv6), CurrentControlSet (IPv6)\r\nRun Keldrast as "
                      L"administrator and try again...\r\nThe previous settings stay recorded, so "
                      L"Restore can be tried again.",
                      kStopFlags}));
    o.kind = ChangeKind::Apply;
    o.result = Result::NoRestorePoint;
    o.why = L"Why.";
    EXPECT_EQ(changeNotice(o, L"D").text,
              L"The DNS servers were not changed: Keldrast could not record the present ones, so "
              L"there would be no way back.\r\nWhy.");
    o.result = Result::BadRestoreRecord;
    EXPECT_NE(changeNotice(o, L"D", L"", L"C:\\K\\Keldrast.ini").text.find(L"C:\\K\\Keldrast.ini"),
              std::wstring::npos);
}

TEST(CurrentDns, EveryKindOfServerNamed) {
    EXPECT_EQ(
        currentDnsText(L"Ethernet", {L"8.8.8.8,8.8.4.4", std::nullopt, L"192.168.1.1 10.0.0.1", L"",
                                     ServersInUse{{L"8.8.8.8", L"fd00::1"}},
                                     AdapterStatus{true, true, true, AdapterKind::Ethernet}}),
        L"\u00BB Ethernet\r\nConnection: connected (Ethernet), carries the default route\r\n"
        L"IPv4 servers set: 8.8.8.8, 8.8.4.4\r\nIPv6 servers set: "
        L"none\r\nAutomatic (DHCP): 192.168.1.1, 10.0.0.1\r\nIn use: 8.8.8.8, fd00::1\r\n"
        L"Encrypted: no");
    EXPECT_EQ(currentDnsText(L"E", {}).substr(currentDnsText(L"E", {}).rfind(L"In use")),
              L"In use: not reported by Windows\r\nEncrypted: no");
}

TEST(ApplyTarget, OnlyABracedInterfaceGuid) {
    for (const auto* good :
         {L"{1D7E0C6B-0000-4000-8000-000000000001}", L"{abcdef01-2345-6789-ABCD-EF0123456789}"})
        EXPECT_TRUE(isInterfaceGuid(good)) << good;
    for (const auto* bad :
         {L"", L"{}", L"1D7E0C6B-0000-4000-8000-000000000001",
          L"{1D7E0C6B-0000-4000-8000-00000000000G}", L"{1D7E0C6B-0000-4000-8000-0000000000001}",
          L"{1D7E0C6B-0000-4000-8000-00000000001}", L"{1D7E0C6B-0000-4000-8000-000000000001}\\x",
          L"{1D7E0C6B+0000-4000-8000-000000000001}", L"..\\..\\Tcpip"})
        EXPECT_FALSE(isInterfaceGuid(bad)) << bad;
    const auto guid = interfaceGuid(L"{01234567-89AB-cdef-0123-456789ABCDEF}");
    ASSERT_TRUE(guid);
    EXPECT_EQ(guid->data1, 0x01234567u);
    EXPECT_EQ(guid->data2, 0x89ABu);
    EXPECT_EQ(guid->data3, 0xCDEFu);
    EXPECT_EQ(guid->data4,
              (std::array<std::uint8_t, 8>{0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF}));
    EXPECT_EQ(controlSetName(0), L"ControlSet001");
    EXPECT_EQ(controlSetName(2), L"CurrentControlSet");
    EXPECT_EQ(interfaceKeyPath(Family::V6, 2, L"{G}"),
              L"SYSTEM\\CurrentControlSet\\Services\\Tcpip6\\Parameters\\Interfaces\\{G}");
}

TEST(Flush, SystemIpconfigByFullPathOnly) {
    EXPECT_EQ(flushCommand(L"C:\\Windows\\System32").commandLine,
              L"\"C:\\Windows\\System32\\ipconfig.exe\" /flushdns");
    EXPECT_EQ(flushCommand(L"C:\\").application, L"C:\\ipconfig.exe");
    EXPECT_TRUE(flushCommand(L"").application.empty());
    EXPECT_EQ(flushText({FlushResult::Failed, 5}),
              L"\"ipconfig /flushdns\" did not flush the DNS cache: it ended with exit code 5.");
}

TEST(NameServerState, RecordKeepsAbsentApartFromEmpty) {
    NameServerState state;
    state.at(Family::V4, 0) = L"8.8.8.8,8.8.4.4";
    state.at(Family::V4, 1) = L"";
    state.at(Family::V6, 2) = L" fd00::1 fd00::2 ";
    const std::wstring record = encodeState(state);
    EXPECT_EQ(record.find(L' '), std::wstring::npos) << "kept by any code page";
    EXPECT_EQ(decodeState(record), state);
    EXPECT_EQ(decodeState(encodeState({})), NameServerState{});
    for (const auto* bad : {L"", L"-|-", L"x|-|-|-|-|-", L"-|-|-|-|-|=%00", L"-|-|-|-|-|-|x"})
        EXPECT_EQ(decodeState(bad), std::nullopt) << bad;

    // Whatever Windows may hold as NameServer comes back exactly, odd separators and forms too.
    for (const auto* odd : {L"8.8.8.8;8.8.4.4", L"8.8.8.8\t8.8.4.4", L"008.008.008.008", L"0.0.0.0",
                            L";, \t", L"8.8.8.8,,8.8.4.4 ", L"1.2.3"}) {
        NameServerState kept;
        kept.at(Family::V4, 1) = odd;
        kept.at(Family::V6, 0) = L"FE80::1%12;fd00::1";
        EXPECT_TRUE(roundTrips(kept)) << odd;
    }
    // Anything else does not: names, words, control characters, the other family, too long.
    for (const auto* v4 :
         {L"dns.google", L"8.8.8.8\n", L"fd00::1", L"8.8.8.8\x00A0", L"8.8.8.8/24"}) {
        NameServerState refused;
        refused.at(Family::V4, 2) = v4;
        EXPECT_FALSE(roundTrips(refused)) << v4;
    }
    for (const auto* v6 : {L"9.9.9.9", L"fd00::g", L"fd00::1\r"}) {
        NameServerState refused;
        refused.at(Family::V6, 2) = v6;
        EXPECT_FALSE(roundTrips(refused)) << v6;
    }
    NameServerState longest;
    longest.at(Family::V4, 0) = std::wstring(kMaxNameServerLength, L'1');
    EXPECT_TRUE(roundTrips(longest));
    *longest.at(Family::V4, 0) += L'1';
    EXPECT_FALSE(roundTrips(longest));
}

TEST(NameServerState, RecordKeepsTheDohSettingsAndReadsOlderRecords) {
    // A record made before Keldrast wrote DoH settings leaves them alone.
    EXPECT_EQ(decodeState(L"=8.8.8.8|-|-|-|-|-")->doh, std::nullopt);
    NameServerState state;
    state.doh = DohSettings{};
    EXPECT_EQ(encodeState(state), L"-|-|-|-|-|-|-") << "no DohInterfaceSettings key";
    state.doh = DohSettings{true,
                            {{Family::V4, L"8.8.8.8", 6, L"https://dns.google/dns-query"},
                             {Family::V6, L"2001:db8::1", std::nullopt, L"https://x/a,b|c%41"},
                             {Family::V4, L"1.1.1.1", 2, std::nullopt}}};
    const std::wstring record = encodeState(state);
    EXPECT_EQ(record.find(L' '), std::wstring::npos);
    EXPECT_EQ(decodeState(record), state);
    state.doh->servers.clear();
    EXPECT_EQ(decodeState(encodeState(state)), state) << "present without servers";
    for (const auto* bad :
         {L"-|-|-|-|-|-|-|4,8.8.8.8,2,-",         // a server under an absent key
          L"-|-|-|-|-|-|+|4,2001:db8::1,2,-",     // an address of the other family
          L"-|-|-|-|-|-|+|4,..%005C..,2,-",       // no path into the registry
          L"-|-|-|-|-|-|+|6,::1,x,-",             // flags not a number
          L"-|-|-|-|-|-|+|4,8.8.8.8,2,=a%000Ab"}) // a control character in a template
        EXPECT_EQ(decodeState(bad), std::nullopt) << bad;

    // A record's DoH part is held to what Apply writes: templates /template accepts for the
    // server, known flags only, a bounded number of servers per family.
    const auto withServer = [](DohServer server) {
        NameServerState s;
        s.doh = DohSettings{true, {std::move(server)}};
        return s;
    };
    EXPECT_TRUE(roundTrips(withServer({Family::V4, L"1.1.1.1", 0xF, L"https://1.1.1.1/q"})));
    for (const auto& url :
         {std::wstring(L"javascript:alert(1)"), std::wstring(L"https://dns.google/\tq"),
          std::wstring(L"https://dns.google/\x7Fq"), std::wstring(L"https://dns.google/\x202Eq"),
          L"https://dns.google/" + std::wstring(2100, L'a'), std::wstring(L"https://8.8.8.8/q"),
          std::wstring(L"https://0x08080808/q")})
        EXPECT_FALSE(roundTrips(withServer({Family::V4, L"1.1.1.1", 2, url}))) << url;
    EXPECT_FALSE(roundTrips(withServer({Family::V4, L"1.1.1.1", 0x10, std::nullopt})));
    EXPECT_FALSE(
        roundTrips(withServer({Family::V4, L"1.1.1.1", 1844674407370955160, L"https://x/"})));
    NameServerState many;
    many.doh = DohSettings{true, {}};
    for (std::size_t i = 0; i < kMaxDohServersPerFamily; ++i) {
        many.doh->servers.push_back(
            {Family::V4, L"10.0.0." + std::to_wstring(i + 1), 2, std::nullopt});
        many.doh->servers.push_back(
            {Family::V6, L"fd00::" + std::to_wstring(i + 1), 2, std::nullopt});
    }
    EXPECT_TRUE(roundTrips(many));
    many.doh->servers.push_back({Family::V6, L"fd00::99", 2, std::nullopt});
    EXPECT_FALSE(roundTrips(many));
}
