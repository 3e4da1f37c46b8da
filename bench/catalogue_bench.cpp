// Catalogue load and save times for growing catalogues, in a scratch folder. Prints the
// best of several runs per size; a linear save and load keep the time per entry flat.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "catalogue/mConfig.h"
#include "../tests/win/numbered_catalogue.h"

namespace {

double seconds() {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

std::vector<app::CatalogueEntry> catalogue(int n) {
    return n == 18 ? app::presetCatalogue() : numberedCatalogue(n);
}

} // namespace

int wmain() {
    wchar_t temp[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, temp);
    const std::wstring dir = std::wstring(temp) + L"keldrast-catalogue-bench";
    CreateDirectoryW(dir.c_str(), nullptr);
    const std::wstring path = mConfig::settingsPath(dir);

    std::printf("%8s %12s %12s %14s\n", "entries", "save (ms)", "load (ms)", "per entry (us)");
    for (const int n : {18, 1000, 10000, 100000}) {
        const auto entries = catalogue(n);
        double bestSave = 1e9, bestLoad = 1e9;
        for (int run = 0; run < 5; ++run) {
            double start = seconds();
            if (!mConfig::saveCatalogue(path, entries)) {
                std::printf("save failed at %d entries\n", n);
                return 1;
            }
            bestSave = std::min(bestSave, seconds() - start);
            start = seconds();
            const auto loaded = mConfig::loadCatalogue(path);
            bestLoad = std::min(bestLoad, seconds() - start);
            if (loaded.size() != entries.size()) {
                std::printf("load gave %zu of %d entries\n", loaded.size(), n);
                return 1;
            }
        }
        std::printf("%8d %12.2f %12.2f %14.2f\n", n, bestSave * 1e3, bestLoad * 1e3,
                    (bestSave + bestLoad) * 1e6 / n);
    }
    DeleteFileW(path.c_str());
    RemoveDirectoryW(dir.c_str());
    return 0;
}
