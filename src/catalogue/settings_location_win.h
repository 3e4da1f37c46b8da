// Where this program's settings file is, by the rule of settings_location.h: the facts read
// from the program's folder, and the profile's roaming application data folder through a
// replaceable entry point (tests point it at a scratch folder).
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "catalogue/settings_location.h"
#include "toolkit/platform.h"

namespace mConfig {

struct SettingsLocation {
    std::wstring path; // the settings file (beside the program when there is no profile folder)
    catalogue::SettingsPlace place = catalogue::SettingsPlace::ProgramFolder;
};

// The settings file of a program in programDirectory. In the profile, the folder
// "%APPDATA%\Keldrast" is created when it is missing. An elevated process judges whether the
// folder can be written with the rights of the user who elevated it (its linked token), so
// that it picks the same file as that user's unelevated copy.
SettingsLocation settingsLocation(std::wstring_view programDirectory);
// This program's: of tk::executableDirectory().
SettingsLocation settingsLocation();

// The profile's roaming application data folder (FOLDERID_RoamingAppData, "%APPDATA%");
// empty when it cannot be found.
std::wstring roamingAppData();
using RoamingAppDataHandler = std::function<std::wstring()>;
inline tk::Seam<RoamingAppDataHandler> roamingAppDataSeam;
using ScopedRoamingAppData = tk::ScopedHandler<roamingAppDataSeam>;

} // namespace mConfig
