// Where the settings file lives, with real folders: a portable folder, winget's and Scoop's
// layouts, a file already beside the program, a folder no one can write; the profile folder
// is a scratch folder given through the replaceable entry point.
#include "catalogue/settings_location_win.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;
using catalogue::SettingsPlace;

namespace {

class SettingsLocationTest : public testing::Test {
  protected:
    void SetUp() override {
        fs::remove_all(root);
        fs::create_directories(root);
    }
    void TearDown() override { fs::remove_all(root); }
    // A program folder under root, made for real.
    std::wstring folder(const fs::path& relative) {
        fs::create_directories(root / relative);
        return (root / relative).wstring();
    }

    fs::path root =
        fs::temp_directory_path() / ("keldrast-location-" + std::to_string(GetCurrentProcessId()));
    fs::path profile = root / "Roaming";
    mConfig::ScopedRoamingAppData roaming{[this] { return profile.wstring(); }};
};

} // namespace

TEST_F(SettingsLocationTest, BesideTheProgramUnlessAPackageManagerOwnsItsFolder) {
    const auto portable = folder("Tools\\Keldrast");
    const auto here = mConfig::settingsLocation(portable);
    EXPECT_EQ(here.place, SettingsPlace::ProgramFolder);
    EXPECT_EQ(here.path, portable + L"\\Keldrast.ini");
    EXPECT_TRUE(fs::is_empty(portable)) << "the write probe leaves nothing behind";

    const std::wstring inProfile = (profile / "Keldrast" / "Keldrast.ini").wstring();
    for (const auto* owned : {L"Local\\Microsoft\\WinGet\\Packages\\Keldrast.Keldrast_Microsoft."
                              L"Winget.Source_8wekyb3d8bbwe",
                              L"scoop\\apps\\keldrast\\current"}) {
        fs::remove_all(profile);
        fs::create_directories(profile);
        const auto location = mConfig::settingsLocation(folder(owned));
        EXPECT_EQ(location.place, SettingsPlace::PackageManager) << owned;
        EXPECT_EQ(location.path, inProfile);
        EXPECT_TRUE(fs::is_directory(profile / "Keldrast")) << "made, so the file can be saved";
    }

    // A file already beside the program stays in use, package manager or not.
    const auto winget = folder("WinGet\\Packages\\Keldrast.Keldrast_x");
    std::ofstream(fs::path(winget) / "Keldrast.ini") << "[kDNS]\r\n";
    const auto existing = mConfig::settingsLocation(winget);
    EXPECT_EQ(existing.place, SettingsPlace::ExistingFile);
    EXPECT_EQ(existing.path, winget + L"\\Keldrast.ini");
}

TEST_F(SettingsLocationTest, AFolderThatCannotBeWrittenSendsTheFileToTheProfile) {
    // Linux's /proc: no one, root included, can create a file there.
    const auto location = mConfig::settingsLocation(L"Z:\\proc");
    EXPECT_EQ(location.place, SettingsPlace::FolderNotWritable);
    EXPECT_EQ(location.path, (profile / "Keldrast" / "Keldrast.ini").wstring());

    // Without a profile folder there is nowhere else: the program's folder after all.
    mConfig::ScopedRoamingAppData none{[] { return std::wstring(); }};
    EXPECT_EQ(mConfig::settingsLocation(L"Z:\\proc").path, L"Z:\\proc\\Keldrast.ini");
}
