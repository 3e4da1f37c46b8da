#include "effect/frmEff.h"

#include <atomic>

namespace {

// One effect at a time in the whole program: the loop processes every pending message, so a
// handler may try to start the effect again while it runs.
std::atomic<bool> effectRunning{false};

} // namespace

bool frmEff::isRunning() noexcept {
    return effectRunning.load();
}

frmEff::~frmEff() {
    unload();
}

bool frmEff::load(int width, int height) {
    if (hwnd()) return true;
    if (!registerClass(kClassName, 0)) return false;
    // Placed on the primary monitor's top-left corner, which is (0, 0) of the screen's device
    // context, so the picture lines up with what it covers.
    return create(kClassName, WS_EX_TOPMOST | WS_EX_TOOLWINDOW, WS_POPUP, L"", 0, 0, width, height,
                  nullptr);
}

void frmEff::unload() noexcept {
    windowDC_.release();
    screenDC.release();
    image_.reset();
    if (hwnd()) DestroyWindow(hwnd());
}

void frmEff::doeffect(std::uint64_t stopAfterSteps) {
    bool expected = false;
    if (!effectRunning.compare_exchange_strong(expected, true)) return;
    struct EndOfRun {
        frmEff& effect;
        ~EndOfRun() {
            effect.keepRunning = false;
            effect.unload();
            effectRunning = false;
        }
    } endOfRun{*this};

    steps_ = 0;
    W_ = GetSystemMetrics(SM_CXSCREEN);
    H_ = GetSystemMetrics(SM_CYSCREEN);
    if (W_ <= 0 || H_ <= 0 || !load(W_, H_)) return;

    if (!screenDC.reset(nullptr)) return;
    if (!image_.resize(screenDC.get(), W_, H_, RGB(0, 0, 0))) return;
    BitBlt(image_.dc(), 0, 0, W_, H_, screenDC.get(), 0, 0, SRCCOPY);

    // The window paints the picture as it appears, so the screen looks unchanged; from now on
    // the blocks are copied straight onto the visible window.
    ShowWindow(hwnd(), SW_SHOW);
    UpdateWindow(hwnd());
    if (!windowDC_.reset(hwnd())) return;

    auto random = fx::UniformRandom::seededFromClock();
    keepRunning = true;
    bool quit = false;
    WPARAM quitCode = 0;
    while (keepRunning && hwnd()) {
        const fx::EffectStep step = fx::effectStep(W_, H_, random, shape_);
        BitBlt(windowDC_.get(), step.x + step.dx, step.y + step.dy, shape_.blockWidth,
               shape_.blockHeight, windowDC_.get(), step.x, step.y, SRCCOPY);
        ++steps_;
        if (Stepped) Stepped(*this, step);
        if (stopAfterSteps != 0 && steps_ >= stopAfterSteps) keepRunning = false;

        MSG msg{};
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                quit = true;
                quitCode = msg.wParam;
                keepRunning = false;
                break;
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    if (quit) PostQuitMessage(static_cast<int>(quitCode));
}

LRESULT frmEff::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE: {
        shape_ = fx::EffectShape{};
        return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK:
        keepRunning = false;
        return 0;
    case WM_XBUTTONDOWN:
    case WM_XBUTTONDBLCLK:
        keepRunning = false;
        return TRUE;
    case WM_CLOSE: // the loop ends and the window is destroyed after it
    case WM_DESTROY:
        keepRunning = false;
        return 0;
    case WM_ERASEBKGND:
        return TRUE;
    case WM_PAINT:
        image_.paint(hwnd());
        return 0;
    default:
        return defaultHandling(message, wParam, lParam);
    }
}
