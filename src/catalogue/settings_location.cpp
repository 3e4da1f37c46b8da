#include "catalogue/settings_location.h"

#include <algorithm>
#include <string>
#include <vector>

#include "toolkit/trim.h"

namespace catalogue {

namespace {

std::vector<std::wstring> folders(std::wstring_view path) {
    std::vector<std::wstring> parts;
    std::wstring part;
    for (const wchar_t c : path) {
        if (c == L'\\' || c == L'/') {
            if (!part.empty()) parts.push_back(std::move(part));
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty()) parts.push_back(std::move(part));
    for (auto& folder : parts)
        folder = tk::foldAscii(folder);
    return parts;
}

} // namespace

SettingsPlace settingsPlace(const SettingsFacts& facts) {
    if (facts.fileBesideProgram) return SettingsPlace::ExistingFile;
    if (facts.packageManagerFolder) return SettingsPlace::PackageManager;
    if (!facts.folderWritable) return SettingsPlace::FolderNotWritable;
    return SettingsPlace::ProgramFolder;
}

bool besideProgram(SettingsPlace place) {
    return place == SettingsPlace::ExistingFile || place == SettingsPlace::ProgramFolder;
}

std::wstring_view settingsPlaceName(SettingsPlace place) {
    switch (place) {
    case SettingsPlace::ExistingFile:
        return L"existing-file";
    case SettingsPlace::ProgramFolder:
        return L"program-folder";
    case SettingsPlace::PackageManager:
        return L"package-manager";
    case SettingsPlace::FolderNotWritable:
        break;
    }
    return L"folder-not-writable";
}

bool isPackageManagerFolder(std::wstring_view programDirectory) {
    const auto parts = folders(programDirectory);
    for (std::size_t i = 0; i + 1 < parts.size(); ++i)
        if (parts[i] == L"winget" && (parts[i + 1] == L"packages" || parts[i + 1] == L"links"))
            return true;
    // Scoop: <root>\apps\<app>\<version>, where the program itself is the last folder's.
    const std::size_t n = parts.size();
    return n >= 3 && parts[n - 3] == L"apps" && parts[n - 2] == L"keldrast";
}

std::vector<std::wstring> foldersOnTheWay(std::wstring_view fullPath) {
    const auto separatorFrom = [&](std::size_t from) {
        return std::min(fullPath.find(L'\\', from), fullPath.size());
    };
    // Past the root: "C:\", "\\server\share\", or the same after "\\?\" ("\\?\UNC\server\share\").
    const std::size_t prefix =
        fullPath.starts_with(L"\\\\?\\") || fullPath.starts_with(L"\\\\.\\") ? 4 : 0;
    const auto rest = fullPath.substr(prefix);
    std::size_t at = separatorFrom(prefix);
    if (prefix ? rest.starts_with(L"UNC\\") : rest.starts_with(L"\\\\"))
        at = separatorFrom(separatorFrom(prefix + (prefix ? 4 : 2)) + 1);
    std::vector<std::wstring> folders;
    while (at < fullPath.size() && (at = fullPath.find(L'\\', at + 1)) != fullPath.npos)
        folders.emplace_back(fullPath.substr(0, at));
    return folders;
}

} // namespace catalogue
