// The program's name, version and maker, and the titles built from them. Pure.
#pragma once

#include <string>
#include <string_view>

#include "keldrast_version.h"

namespace app {

inline constexpr std::wstring_view kProgramTitle = L"Keldrast";
inline constexpr int kVersionMajor = KELDRAST_VERSION_MAJOR;
inline constexpr int kVersionMinor = KELDRAST_VERSION_MINOR;
// "1.0.0": the whole version, as /version, the file names and the manifests give it.
inline constexpr std::wstring_view kVersionText = L"" KELDRAST_VERSION_TEXT;
inline constexpr std::wstring_view kMakerWeb = L"www.keldrast.example";
inline constexpr std::wstring_view kMakerDomain = L"keldrast.example";
inline constexpr std::wstring_view kMakerUrl = L"https://www.keldrast.example/";
inline constexpr std::wstring_view kMakerMail = L"hi@keldrast.example";

// Title of every standard message box: "Keldrast - www.keldrast.example".
std::wstring applicationTitle();
// The main window's caption: "Keldrast © WWW.KELDRAST.EXAMPLE".
std::wstring windowCaption();

} // namespace app
