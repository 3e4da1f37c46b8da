// Catalogue load and save times for growing catalogues, in a scratch folder. Prints the
// best of several runs per size; a linear save and load keep the time per entry flat.
// The last column loads the same file with old Mac line ends ("\r" alone).
#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "catalogue/mConfig.h"
#include "../tests/win/numbered_catalogue.h"

#include "clock.h"

namespace {

std::vector<catalogue::CatalogueEntry> numbered(int n) {
    return n == 18 ? catalogue::presetCatalogue() : numberedCatalogue(n);
}

// A copy of the file at `from` with every "\r\n" turned into "\r".
void writeCarriageReturnCopy(const std::wstring& from, const std::wstring& to) {
    std::ifstream in(std::filesystem::path(from), std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), {}};
    std::string copy;
    copy.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        copy += bytes[i];
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
    }
    std::ofstream(std::filesystem::path(to), std::ios::binary) << copy;
}

} // namespace

int wmain() {
    wchar_t temp[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, temp);
    const std::wstring dir = std::wstring(temp) + L"keldrast-catalogue-bench";
    CreateDirectoryW(dir.c_str(), nullptr);
    const std::wstring path = mConfig::settingsPath(dir);
    const std::wstring crPath = path + L".cr";

    std::printf("%8s %12s %12s %14s %14s\n", "entries", "save (ms)", "load (ms)", "per entry (us)",
                "load CR (ms)");
    for (const int n : {18, 1000, 10000, 100000}) {
        const auto entries = numbered(n);
        double bestSave = 1e9, bestLoad = 1e9, bestCrLoad = 1e9;
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
            writeCarriageReturnCopy(path, crPath);
            start = seconds();
            const auto crLoaded = mConfig::loadCatalogue(crPath);
            bestCrLoad = std::min(bestCrLoad, seconds() - start);
            if (loaded.size() != entries.size() || crLoaded != loaded) {
                std::printf("load gave %zu of %d entries\n", loaded.size(), n);
                return 1;
            }
        }
        std::printf("%8d %12.2f %12.2f %14.2f %14.2f\n", n, bestSave * 1e3, bestLoad * 1e3,
                    (bestSave + bestLoad) * 1e6 / n, bestCrLoad * 1e3);
    }
    DeleteFileW(path.c_str());
    DeleteFileW(crPath.c_str());
    RemoveDirectoryW(dir.c_str());
    return 0;
}
