// Where the settings file lives: the rule, and which program folders a package manager owns.
#include "catalogue/settings_location.h"

#include <gtest/gtest.h>

using catalogue::foldersOnTheWay;
using catalogue::SettingsPlace;

TEST(SettingsLocation, AFileBesideTheProgramWinsThenPackageManagersThenWritability) {
    struct Case {
        bool file, packageManager, writable;
        SettingsPlace place;
    };
    const Case cases[] = {
        {true, true, false, SettingsPlace::ExistingFile},
        {true, false, true, SettingsPlace::ExistingFile},
        {false, true, true, SettingsPlace::PackageManager},
        {false, true, false, SettingsPlace::PackageManager},
        {false, false, false, SettingsPlace::FolderNotWritable},
        {false, false, true, SettingsPlace::ProgramFolder},
    };
    for (const auto& c : cases) {
        const auto place = catalogue::settingsPlace({c.file, c.packageManager, c.writable});
        EXPECT_EQ(place, c.place) << c.file << c.packageManager << c.writable;
        EXPECT_EQ(catalogue::besideProgram(place), c.file || (!c.packageManager && c.writable));
    }
    EXPECT_EQ(catalogue::settingsPlaceName(SettingsPlace::FolderNotWritable),
              L"folder-not-writable");
}

TEST(SettingsLocation, PackageManagerFoldersOfWingetAndScoop) {
    const std::pair<const wchar_t*, bool> cases[] = {
        {L"C:\\Users\\Ann\\AppData\\Local\\Microsoft\\WinGet\\Packages\\"
         L"Keldrast.Keldrast_Microsoft.Winget.Source_8wekyb3d8bbwe",
         true},
        {L"C:\\Program Files\\WinGet\\Packages\\Keldrast.Keldrast_Microsoft.Winget.Source_x", true},
        {L"c:/users/ann/appdata/local/microsoft/winget/links", true},
        {L"C:\\Users\\Ann\\scoop\\apps\\keldrast\\current", true},
        {L"D:\\Tools\\Scoop\\apps\\Keldrast\\1.0.0", true},
        {L"\\\\?\\C:\\ProgramData\\scoop\\apps\\keldrast\\current\\", true},
        {L"C:\\Users\\Ann\\Downloads\\Keldrast-1.0.0-x64", false},
        {L"C:\\Tools\\WinGet", false},
        {L"C:\\Users\\Ann\\scoop\\apps\\other\\current", false},
        {L"C:\\apps\\keldrast", false},
        {L"", false},
    };
    for (const auto& [path, owned] : cases)
        EXPECT_EQ(catalogue::isPackageManagerFolder(path), owned) << testing::PrintToString(path);
}

TEST(SettingsLocation, EveryFolderOnTheWayBelowTheDriveOrShare) {
    using V = std::vector<std::wstring>;
    EXPECT_EQ(foldersOnTheWay(L"C:\\Users\\u\\AppData\\Roaming\\Keldrast\\Keldrast.ini"),
              (V{L"C:\\Users", L"C:\\Users\\u", L"C:\\Users\\u\\AppData",
                 L"C:\\Users\\u\\AppData\\Roaming", L"C:\\Users\\u\\AppData\\Roaming\\Keldrast"}));
    EXPECT_EQ(foldersOnTheWay(L"C:\\Keldrast.ini"), V{});
    EXPECT_EQ(foldersOnTheWay(L"\\\\server\\share\\a\\b\\Keldrast.ini"),
              (V{L"\\\\server\\share\\a", L"\\\\server\\share\\a\\b"}));
    EXPECT_EQ(foldersOnTheWay(L"\\\\?\\C:\\a\\Keldrast.ini"), V{L"\\\\?\\C:\\a"});
    EXPECT_EQ(foldersOnTheWay(L"\\\\?\\UNC\\server\\share\\a\\Keldrast.ini"),
              V{L"\\\\?\\UNC\\server\\share\\a"});
}
