// Where the settings file lives. Beside the program as always, unless a package manager owns
// the program's folder (it replaces that folder on every upgrade) or the folder cannot be
// written: then in the user's roaming application data. Pure: the shell gathers the facts.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace catalogue {

struct SettingsFacts {
    bool fileBesideProgram = false;    // Keldrast.ini is in the program's folder
    bool packageManagerFolder = false; // isPackageManagerFolder of the program's folder
    bool folderWritable = true;        // the user can create files in the program's folder
};

// Why the settings file is where it is; also its name in /version's output.
enum class SettingsPlace {
    ExistingFile,      // beside the program: a Keldrast.ini is there
    ProgramFolder,     // beside the program: the folder is the user's to write
    PackageManager,    // in the profile: winget or Scoop replaces the folder on upgrade
    FolderNotWritable, // in the profile: the folder cannot be written
};

SettingsPlace settingsPlace(const SettingsFacts& facts);
bool besideProgram(SettingsPlace place);
// "existing-file", "program-folder", "package-manager", "folder-not-writable".
std::wstring_view settingsPlaceName(SettingsPlace place);

// Whether a program folder is one a package manager installed: under winget's
// "...\WinGet\Packages\" (or its "...\WinGet\Links\", when started through the alias) or in a Scoop
// app's version folder ("...\apps\keldrast\<version>", "current" included, whatever Scoop's own
// root is called). Letters compare without case;
// "\" and "/" both separate.
bool isPackageManagerFolder(std::wstring_view programDirectory);

// The folder of the settings file inside the profile's roaming application data.
inline constexpr std::wstring_view kProfileSettingsFolder = L"Keldrast";

// The folders on the way to a file, from the top down, given its full path ("C:\a\b\f" or
// "\\server\share\a\f", also "\\?\" forms): every one that a link could replace, so
// neither the drive nor the share itself.
std::vector<std::wstring> foldersOnTheWay(std::wstring_view fullPath);

} // namespace catalogue
