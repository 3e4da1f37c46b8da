// What Apply and Default say, which adapters they accept, and the flush command.
#include "dns/dnsplan.h"

#include <gtest/gtest.h>

using namespace app;

TEST(ApplyNotice, CompletionAndWhatFailed) {
    using enum InterfaceDnsResult;
    constexpr auto npos = std::wstring::npos;
    const ControlSetWrites all{true, true, true}, none{}, second{true, false, true};
    const std::wstring done = completionMessage(L"D", L"Google DNS");
    EXPECT_EQ(done, L"Operation completed successfully...\r\nDNS has changed...\r\n\r\n\u00BB "
                    L"D\r\n\u00BB Google DNS");
    for (const auto live : {NotAvailable, Applied})
        EXPECT_EQ(applyNotice(all, live, L"D", L"Google DNS"), (Notice{done, 64}));
    const auto saved = applyNotice(all, Failed, L"D", L"Google DNS");
    EXPECT_EQ(saved.text.rfind(done, 0), 0u);
    EXPECT_NE(saved.text.find(L"saved, but the adapter is not using them yet"), npos);
    EXPECT_EQ(applyNotice(none, NotAvailable, L"D", L"N"),
              (Notice{L"The DNS servers were not changed: the registry could not be written.\r\n"
                      L"Run Keldrast as administrator and try again...",
                      16}));
    const Notice part{L"The DNS servers were changed only in part.\r\nWritten: ControlSet001, "
                      L"CurrentControlSet\r\nNot written: ControlSet002\r\nRun Keldrast as "
                      L"administrator and try again...",
                      16};
    EXPECT_EQ(applyNotice(second, Applied, L"D", L"N"), part);
    EXPECT_EQ(defaultNotice(second, NotAvailable), part);
    EXPECT_EQ(defaultNotice(all, Applied), (Notice{L"DNS has set to default...", 64}));
    EXPECT_EQ(defaultNotice(none, NotAvailable).flags, 16u);
    EXPECT_NE(defaultNotice(all, Failed).text.find(L"not using them yet"), npos);
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
