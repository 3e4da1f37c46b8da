// Entry point of the Win32 shell tests (built with -municode like the program).
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

int wmain(int argc, wchar_t** argv) {
    INITCOMMONCONTROLSEX icc{sizeof(icc),
                             ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES | ICC_INTERNET_CLASSES};
    InitCommonControlsEx(&icc);
    // No test may ask a DNS server outside this machine.
    SetEnvironmentVariableW(L"KELDRAST_LOOPBACK_ONLY", L"1");
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
