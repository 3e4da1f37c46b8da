// The link opens as the signed-in user: through the desktop's shell when elevated, directly
// otherwise; elevated without a desktop shell it is not opened at all.
#include "toolkit/open_as_user.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using tk::OpenedBy;

TEST(OpenAsUser, ElevatedGoesThroughTheDesktopShellOnly) {
    const std::wstring url = L"https://www.keldrast.example/";
    const struct {
        bool elevated;
        bool desktopOpens;
        bool directOpens;
        OpenedBy expected;
        std::vector<std::wstring> calls;
    } cases[] = {
        {true, true, true, OpenedBy::DesktopShell, {L"desktop"}},
        {true, false, true, OpenedBy::Nothing, {L"desktop"}},
        {false, true, true, OpenedBy::Direct, {L"direct"}},
        {false, true, false, OpenedBy::Nothing, {L"direct"}},
    };
    for (const auto& c : cases) {
        std::vector<std::wstring> calls;
        tk::ScopedElevated elevated{[&] { return c.elevated; }};
        tk::ScopedDesktopShellOpen desktop{[&](const std::wstring& target, const std::wstring&) {
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

TEST(OpenAsUser, WithoutADesktopShellTheRealPathOpensNothingElevated) {
    // Wine has no shell view on its desktop window, so the real desktop path must fail
    // cleanly, and nothing is opened as administrator.
    tk::ScopedElevated elevated{[] { return true; }};
    int direct = 0;
    tk::ScopedShellOpen open{[&](HWND, const std::wstring&, int) { return ++direct, true; }};
    const auto by = tk::openAsUser(nullptr, L"https://www.keldrast.example/");
    EXPECT_TRUE(by == OpenedBy::DesktopShell || by == OpenedBy::Nothing);
    EXPECT_EQ(direct, 0);
}
