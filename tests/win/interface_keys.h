// The test adapters' TCP/IP interface keys, which the tests seed and must leave clean.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "dns/nameserver_state.h"

namespace testhost {

// Deletes the adapter's interface keys of both families in every control set.
inline void removeInterfaceKeys(std::wstring_view service) {
    for (const auto family : dns::kFamilies)
        for (std::size_t set = 0; set < dns::kInterfaceBasePaths.size(); ++set)
            RegDeleteTreeW(HKEY_LOCAL_MACHINE, dns::interfaceKeyPath(family, set, service).c_str());
}

} // namespace testhost
