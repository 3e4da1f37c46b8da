#include "toolkit/platform.h"
#include "toolkit/timer.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

// Pumps messages until `done` or the guard has passed (a limit, not a measurement).
template <typename Done> void pumpUntil(Done done, ULONGLONG guardMs = 5000) {
    const ULONGLONG giveUp = GetTickCount64() + guardMs;
    MSG msg{};
    while (!done() && GetTickCount64() < giveUp) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
    }
}

TEST(ToolkitTimer, TicksUntilStoppedAndNeverAfterwards) {
    tk::Timer timer;
    int ticks = 0;
    timer.Tick = [&] {
        if (++ticks == 3) timer.setEnabled(false);
    };
    timer.setInterval(10);
    EXPECT_FALSE(timer.enabled());
    timer.setEnabled(true);
    pumpUntil([&] { return ticks >= 3; });
    EXPECT_EQ(ticks, 3);
    EXPECT_FALSE(timer.enabled());
    pumpUntil([&] { return ticks > 3; }, 300); // no tick may come
    EXPECT_EQ(ticks, 3);
}

TEST(ToolkitTimer, IntervalZeroAndDestructionStopTheTicks) {
    int ticks = 0;
    {
        tk::Timer zero;
        zero.Tick = [&] { ++ticks; };
        zero.setEnabled(true); // enabled, but no interval yet
        EXPECT_TRUE(zero.enabled());
        auto gone = std::make_unique<tk::Timer>();
        gone->Tick = [&] { ++ticks; };
        gone->setInterval(1);
        gone->setEnabled(true);
        gone.reset();
        pumpUntil([&] { return ticks > 0; }, 300);
    }
    EXPECT_EQ(ticks, 0);
}

TEST(ToolkitMessageBox, ReplacementRecordsAndAnswersThenTheSystemBoxIsBack) {
    struct Call {
        std::wstring text, title;
        UINT flags;
    };
    std::vector<Call> calls;
    {
        tk::ScopedMessageBox answer{
            [&](HWND, std::wstring_view text, std::wstring_view title, UINT flags) {
                calls.push_back({std::wstring(text), std::wstring(title), flags});
                return IDYES;
            }};
        EXPECT_EQ(tk::messageBox(nullptr, L"Do you want to delete the selected DNS server?",
                                 L"title", 20),
                  IDYES);
    }
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].text, L"Do you want to delete the selected DNS server?");
    EXPECT_EQ(calls[0].title, L"title");
    EXPECT_EQ(calls[0].flags, 20u);

    // Outside the scope the real box shows; a timer presses its No button.
    const UINT_PTR id = SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR, DWORD) {
        EnumThreadWindows(
            GetCurrentThreadId(),
            [](HWND w, LPARAM) -> BOOL {
                wchar_t cls[16]{};
                GetClassNameW(w, cls, 16);
                if (std::wstring(cls) == L"#32770") PostMessageW(w, WM_COMMAND, IDNO, 0);
                return TRUE;
            },
            0);
    });
    EXPECT_EQ(tk::messageBox(nullptr, L"real", L"title", MB_YESNO | MB_ICONSTOP), IDNO);
    KillTimer(nullptr, id);
    EXPECT_EQ(calls.size(), 1u);
}

TEST(ToolkitProcess, StartsASystemProgramHiddenAndReportsAMissingOne) {
    const std::wstring cmd = tk::systemDirectory() + L"\\cmd.exe";
    EXPECT_NE(GetFileAttributesW(cmd.c_str()), INVALID_FILE_ATTRIBUTES) << cmd;
    EXPECT_TRUE(tk::startProcess(cmd, L"cmd /c exit 0", SW_HIDE));
    EXPECT_FALSE(tk::startProcess(tk::systemDirectory() + L"\\no-such-program.exe",
                                  L"no-such-program", SW_HIDE));
    EXPECT_FALSE(tk::startProcess(L"", L"", SW_HIDE));

    std::vector<std::wstring> started;
    tk::ScopedStartProcess record{[&](const std::wstring&, const std::wstring& line, int show) {
        started.push_back(line + L" " + std::to_wstring(show));
        return false;
    }};
    EXPECT_FALSE(tk::startProcess(cmd, L"ipconfig /flushdns", 0));
    EXPECT_EQ(started, std::vector<std::wstring>{L"ipconfig /flushdns 0"});
}

TEST(ToolkitShellOpen, ReportsFailureForAMissingTargetAndCanBeReplaced) {
    EXPECT_FALSE(tk::shellOpen(nullptr, tk::executableDirectory() + L"\\no such file.kdx"));
    std::wstring opened;
    tk::ScopedShellOpen record{[&](HWND, const std::wstring& target, int) {
        opened = target;
        return true;
    }};
    EXPECT_TRUE(tk::shellOpen(nullptr, L"http://www.keldrast.example/", 0));
    EXPECT_EQ(opened, L"http://www.keldrast.example/");
}

TEST(ToolkitFolders, AreTheFoldersOfTheTestProgramAndTheSystem) {
    const std::wstring exe = tk::executableDirectory();
    ASSERT_FALSE(exe.empty());
    EXPECT_NE(exe.back(), L'\\');
    EXPECT_NE(GetFileAttributesW((exe + L"\\keldrast_win_tests.exe").c_str()),
              INVALID_FILE_ATTRIBUTES)
        << exe;
    const std::wstring system = tk::systemDirectory();
    EXPECT_NE(system.back(), L'\\');
    EXPECT_NE(GetFileAttributesW((system + L"\\kernel32.dll").c_str()), INVALID_FILE_ATTRIBUTES);
}

} // namespace
