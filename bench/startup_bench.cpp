// Start-up to first idle, and peak memory, of keldrast.exe against a bare Win32 window,
// run alternately so both see the same machine state.
//   startup_bench KELDRAST_EXE BARE_EXE [ROUNDS]
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Sample {
    double ms = 0;
    double peakMiB = 0;
};

bool runOnce(const std::wstring& exe, Sample& out) {
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
    out.ms =
        1000.0 * static_cast<double>(t1.QuadPart - t0.QuadPart) / static_cast<double>(f.QuadPart);
    out.peakMiB = static_cast<double>(pmc.PeakWorkingSetSize) / (1024.0 * 1024.0);
    return true;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: startup_bench KELDRAST_EXE BARE_EXE [ROUNDS]\n");
        return 2;
    }
    const int rounds = argc > 3 ? _wtoi(argv[3]) : 15;
    std::vector<double> appMs, bareMs, appMem, bareMem;
    Sample s;
    runOnce(argv[2], s); // warm the file cache for both
    runOnce(argv[1], s);
    for (int i = 0; i < rounds; ++i) {
        if (runOnce(argv[1], s)) appMs.push_back(s.ms), appMem.push_back(s.peakMiB);
        if (runOnce(argv[2], s)) bareMs.push_back(s.ms), bareMem.push_back(s.peakMiB);
    }
    const double a = median(appMs), b = median(bareMs), am = median(appMem), bm = median(bareMem);
    std::printf("startup to first idle (median of %d): keldrast %.1f ms, bare window %.1f ms, "
                "ratio %.2f (target <= 1.20)\n",
                rounds, a, b, b > 0 ? a / b : 0.0);
    std::printf("peak working set (median): keldrast %.2f MiB, bare window %.2f MiB, ratio %.2f "
                "(target <= 1.20)\n",
                am, bm, bm > 0 ? am / bm : 0.0);
    return 0;
}
