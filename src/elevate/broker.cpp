#include "elevate/broker.h"

#include "toolkit/decimal.h"
#include "toolkit/elevation.h"

namespace elevate {

namespace {

constexpr std::wstring_view kChannelPrefix = L"kld";
// The elevated copy is waited for this long: a change or a flush takes seconds, so a copy
// still running after that is stuck (or waits for something nobody will answer).
constexpr DWORD kCopyWaitMs = 120000;

Brought failed(int code, std::wstring failure) {
    Brought brought;
    brought.exitCode = code;
    brought.failure = std::move(failure);
    return brought;
}

// A path's folder as the system resolves it, for comparing folders.
std::wstring fullFolder(const std::wstring& path) {
    wchar_t full[MAX_PATH + 1] = {};
    wchar_t* name = nullptr;
    const DWORD n = GetFullPathNameW(path.c_str(), MAX_PATH + 1, full, &name);
    if (n == 0 || n > MAX_PATH) return {};
    std::wstring folder(full, name ? static_cast<std::size_t>(name - full) : n);
    while (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/'))
        folder.pop_back();
    return folder;
}

} // namespace

tk::unique_handle openChannel(const std::wstring& path) {
    const auto slash = path.find_last_of(L"\\/");
    const std::wstring name = path.substr(slash == path.npos ? 0 : slash + 1);
    if (slash == path.npos || name.size() < 8 || name.substr(0, 3) != kChannelPrefix ||
        name.substr(name.size() - 4) != L".tmp")
        return {};
    wchar_t temp[MAX_PATH + 1] = {};
    const DWORD n = GetTempPathW(MAX_PATH + 1, temp);
    const std::wstring tempFolder =
        n && n <= MAX_PATH ? fullFolder(temp + std::wstring(L"x")) : L"";
    const std::wstring folder = fullFolder(path);
    if (tempFolder.empty() ||
        CompareStringOrdinal(folder.c_str(), static_cast<int>(folder.size()), tempFolder.c_str(),
                             static_cast<int>(tempFolder.size()), TRUE) != CSTR_EQUAL)
        return {};
    auto channel = tk::openedFile(CreateFileW(
        path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
        FILE_FLAG_OPEN_REPARSE_POINT | SECURITY_SQOS_PRESENT | SECURITY_ANONYMOUS, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!channel || GetFileType(channel.get()) != FILE_TYPE_DISK ||
        !GetFileInformationByHandle(channel.get(), &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ||
        info.nFileSizeLow != 0 || info.nFileSizeHigh != 0 || info.nNumberOfLinks != 1)
        return {};
    return channel;
}

bool sendBack(HANDLE channel, const Brought& brought) {
    const std::string bytes = encode(brought);
    DWORD written = 0;
    return WriteFile(channel, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

Brought runElevated(const std::vector<std::wstring>& args) {
    wchar_t directory[MAX_PATH + 1] = {}, path[MAX_PATH + 1] = {};
    const DWORD n = GetTempPathW(MAX_PATH + 1, directory);
    if (n == 0 || n > MAX_PATH || !GetTempFileNameW(directory, kChannelPrefix.data(), 0, path))
        return failed(kDeclined,
                      L"Keldrast needs administrator rights for this and could not ask for them.");
    const std::wstring channel = path;
    const auto copy = tk::relaunchElevated(
        joinArguments(args) + L" " + std::wstring(kChannelSwitch) + L" " + quoteArgument(channel));
    DWORD code = static_cast<DWORD>(kDeclined);
    if (copy) {
        if (WaitForSingleObject(copy.get(), kCopyWaitMs) != WAIT_OBJECT_0) {
            DeleteFileW(channel.c_str());
            return failed(kTimedOut,
                          L"The elevated Keldrast did not finish in time; what it did is not "
                          L"known. Run keldrast /list to see the adapter's servers.");
        }
        if (!GetExitCodeProcess(copy.get(), &code)) code = static_cast<DWORD>(kNoReport);
    }
    std::string bytes;
    if (const auto file = tk::openedFile(CreateFileW(channel.c_str(), GENERIC_READ, FILE_SHARE_READ,
                                                     nullptr, OPEN_EXISTING, 0, nullptr))) {
        char chunk[4096];
        DWORD read = 0;
        while (ReadFile(file.get(), chunk, sizeof(chunk), &read, nullptr) && read)
            bytes.append(chunk, read);
    }
    DeleteFileW(channel.c_str());
    if (!copy)
        return failed(kDeclined, L"Keldrast needs administrator rights for this, and elevation "
                                 L"was declined or is not possible.");
    auto brought = decode(bytes);
    // A copy that crashed ends with a system status code, or with no report.
    if (!brought || code > static_cast<DWORD>(kNoReport))
        return failed(kNoReport, L"The elevated Keldrast ended without a report (exit code " +
                                     tk::decimal(code) + L"); what it did is not known.");
    brought->exitCode = static_cast<int>(code);
    return std::move(*brought);
}

} // namespace elevate
