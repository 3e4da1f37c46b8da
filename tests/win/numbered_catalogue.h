// n entries with distinct names, for the settings file tests and the catalogue benchmark.
#pragma once

#include "catalogue/catalogue.h"

inline std::vector<catalogue::CatalogueEntry> numberedCatalogue(int n) {
    std::vector<catalogue::CatalogueEntry> entries;
    for (int i = 0; i < n; ++i) {
        const std::wstring k = std::to_wstring(i % 250);
        entries.push_back(
            {L"DNS service " + std::to_wstring(i), L"10." + k + L".0.1,10.0." + k + L".2"});
    }
    return entries;
}
