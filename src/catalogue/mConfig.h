// The settings file: profile-function wrappers, and loading and saving the catalogue.
// Saving writes the complete new file beside the old one and then replaces it in one
// step, so a failed save never loses the catalogue. The file is in the ANSI code page
// when its whole text survives that, otherwise UTF-16LE with a byte-order mark.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "catalogue/catalogue.h"

namespace mConfig {

// True when the path's attributes can be read and it is not a directory.
bool FileExists(std::wstring_view path);

// directory + "\Keldrast.ini".
std::wstring settingsPath(std::wstring_view directory);

// Compares keys as the profile functions do (case-insensitive).
std::wstring foldKey(std::wstring_view key);

// What loading found at the settings path.
enum class SettingsFile {
    Missing,  // no file there (or a folder): the presets load
    Loaded,   // the file's catalogue loaded
    Unusable, // a file that could not be read, in an encoding not known here, or without a
              // catalogue: the presets load, and the file must not be written over
};
struct LoadedCatalogue {
    std::vector<catalogue::CatalogueEntry> entries;
    SettingsFile file = SettingsFile::Missing;
};

// The catalogue from the settings file at path: what its "kDNS" section gives (read as
// the profile functions read it), or the presets when the file is missing or unusable.
LoadedCatalogue loadSettings(std::wstring_view path);
std::vector<catalogue::CatalogueEntry> loadCatalogue(std::wstring_view path);

// Writes the whole catalogue to path: completely under a fresh temporary name, then moved
// into place in one step. The restore records (the first of each adapter), the adapter last
// changed, the encrypted-DNS setting, the notification area's notice and the network rules
// stay. Refused when the file there is a link, has more than one name, is read-only, or could
// not be read (its records would be lost). On any failure the file at path is left as it was.
[[nodiscard]] bool saveCatalogue(std::wstring_view path,
                                 const std::vector<catalogue::CatalogueEntry>& entries);

// The restore record of the adapter whose interface GUID is service, as the settings file's
// restore section holds it; nothing when there is none.
std::optional<std::wstring> restoreRecord(std::wstring_view path, std::wstring_view service);
// Writes or replaces that record (creating the file with the presets when there is none), by
// the same safe rewrite as saveCatalogue; a file that could not be read is never written.
[[nodiscard]] bool writeRestoreRecord(std::wstring_view path, std::wstring_view service,
                                      std::wstring_view record);
// Removes the record; true when it is gone.
[[nodiscard]] bool dropRestoreRecord(std::wstring_view path, std::wstring_view service);

// The interface GUID of the adapter last changed, kept in a section of its own; nothing when
// none is recorded. Written by the same safe rewrite as the restore records.
std::optional<std::wstring> chosenAdapter(std::wstring_view settingsPath);
[[nodiscard]] bool setChosenAdapter(std::wstring_view settingsPath, std::wstring_view service);
// The encrypted-DNS setting of the settings file's section of its own; the default ("on":
// plain when encryption fails) when the file, the section or a known value is missing.
catalogue::DohMode encryptedDnsMode(std::wstring_view path);
// Writes it, by the same safe rewrite as a restore record.
[[nodiscard]] bool setEncryptedDnsMode(std::wstring_view path, catalogue::DohMode mode);
// A switch of the notification area's own section (catalogue::kTrayNoticeKey, kPauseRulesKey,
// kTaskOfferedKey): off when the file, the section or the key is missing. Written by the same
// safe rewrite as a restore record; an unchanged value leaves the file alone.
bool traySwitch(std::wstring_view path, std::wstring_view key);
[[nodiscard]] bool setTraySwitch(std::wstring_view path, std::wstring_view key, bool on);
// The lines of the DNS-per-network rules section as they stand (checked by dns::checkRules);
// none when the file or the section is missing, nothing when the file could not be read.
std::optional<std::vector<std::pair<std::wstring, std::wstring>>>
networkRuleLines(std::wstring_view path);
// Writes or replaces the rule of a network, or removes it (true when it is gone), by the same
// safe rewrite under the settings lock as a restore record.
[[nodiscard]] bool setNetworkRule(std::wstring_view path, std::wstring_view network,
                                  std::wstring_view value);
[[nodiscard]] bool dropNetworkRule(std::wstring_view path, std::wstring_view network);

} // namespace mConfig
