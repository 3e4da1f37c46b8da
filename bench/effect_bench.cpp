// Speed of the screen effect: steps per second of frmEff::doeffect against a bare loop of
// the same block copies on a window of the same size, in the same run, and CPU time per step.
#include "effect/frmEff.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double seconds(LONGLONG ticks) {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(ticks) / static_cast<double>(f.QuadPart);
}

LONGLONG now() {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t.QuadPart;
}

// User plus kernel time of the process, in seconds.
double cpuSeconds() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    const auto value = [](const FILETIME& t) {
        return static_cast<double>((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) |
                                   t.dwLowDateTime) *
               1e-7;
    };
    return value(kernel) + value(user);
}

struct Result {
    double stepsPerSecond = 0;
    double cpuMicrosPerStep = 0;
};

Result runEffect(std::uint64_t steps) {
    frmEff effect;
    LONGLONG start = 0, end = 0;
    double cpuStart = 0, cpuEnd = 0;
    std::uint64_t done = 0;
    effect.Stepped = [&](frmEff&, const fx::EffectStep&) {
        if (++done == 1) {
            start = now();
            cpuStart = cpuSeconds();
        } else if (done == steps) {
            end = now();
            cpuEnd = cpuSeconds();
        }
    };
    effect.doeffect(steps);
    const double counted = static_cast<double>(steps - 1);
    return {counted / seconds(end - start), (cpuEnd - cpuStart) * 1e6 / counted};
}

// The same block copies, with nothing else in the loop, or with one look at the message
// queue after each copy (what every step of the effect must do as well).
Result runBare(std::uint64_t steps, bool pump) {
    const int W = GetSystemMetrics(SM_CXSCREEN), H = GetSystemMetrics(SM_CYSCREEN);
    fx::UniformRandom random = fx::UniformRandom::seededFromClock();
    std::vector<fx::EffectStep> plan(steps);
    for (auto& s : plan)
        s = fx::effectStep(W, H, random);

    HWND window = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, L"Static", L"", WS_POPUP, 0, 0,
                                  W, H, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    HDC dc = GetDC(window);
    const LONGLONG start = now();
    const double cpuStart = cpuSeconds();
    for (const auto& s : plan) {
        BitBlt(dc, s.x + s.dx, s.y + s.dy, 222, 99, dc, s.x, s.y, SRCCOPY);
        MSG msg{};
        if (pump)
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
    }
    GdiFlush();
    const LONGLONG end = now();
    const double cpuEnd = cpuSeconds();
    ReleaseDC(window, dc);
    DestroyWindow(window);
    const double counted = static_cast<double>(steps);
    return {counted / seconds(end - start), (cpuEnd - cpuStart) * 1e6 / counted};
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int wmain() {
    constexpr std::uint64_t kSteps = 20000;
    constexpr int kRounds = 5;
    std::vector<double> effectRate, bareRate, pumpRate, effectCpu, bareCpu, pumpCpu, ratio,
        pumpRatio;
    for (int round = 0; round < kRounds; ++round) {
        const Result bare = runBare(kSteps, false);
        const Result pumped = runBare(kSteps, true);
        const Result effect = runEffect(kSteps);
        bareRate.push_back(bare.stepsPerSecond);
        bareCpu.push_back(bare.cpuMicrosPerStep);
        pumpRate.push_back(pumped.stepsPerSecond);
        pumpCpu.push_back(pumped.cpuMicrosPerStep);
        effectRate.push_back(effect.stepsPerSecond);
        effectCpu.push_back(effect.cpuMicrosPerStep);
        ratio.push_back(effect.stepsPerSecond / bare.stepsPerSecond);
        pumpRatio.push_back(effect.stepsPerSecond / pumped.stepsPerSecond);
        std::printf("round %d: effect %.0f steps/s, copies alone %.0f/s, copies with a queue look "
                    "%.0f/s\n",
                    round + 1, effect.stepsPerSecond, bare.stepsPerSecond, pumped.stepsPerSecond);
    }
    std::printf("median of %d rounds of %llu steps on a %dx%d screen:\n", kRounds,
                static_cast<unsigned long long>(kSteps), GetSystemMetrics(SM_CXSCREEN),
                GetSystemMetrics(SM_CYSCREEN));
    std::printf("  effect:                           %8.0f steps/s, %5.1f us CPU per step\n",
                median(effectRate), median(effectCpu));
    std::printf("  bare loop of the copies:          %8.0f steps/s, %5.1f us CPU per step\n",
                median(bareRate), median(bareCpu));
    std::printf("  copies + one queue look per copy: %8.0f steps/s, %5.1f us CPU per step\n",
                median(pumpRate), median(pumpCpu));
    std::printf("  effect / bare loop:                %.2fx (target at least 0.80x)\n",
                median(ratio));
    std::printf("  effect / copies + queue look:      %.2fx\n", median(pumpRatio));
    return 0;
}
