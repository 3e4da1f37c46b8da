// Start-up to first idle, and peak memory, of keldrast.exe against two yardsticks, run
// alternately so all see the same machine state: a window with the same child windows and
// nothing else (the fair floor), and a bare window with the same manifest.
//   startup_bench KELDRAST_EXE CHILD_WINDOWS_EXE BARE_EXE [ROUNDS]
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Samples {
    std::vector<double> ms, peakMiB;
};

bool runOnce(const std::wstring& exe, Samples& out) {
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    std::wstring cmd = L"\"" + exe + L"\"";
    LARGE_INTEGER f, t0, t1;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t0);
    if (!CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi))
        return false;
    WaitForInputIdle(pi.hProcess, 30000);
    QueryPerformanceCounter(&t1);
    PROCESS_MEMORY_COUNTERS pmc{};
    pmc.cb = sizeof(pmc);
    GetProcessMemoryInfo(pi.hProcess, &pmc, sizeof(pmc));
    // Ended from outside, so the program saves no settings file during the benchmark.
    TerminateProcess(pi.hProcess, 0);
    WaitForSingleObject(pi.hProcess, 10000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    out.ms.push_back(1000.0 * static_cast<double>(t1.QuadPart - t0.QuadPart) /
                     static_cast<double>(f.QuadPart));
    out.peakMiB.push_back(static_cast<double>(pmc.PeakWorkingSetSize) / (1024.0 * 1024.0));
    return true;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

double ratio(double a, double b) {
    return b > 0 ? a / b : 0.0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 4) {
        std::fprintf(stderr,
                     "usage: startup_bench KELDRAST_EXE CHILD_WINDOWS_EXE BARE_EXE [ROUNDS]\n");
        return 2;
    }
    const int rounds = argc > 4 ? _wtoi(argv[4]) : 15;
    Samples warm, app, children, bare;
    for (int i = 1; i <= 3; ++i) // warm the file cache for all three
        runOnce(argv[i], warm);
    for (int i = 0; i < rounds; ++i) {
        runOnce(argv[1], app);
        runOnce(argv[2], children);
        runOnce(argv[3], bare);
    }
    const double a = median(app.ms), c = median(children.ms), b = median(bare.ms);
    const double am = median(app.peakMiB), cm = median(children.peakMiB), bm = median(bare.peakMiB);
    std::printf("startup to first idle (median of %d): keldrast %.1f ms, same child windows "
                "%.1f ms (ratio %.2f, target <= 1.05), bare window %.1f ms (ratio %.2f)\n",
                rounds, a, c, ratio(a, c), b, ratio(a, b));
    std::printf("peak working set (median): keldrast %.2f MiB, same child windows %.2f MiB "
                "(ratio %.2f, target <= 1.05), bare window %.2f MiB (ratio %.2f)\n",
                am, cm, ratio(am, cm), bm, ratio(am, bm));
    return 0;
}
