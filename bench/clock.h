// The benchmarks' wall clock: QueryPerformanceCounter in seconds.
#pragma once

#include <windows.h>

inline double seconds() {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}
