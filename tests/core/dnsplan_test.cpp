// What Apply and Default say, which adapters they accept, and the flush command.
#include "dns/dnsplan.h"
#include "dns/nameserver_state.h"

#include <gtest/gtest.h>

using namespace app;

TEST(ApplyNotice, CompletionWithTheServersInUse) {
    using enum InterfaceDnsResult;
    const ControlSetWrites all{true, true, true};
    const std::vector<std::wstring> applied{L"8.8.8.8", L"8.8.4.4", L"2001:4860:4860::8888"};
    const std::wstring done = L"Operation completed successfully...\r\nDNS has changed...\r\n\r\n"
                              L"\u00BB D\r\n\u00BB Google DNS\r\n\u00BB In use: ";
    // In another order and letter case, the same servers count as applied.
    const ServersInUse same{{L"2001:4860:4860::8888", L"8.8.4.4", L"8.8.8.8"}};
    EXPECT_EQ(applyNotice(all, Applied, applied, same, L"D", L"Google DNS"),
              (Notice{done + L"2001:4860:4860::8888, 8.8.4.4, 8.8.8.8", 64}));
    EXPECT_EQ(readBack(applied, ServersInUse{{L"8.8.8.8", L"8.8.4.4", L"2001:4860:4860::8888"}}),
              ReadBack::AsApplied);
    const ServersInUse other{{L"192.168.1.1", L"8.8.8.8"}};
    EXPECT_EQ(applyNotice(all, Applied, applied, other, L"D", L"Google DNS").text,
              done + L"192.168.1.1, 8.8.8.8\r\n\r\nThe DNS servers were saved, but Windows still "
                     L"uses 192.168.1.1, 8.8.8.8.\r\nThey take effect when the adapter reconnects "
                     L"or Windows restarts...");
    EXPECT_EQ(applyNotice(all, NotAvailable, applied, std::nullopt, L"D", L"Google DNS").text,
              done + L"not reported by Windows\r\n\r\nThe DNS servers were saved. Windows does not "
                     L"say which servers the adapter uses now;\r\nthey take effect when the "
                     L"adapter reconnects or Windows restarts...");
    // The adapter refused the change for now, and Windows does not say what it uses.
    EXPECT_NE(applyNotice(all, Failed, applied, std::nullopt, L"D", L"N")
                  .text.find(L"saved, but the adapter is not using them yet"),
              std::wstring::npos);
    // Default asks for DHCP: whatever is in use is what it applied.
    EXPECT_EQ(defaultNotice(all, Applied, ServersInUse{{L"192.168.1.1"}}),
              (Notice{L"DNS has set to default...\r\n\u00BB In use: 192.168.1.1", 64}));
    EXPECT_EQ(defaultNotice(all, Applied, ServersInUse{std::vector<std::wstring>{}}).text,
              L"DNS has set to default...\r\n\u00BB In use: none");
    EXPECT_EQ(restoreNotice(all, Applied, {L"1.1.1.1"}, ServersInUse{{L"1.1.1.1"}}, L"D").text,
              L"The previous DNS servers were restored...\r\n\r\n\u00BB D\r\n\u00BB In use: "
              L"1.1.1.1");
}

TEST(ApplyNotice, WhatWasNotWritten) {
    using enum InterfaceDnsResult;
    const ControlSetWrites none{}, second{true, false, true};
    EXPECT_EQ(applyNotice(none, NotAvailable, {}, std::nullopt, L"D", L"N"),
              (Notice{L"The DNS servers were not changed: the registry could not be written.\r\n"
                      L"Run Keldrast as administrator and try again...",
                      16}));
    const Notice part{L"The DNS servers were changed only in part.\r\nWritten: ControlSet001, "
                      L"CurrentControlSet\r\nNot written: ControlSet002\r\nRun Keldrast as "
                      L"administrator and try again...",
                      16};
    EXPECT_EQ(applyNotice(second, Applied, {}, std::nullopt, L"D", L"N"), part);
    EXPECT_EQ(defaultNotice(second, NotAvailable, std::nullopt), part);
    // A restore that failed keeps its record and says so.
    const auto restore = restoreNotice(second, Applied, {}, std::nullopt, L"D");
    EXPECT_EQ(restore.flags, 16u);
    EXPECT_EQ(restore.text, part.text + L"\r\nThe previous settings stay recorded, so Restore "
                                        L"can be tried again.");
}

TEST(CurrentDns, EveryKindOfServerNamed) {
    EXPECT_EQ(
        currentDnsText(L"Ethernet", {L"8.8.8.8,8.8.4.4", std::nullopt, L"192.168.1.1 10.0.0.1", L"",
                                     ServersInUse{{L"8.8.8.8", L"fd00::1"}}}),
        L"\u00BB Ethernet\r\nIPv4 servers set: 8.8.8.8, 8.8.4.4\r\nIPv6 servers set: "
        L"none\r\nFrom DHCP: 192.168.1.1, 10.0.0.1\r\nIn use: 8.8.8.8, fd00::1");
    EXPECT_EQ(currentDnsText(L"E", {}).substr(currentDnsText(L"E", {}).rfind(L"In use")),
              L"In use: not reported by Windows");
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
    EXPECT_EQ(controlSetName(0), L"ControlSet001");
    EXPECT_EQ(controlSetName(2), L"CurrentControlSet");
}

TEST(FlushCommand, SystemIpconfigByFullPathOnly) {
    EXPECT_EQ(flushCommand(L"C:\\Windows\\System32").commandLine,
              L"\"C:\\Windows\\System32\\ipconfig.exe\" /flushdns");
    EXPECT_EQ(flushCommand(L"C:\\").application, L"C:\\ipconfig.exe");
    EXPECT_TRUE(flushCommand(L"").application.empty());
}

TEST(NameServerState, RecordKeepsAbsentApartFromEmpty) {
    NameServerState state;
    state.at(Family::V4, 0) = L"8.8.8.8,8.8.4.4";
    state.at(Family::V4, 1) = L"";
    state.at(Family::V6, 2) = L" a|b%c\u00E9 ";
    const std::wstring record = encodeState(state);
    EXPECT_EQ(record.find_first_of(L" \u00E9"), std::wstring::npos) << "kept by any code page";
    EXPECT_EQ(decodeState(record), state);
    EXPECT_EQ(decodeState(encodeState({})), NameServerState{});
    for (const auto* bad : {L"", L"-|-", L"x|-|-|-|-|-", L"-|-|-|-|-|=%00", L"-|-|-|-|-|-|-"})
        EXPECT_EQ(decodeState(bad), std::nullopt) << bad;
    EXPECT_EQ(interfaceKeyPath(Family::V6, 2, L"{G}"),
              L"SYSTEM\\CurrentControlSet\\Services\\Tcpip6\\Parameters\\Interfaces\\{G}");
}
