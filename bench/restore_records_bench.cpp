// The kept sections of the settings file with many restore records: reading one record,
// writing one (as a change does) and saving the catalogue beside them. One pass over the
// section keeps each of these linear: 40,000 records should take well under a second.
#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "catalogue/mConfig.h"

#include "clock.h"

namespace {

std::wstring service(int i) {
    wchar_t name[64];
    std::swprintf(name, 64, L"{1D7E0C6B-0000-4000-8000-%012d}", i);
    return name;
}

} // namespace

int wmain() {
    wchar_t temp[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, temp);
    const std::wstring dir = std::wstring(temp) + L"keldrast-records-bench";
    CreateDirectoryW(dir.c_str(), nullptr);
    const std::wstring path = mConfig::settingsPath(dir);

    std::printf("%8s %14s %14s %14s\n", "records", "read (ms)", "write (ms)", "save (ms)");
    for (const int n : {10000, 20000, 40000}) {
        {
            std::wofstream file(std::filesystem::path(path), std::ios::binary);
            file << L"[kDNS]\r\nALL=A\r\nNUM=1\r\nA=1.1.1.1\r\n[kRestore]\r\n";
            for (int i = 0; i < n; ++i)
                file << service(i) << L"=-|-|-|-|-|-|-\r\n";
        }
        double start = seconds();
        const auto last = mConfig::restoreRecord(path, service(n - 1));
        const double read = seconds() - start;
        start = seconds();
        const bool written = mConfig::writeRestoreRecord(path, service(n), L"=9.9.9.9|-|-|-|-|-|-");
        const double write = seconds() - start;
        start = seconds();
        const bool saved = mConfig::saveCatalogue(path, {{L"B", L"2.2.2.2"}});
        const double save = seconds() - start;
        if (!last || !written || !saved ||
            mConfig::restoreRecord(path, service(n)) != L"=9.9.9.9|-|-|-|-|-|-") {
            std::printf("records lost at %d\n", n);
            return 1;
        }
        std::printf("%8d %14.1f %14.1f %14.1f\n", n, read * 1e3, write * 1e3, save * 1e3);
    }
    DeleteFileW(path.c_str());
    RemoveDirectoryW(dir.c_str());
    return 0;
}
