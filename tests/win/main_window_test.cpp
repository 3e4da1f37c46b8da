#include "app/frmMain.h"
#include "toolkit/platform.h"
#include "toolkit/scale.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

std::wstring windowText(HWND w) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(w)) + 1, L'\0');
    text.resize(
        static_cast<std::size_t>(GetWindowTextW(w, text.data(), static_cast<int>(text.size()))));
    return text;
}

// The settings file goes to a scratch folder; message boxes are answered, not shown.
struct Scratch {
    std::filesystem::path dir = std::filesystem::temp_directory_path() / "keldrast-window";
    tk::ScopedMessageBox boxes{
        [](HWND, std::wstring_view, std::wstring_view, UINT) { return IDOK; }};
    Scratch() { std::filesystem::create_directories(dir); }
    ~Scratch() { std::filesystem::remove_all(dir); }
};

TEST(MainWindow, OpensCentredWithFixedBorderAndItsCaption) {
    Scratch scratch;
    frmMain form(scratch.dir.wstring());
    form.endsProgram = false;
    ASSERT_TRUE(form.load(SW_SHOWNOACTIVATE));
    HWND w = form.hwnd();
    EXPECT_EQ(windowText(w), L"Keldrast \u00a9 WWW.KELDRAST.EXAMPLE");

    const LONG style = GetWindowLongW(w, GWL_STYLE);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & WS_THICKFRAME);

    RECT client{};
    GetClientRect(w, &client);
    EXPECT_EQ(client.right, tk::twipsToPixels(6090, form.dpi()));
    EXPECT_EQ(client.bottom, tk::twipsToPixels(3480, form.dpi()));

    RECT outer{};
    GetWindowRect(w, &outer);
    MONITORINFO mi{};
    mi.cbSize = sizeof(mi);
    GetMonitorInfoW(MonitorFromWindow(w, MONITOR_DEFAULTTOPRIMARY), &mi);
    EXPECT_NEAR((outer.left + outer.right) / 2, (mi.rcWork.left + mi.rcWork.right) / 2, 1);
    EXPECT_NEAR((outer.top + outer.bottom) / 2, (mi.rcWork.top + mi.rcWork.bottom) / 2, 1);

    LOGFONTW lf{};
    ASSERT_TRUE(GetObjectW(form.defaultFont(), sizeof(lf), &lf));
    EXPECT_STREQ(lf.lfFaceName, L"Tahoma");
    EXPECT_EQ(lf.lfHeight, -tk::roundHalfEven(8.25 * form.dpi() / 72.0));
}

TEST(MainWindow, ClosingEndsTheMessageLoopWithExitCodeZero) {
    Scratch scratch;
    frmMain form(scratch.dir.wstring());
    ASSERT_TRUE(form.load(SW_SHOWNOACTIVATE));
    PostMessageW(form.hwnd(), WM_CLOSE, 0, 0);
    MSG msg{};
    while (GetMessageW(&msg, nullptr, 0, 0) > 0)
        DispatchMessageW(&msg);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 0u);
    EXPECT_EQ(form.hwnd(), nullptr);
}

} // namespace
