#include "catalogue/settings_location_win.h"

#include <shlobj.h>

#include <vector>

#include "catalogue/catalogue.h"
#include "catalogue/mConfig.h"
#include "toolkit/decimal.h"
#include "toolkit/handles.h"

namespace mConfig {

namespace {

// Whether this process can create a file in the folder: tried for real, nothing left behind.
bool canCreateFileIn(const std::wstring& directory) {
    const std::wstring probe = directory + L"\\" + std::wstring(catalogue::kSettingsFileName) +
                               L"." + tk::decimal(GetCurrentProcessId()) + L".probe";
    // Closing the probe deletes it.
    return static_cast<bool>(
        tk::openedFile(CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr)));
}

// For an elevated process: whether its account without elevation (the limited token linked to
// this one) may add a file to the folder. True when there is no such token (no User Account
// Control, the built-in Administrator): then the probe alone decides. After an elevation with
// another account's password the linked token is that account's, so its files are judged by
// its own unelevated rights.
bool linkedUserMayCreateFileIn(const std::wstring& directory) {
    tk::unique_handle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) return true;
    TOKEN_LINKED_TOKEN linked{};
    DWORD size = 0;
    if (!GetTokenInformation(token.get(), TokenLinkedToken, &linked, sizeof(linked), &size) ||
        !linked.LinkedToken)
        return true;
    tk::unique_handle user(linked.LinkedToken);
    TOKEN_ELEVATION_TYPE type{};
    if (!GetTokenInformation(token.get(), TokenElevationType, &type, sizeof(type), &size) ||
        type != TokenElevationTypeFull)
        return true;
    const SECURITY_INFORMATION wanted =
        OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    DWORD needed = 0;
    GetFileSecurityW(directory.c_str(), wanted, nullptr, 0, &needed);
    std::vector<unsigned char> descriptor(needed);
    if (!needed || !GetFileSecurityW(directory.c_str(), wanted, descriptor.data(), needed, &needed))
        return true;
    GENERIC_MAPPING mapping{FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE,
                            FILE_ALL_ACCESS};
    PRIVILEGE_SET privileges{};
    DWORD privilegesSize = sizeof(privileges), granted = 0;
    BOOL allowed = FALSE;
    if (!AccessCheck(descriptor.data(), user.get(), FILE_ADD_FILE, &mapping, &privileges,
                     &privilegesSize, &granted, &allowed))
        return true;
    return allowed != FALSE;
}

std::wstring realRoamingAppData() {
    PWSTR folder = nullptr;
    std::wstring path;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, nullptr, &folder)))
        path = folder;
    CoTaskMemFree(folder);
    return path;
}

} // namespace

std::wstring roamingAppData() {
    return roamingAppDataSeam.call(realRoamingAppData);
}

SettingsLocation settingsLocation(std::wstring_view programDirectory) {
    const std::wstring directory(programDirectory);
    catalogue::SettingsFacts facts;
    facts.fileBesideProgram = FileExists(settingsPath(directory));
    facts.packageManagerFolder = catalogue::isPackageManagerFolder(directory);
    if (!facts.fileBesideProgram && !facts.packageManagerFolder)
        facts.folderWritable = canCreateFileIn(directory) && linkedUserMayCreateFileIn(directory);
    SettingsLocation location{.path = {}, .place = catalogue::settingsPlace(facts)};
    if (catalogue::besideProgram(location.place)) {
        location.path = settingsPath(directory);
        return location;
    }
    const std::wstring profile = roamingAppData();
    if (profile.empty()) { // no profile (a service account): the program's folder after all
        location.path = settingsPath(directory);
        return location;
    }
    const std::wstring folder = profile + L"\\" + std::wstring(catalogue::kProfileSettingsFolder);
    CreateDirectoryW(folder.c_str(), nullptr); // already there, or the save says it failed
    location.path = settingsPath(folder);
    return location;
}

SettingsLocation settingsLocation() {
    return settingsLocation(tk::executableDirectory());
}

} // namespace mConfig
