// Functions of DLLs the program does not import. The program runs elevated, so such a DLL is
// loaded from the system folder only, never from the folder the program was started from
// (where anyone may have dropped a file of the same name). Callers keep the module for the
// life of the process.
#pragma once

#include <windows.h>

namespace tk {

// The DLL of the system folder, or nullptr when it cannot be loaded.
inline HMODULE systemLibrary(const wchar_t* name) {
    return LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
}

// A function of a module, as a typed pointer; nullptr when the module or the name is missing.
template <typename F> F moduleFunction(HMODULE module, const char* name) {
    return module ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)))
                  : nullptr;
}

} // namespace tk
