// The link opens as the signed-in user: through the desktop's shell when elevated, directly
// otherwise or when the desktop shell cannot be reached.
#include "toolkit/open_as_user.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using tk::OpenedBy;

TEST(OpenAsUser, ElevatedGoesThroughTheDesktopShellAndFallsBackToOpeningDirectly) {
    const std::wstring url = L"https://www.keldrast.example/";
    const struct {
        bool elevated;
        bool desktopOpens;
        bool directOpens;
        OpenedBy expected;
        std::vector<std::wstring> calls;
    } cases[] = {
        {true, true, true, OpenedBy::DesktopShell, {L"desktop"}},
        {true, false, true, OpenedBy::Direct, {L"desktop", L"direct"}},
        {false, true, true, OpenedBy::Direct, {L"direct"}},
        {true, false, false, OpenedBy::Nothing, {L"desktop", L"direct"}},
    };
    for (const auto& c : cases) {
        std::vector<std::wstring> calls;
        tk::ScopedElevated elevated{[&] { return c.elevated; }};
        tk::ScopedDesktopShellOpen desktop{[&](const std::wstring& target) {
            EXPECT_EQ(target, url);
            calls.push_back(L"desktop");
            return c.desktopOpens;
        }};
        tk::ScopedShellOpen direct{[&](HWND, const std::wstring& target, int) {
            EXPECT_EQ(target, url);
            calls.push_back(L"direct");
            return c.directOpens;
        }};
        EXPECT_EQ(tk::openAsUser(nullptr, url), c.expected);
        EXPECT_EQ(calls, c.calls);
    }
}

TEST(OpenAsUser, WithoutADesktopShellTheRealPathFallsBackToOpeningDirectly) {
    // Wine has no shell view on its desktop window, so the real desktop path must fail
    // cleanly and the target is opened directly (recorded, not started).
    tk::ScopedElevated elevated{[] { return true; }};
    int direct = 0;
    tk::ScopedShellOpen open{[&](HWND, const std::wstring&, int) { return ++direct, true; }};
    const auto by = tk::openAsUser(nullptr, L"https://www.keldrast.example/");
    EXPECT_TRUE(by == OpenedBy::DesktopShell || (by == OpenedBy::Direct && direct == 1));
    RecordProperty("opened_by", by == OpenedBy::DesktopShell ? "desktop shell" : "directly");
}
