#include "catalogue/settings_lock.h"

#include <sddl.h>

#include <cstdint>

#include "catalogue/mConfig.h"

namespace mConfig {

std::wstring settingsLockName(std::wstring_view path) {
    const std::wstring full = tk::fullPath(std::wstring(path)).value_or(std::wstring(path));
    // FNV-1a of the folded path: a mutex name has no backslashes and a bounded length.
    std::uint64_t hash = 0xCBF29CE484222325ull;
    for (const wchar_t c : foldKey(full))
        hash = (hash ^ static_cast<std::uint16_t>(c)) * 0x100000001B3ull;
    static constexpr wchar_t kHex[] = L"0123456789abcdef";
    std::wstring name = L"Local\\Keldrast.Settings.";
    for (int shift = 60; shift >= 0; shift -= 4)
        name += kHex[(hash >> shift) & 0xF];
    return name;
}

SettingsLock::SettingsLock(std::wstring_view path) {
    // The user's own processes, elevated or not, share it: every signed-in account may wait on
    // it, labelled medium so that the window can wait for the elevated copy. A process that
    // holds it or made it first with other rights can only make a change wait and be refused,
    // never lose a record.
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    SECURITY_ATTRIBUTES attributes{sizeof(attributes), nullptr, FALSE};
    if (ConvertStringSecurityDescriptorToSecurityDescriptorW(
            L"D:(A;;0x1F0001;;;AU)(A;;0x1F0001;;;SY)(A;;0x1F0001;;;BA)S:(ML;;NW;;;ME)",
            SDDL_REVISION_1, &descriptor, nullptr))
        attributes.lpSecurityDescriptor = descriptor;
    mutex_.reset(CreateMutexExW(&attributes, settingsLockName(path).c_str(), 0,
                                SYNCHRONIZE | MUTEX_MODIFY_STATE));
    if (descriptor) LocalFree(descriptor);
    if (!mutex_) return;
    const DWORD waitMs = settingsLockWaitSeam.call([] { return kSettingsLockWaitMs; });
    // Abandoned: its holder ended; the file was replaced whole or not at all.
    const DWORD wait = WaitForSingleObject(mutex_.get(), waitMs);
    held_ = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
}

SettingsLock::~SettingsLock() {
    if (held_) ReleaseMutex(mutex_.get());
}

} // namespace mConfig
