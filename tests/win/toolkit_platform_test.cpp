#include "toolkit/platform.h"
#include "toolkit/timer.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

// Pumps messages until `done` or the guard has passed (a limit, not a measurement).
template <typename Done> void pumpUntil(Done done, ULONGLONG guardMs) {
    const ULONGLONG giveUp = GetTickCount64() + guardMs;
    MSG msg{};
    while (!done() && GetTickCount64() < giveUp) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
    }
}

TEST(ToolkitTimer, TicksUntilStoppedOrDestroyedAndNeverAfterwards) {
    int ticks = 0, late = 0;
    tk::Timer timer;
    timer.Tick = [&] {
        if (++ticks == 3) timer.setEnabled(false);
    };
    timer.setInterval(10);
    timer.setEnabled(true);
    auto gone = std::make_unique<tk::Timer>();
    gone->Tick = [&] { ++late; };
    gone->setInterval(1);
    gone->setEnabled(true);
    gone.reset();
    pumpUntil([&] { return ticks >= 3; }, 5000);
    pumpUntil([&] { return ticks > 3; }, 300); // no tick may come
    EXPECT_EQ(ticks, 3);
    EXPECT_FALSE(timer.enabled());
    EXPECT_EQ(late, 0);
}

TEST(ToolkitMessageBox, ReplacementsRecordAndAnswerThenTheSystemBoxIsBack) {
    std::vector<std::wstring> calls;
    auto answering = [&](int answer) {
        return [&calls, answer](HWND, std::wstring_view text, std::wstring_view title, UINT flags) {
            calls.push_back(std::wstring(text) + L"|" + std::wstring(title) + L"|" +
                            std::to_wstring(flags));
            return answer;
        };
    };
    {
        tk::ScopedMessageBox outer{answering(IDYES)};
        {
            tk::ScopedMessageBox inner{answering(IDNO)};
            EXPECT_EQ(tk::messageBox(nullptr, L"inner", L"t", 20), IDNO);
        }
        EXPECT_EQ(tk::messageBox(nullptr, L"Enter IP Address...", L"title", 16), IDYES);
    }
    EXPECT_EQ(calls, (std::vector<std::wstring>{L"inner|t|20", L"Enter IP Address...|title|16"}));
    // Outside the scopes the system box shows: the message box tests answer it.
}

TEST(ToolkitProcess, StartsASystemProgramWaitsWhenAskedAndReportsMissingOnes) {
    const std::wstring cmd = tk::systemDirectory() + L"\\cmd.exe";
    EXPECT_TRUE(tk::startProcess(cmd, L"cmd /c exit 0", SW_HIDE).started);
    const auto waited = tk::startProcess(cmd, L"cmd /c exit 3", SW_HIDE, 10000);
    EXPECT_TRUE(waited.started);
    EXPECT_EQ(waited.exitCode, 3u);
    EXPECT_FALSE(tk::startProcess(tk::systemDirectory() + L"\\no-such-program.exe",
                                  L"no-such-program", SW_HIDE)
                     .started);
}

TEST(ToolkitFolders, ExecutableDirectoryIsTheTestProgramsFolder) {
    const std::wstring exe = tk::executableDirectory();
    ASSERT_FALSE(exe.empty());
    EXPECT_NE(exe.back(), L'\\');
    EXPECT_NE(GetFileAttributesW((exe + L"\\keldrast_win_tests.exe").c_str()),
              INVALID_FILE_ATTRIBUTES)
        << exe;
}

} // namespace
