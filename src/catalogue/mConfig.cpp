// rand_s: the system's random numbers, for the temporary file names.
#define _CRT_RAND_S
#include "catalogue/mConfig.h"

#include <windows.h>

#include <cstdlib>

#include <algorithm>
#include <climits>
#include <optional>

#include "catalogue/settings_location.h"
#include "catalogue/settings_lock.h"
#include "toolkit/handles.h"
#include "toolkit/text.h"
#include "toolkit/utf8.h"

namespace mConfig {

namespace {

// A larger file is not a settings file this program wrote; it is left alone.
constexpr LONGLONG kMaxFileBytes = 256LL * 1024 * 1024;

bool noSuchPath(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
           error == ERROR_INVALID_NAME || error == ERROR_BAD_PATHNAME ||
           error == ERROR_FILENAME_EXCED_RANGE || error == ERROR_INVALID_DRIVE;
}

struct FileBytes {
    SettingsFile file = SettingsFile::Unusable;
    std::string bytes;
};

// The whole file, or why there is none: Missing when nothing is there (a folder counts as
// nothing), Unusable when a file is there but could not be read whole.
FileBytes readFileBytes(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return {noSuchPath(GetLastError()) ? SettingsFile::Missing : SettingsFile::Unusable, {}};
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return {SettingsFile::Missing, {}};
    const auto owned = tk::openedFile(CreateFileW(
        path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    const HANDLE file = owned.get();
    if (!file)
        return {noSuchPath(GetLastError()) ? SettingsFile::Missing : SettingsFile::Unusable, {}};
    FileBytes result;
    LARGE_INTEGER size{};
    if (GetFileSizeEx(file, &size) && size.QuadPart <= kMaxFileBytes) {
        result.bytes.resize(static_cast<std::size_t>(size.QuadPart));
        std::size_t done = 0;
        while (done < result.bytes.size()) {
            DWORD got = 0;
            const DWORD want =
                static_cast<DWORD>(std::min<std::size_t>(result.bytes.size() - done, 1u << 30));
            if (!ReadFile(file, result.bytes.data() + done, want, &got, nullptr) || got == 0) break;
            done += got;
        }
        if (done == result.bytes.size()) result.file = SettingsFile::Loaded;
    }
    return result;
}

std::optional<std::wstring> decodeStrict(std::string_view bytes, UINT codePage) {
    if (bytes.empty()) return std::wstring();
    if (bytes.size() > INT_MAX) return std::nullopt;
    const int n = static_cast<int>(bytes.size());
    const int chars =
        MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), n, nullptr, 0);
    if (chars <= 0) return std::nullopt;
    std::wstring text(static_cast<std::size_t>(chars), L'\0');
    MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), n, text.data(), chars);
    return text;
}

// The file's text as the profile functions see it: UTF-16LE or UTF-8 after a byte-order
// mark, otherwise the ANSI code page. Nothing when it is none of these: another byte-order
// mark (UTF-16BE, UTF-32), bytes the encoding does not allow, or NUL characters.
std::optional<std::wstring> fileText(std::string_view bytes) {
    std::optional<std::wstring> text;
    if (bytes.substr(0, 4) == std::string_view("\xFF\xFE\0\0", 4) ||
        bytes.substr(0, 2) == "\xFE\xFF") {
        return std::nullopt;
    } else if (bytes.substr(0, 2) == "\xFF\xFE") {
        bytes.remove_prefix(2);
        if (bytes.size() % 2) return std::nullopt;
        text.emplace(bytes.size() / 2, L'\0');
        for (std::size_t i = 0; i < text->size(); ++i)
            (*text)[i] = static_cast<wchar_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                              (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    } else if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        text = tk::fromUtf8Strict(bytes.substr(3));
    } else {
        text = decodeStrict(bytes, CP_ACP);
    }
    if (text && text->find(L'\0') != std::wstring::npos) return std::nullopt;
    return text;
}

std::string utf16Bytes(const std::wstring& text) {
    std::string bytes = "\xFF\xFE";
    bytes.reserve(2 + 2 * text.size());
    for (const wchar_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>((c >> 8) & 0xFF);
    }
    return bytes;
}

// The bytes of the file: ANSI when the text survives the code page, else UTF-16LE.
std::string encodeFile(const std::wstring& text) {
    return tk::fitsAnsi(text) ? tk::toAnsi(text) : utf16Bytes(text);
}

// The bytes of a file rewritten in the encoding it has: a file with a byte-order mark keeps it.
std::string encodeLike(std::string_view original, const std::wstring& text) {
    if (original.substr(0, 2) == "\xFF\xFE") return utf16Bytes(text);
    if (original.substr(0, 3) == "\xEF\xBB\xBF") return "\xEF\xBB\xBF" + tk::toUtf8(text);
    return encodeFile(text);
}

bool writeAll(HANDLE file, std::string_view bytes) {
    while (!bytes.empty()) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
        if (!WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0) return false;
        bytes.remove_prefix(written);
    }
    return true;
}

// Whether no folder on the way to the file is a reparse point (a junction, a symbolic link or
// a mount point): a folder such as %APPDATA%\Keldrast made a junction would take the file, and
// its temporary file, wherever it points. The drive or share itself is not looked at.
bool foldersArePlain(const std::wstring& path) {
    const auto full = tk::fullPath(path);
    if (!full) return false;
    for (const auto& folder : catalogue::foldersOnTheWay(*full)) {
        const DWORD attributes = GetFileAttributesW(folder.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
            return false;
    }
    return true;
}

// Whether the settings file may be replaced: absent, or a plain file with one name, in plain
// folders. The program runs elevated in a folder others may write to: a link planted as the
// settings file would make it write wherever the link points.
bool replaceable(const std::wstring& path) {
    if (!foldersArePlain(path)) return false;
    WIN32_FIND_DATAW found{};
    const HANDLE search = FindFirstFileW(path.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return noSuchPath(GetLastError());
    FindClose(search);
    if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return false;
    // Something is there: it must open as itself (a dangling link does not) and be a plain file.
    const auto file = tk::openedFile(
        CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    return file && GetFileInformationByHandle(file.get(), &info) &&
           !(info.dwFileAttributes &
             (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_READONLY)) &&
           info.nNumberOfLinks == 1;
}

// Writes bytes as the file at target: first completely under a fresh name that nobody could
// have prepared (CREATE_NEW never opens what is there, link or file), then moved into place in
// one step. On any failure target is as it was and the temporary file is gone.
bool writeFileSafely(const std::wstring& target, std::string_view bytes) {
    if (!replaceable(target)) return false;
    for (int attempt = 0; attempt < 8; ++attempt) {
        unsigned random = 0;
        if (rand_s(&random) != 0) random = GetTickCount() ^ (GetCurrentProcessId() << 16);
        static constexpr wchar_t kHex[] = L"0123456789abcdef";
        std::wstring temporary = target + L".";
        for (int shift = 28; shift >= 0; shift -= 4)
            temporary += kHex[(random >> shift) & 0xF];
        temporary += L".new";
        auto file = tk::openedFile(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr,
                                               CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) {
            if (GetLastError() == ERROR_FILE_EXISTS || GetLastError() == ERROR_ALREADY_EXISTS)
                continue;
            return false;
        }
        const bool written = writeAll(file.get(), bytes) && FlushFileBuffers(file.get());
        file.reset(); // closed before it is moved into place
        if (written && MoveFileExW(temporary.c_str(), target.c_str(),
                                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return true;
        DeleteFileW(temporary.c_str());
        return false;
    }
    return false;
}

// The file's bytes and text; text is nothing when the file is missing or unusable.
struct FileContent {
    SettingsFile file = SettingsFile::Missing;
    std::string bytes;
    std::optional<std::wstring> text;
};
FileContent readContent(const std::wstring& path) {
    FileBytes read = readFileBytes(path);
    FileContent content{read.file, std::move(read.bytes), std::nullopt};
    if (content.file == SettingsFile::Loaded) {
        content.text = fileText(content.bytes);
        if (!content.text) content.file = SettingsFile::Unusable;
    }
    return content;
}

// The sections a save keeps as they stand, in this order after the catalogue.
std::wstring keptSections(std::wstring_view text) {
    std::wstring kept;
    for (const auto section :
         {catalogue::kRestoreSection, catalogue::kAdapterSection, catalogue::kEncryptedDnsSection,
          catalogue::kTraySection, catalogue::kRulesSection})
        kept = catalogue::withSection(kept, section,
                                      catalogue::sectionEntries(text, section, foldKey), foldKey);
    return kept;
}

// Writes or removes one value of a section the program keeps beside the catalogue (a restore
// record, the adapter last changed, the encrypted-DNS setting), rewriting the file through
// writeFileSafely. A file that could not be read, or holds no catalogue, is never written over;
// without a file the presets are written with the value, so the file still holds the catalogue.
bool changeKeptValue(std::wstring_view path, std::wstring_view sectionName,
                     std::wstring_view service, const std::optional<std::wstring>& record) {
    const SettingsLock lock(path);
    if (!lock) return false;
    const std::wstring target(path);
    const FileContent content = readContent(target);
    if (content.file == SettingsFile::Unusable) return false;
    if (content.file == SettingsFile::Loaded) {
        const catalogue::ProfileSection section(*content.text, catalogue::kSettingsSection,
                                                foldKey);
        const catalogue::SettingsReader reader = [&](std::wstring_view key) {
            return section.value(key);
        };
        if (!catalogue::holdsCatalogue(reader)) return false;
    }
    auto records = catalogue::sectionEntries(content.text.value_or(L""), sectionName, foldKey);
    const auto same = [&](const auto& entry) { return foldKey(entry.first) == foldKey(service); };
    const auto found = std::find_if(records.begin(), records.end(), same);
    if (!record && found == records.end()) return true;
    if (!record)
        records.erase(found);
    else if (found != records.end())
        found->second = *record;
    else
        records.emplace_back(service, *record);
    if (content.file == SettingsFile::Missing) {
        const std::wstring section = catalogue::withSection(L"", sectionName, records, foldKey);
        return writeFileSafely(target, encodeFile(catalogue::settingsFileText(
                                           catalogue::presetCatalogue(), foldKey, section)));
    }
    return writeFileSafely(
        target, encodeLike(content.bytes,
                           catalogue::withSection(*content.text, sectionName, records, foldKey)));
}

std::optional<std::wstring> keptValue(std::wstring_view path, std::wstring_view sectionName,
                                      std::wstring_view key) {
    const FileContent content = readContent(std::wstring(path));
    if (!content.text) return std::nullopt;
    for (const auto& [k, value] : catalogue::sectionEntries(*content.text, sectionName, foldKey))
        if (foldKey(k) == foldKey(key)) return value;
    return std::nullopt;
}

} // namespace

bool FileExists(std::wstring_view path) {
    const DWORD attributes = GetFileAttributesW(std::wstring(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring settingsPath(std::wstring_view directory) {
    std::wstring path(directory);
    path += L'\\';
    path += catalogue::kSettingsFileName;
    return path;
}

std::wstring foldKey(std::wstring_view key) {
    std::wstring folded(key);
    if (!folded.empty() && folded.size() <= ULONG_MAX)
        CharLowerBuffW(folded.data(), static_cast<DWORD>(folded.size()));
    return folded;
}

LoadedCatalogue loadSettings(std::wstring_view path) {
    const FileBytes read = readFileBytes(std::wstring(path));
    std::optional<std::wstring> text;
    if (read.file == SettingsFile::Loaded) text = fileText(read.bytes);
    if (!text)
        return {catalogue::presetCatalogue(), read.file == SettingsFile::Missing
                                                  ? SettingsFile::Missing
                                                  : SettingsFile::Unusable};
    // One pass over the file instead of one profile call per key: a call per key rescans
    // the section, which grows quadratically with the catalogue.
    const catalogue::ProfileSection section(*text, catalogue::kSettingsSection, foldKey);
    const catalogue::SettingsReader reader = [&](std::wstring_view key) {
        return section.value(key);
    };
    if (!catalogue::holdsCatalogue(reader))
        return {catalogue::presetCatalogue(), SettingsFile::Unusable};
    auto entries = catalogue::catalogueFromSettings(reader);
    const catalogue::ProfileSection ipv6(*text, catalogue::kIpv6Section, foldKey);
    const catalogue::ProfileSection doh(*text, catalogue::kDohSection, foldKey);
    catalogue::addPairs6AndTemplates(
        entries, [&](std::wstring_view key) { return ipv6.value(key); },
        [&](std::wstring_view key) { return doh.value(key); });
    return {std::move(entries), SettingsFile::Loaded};
}

std::vector<catalogue::CatalogueEntry> loadCatalogue(std::wstring_view path) {
    return loadSettings(path).entries;
}

bool saveCatalogue(std::wstring_view path, const std::vector<catalogue::CatalogueEntry>& entries) {
    const SettingsLock lock(path);
    if (!lock) return false;
    const std::wstring target(path);
    // The restore records and the chosen adapter are written as they happen; a save keeps
    // them as they stand, and a file whose records cannot be read is not written over.
    const FileContent content = readContent(target);
    if (content.file == SettingsFile::Unusable) return false;
    return writeFileSafely(
        target, encodeFile(catalogue::settingsFileText(entries, foldKey,
                                                       keptSections(content.text.value_or(L"")))));
}

std::optional<std::wstring> restoreRecord(std::wstring_view path, std::wstring_view service) {
    return keptValue(path, catalogue::kRestoreSection, service);
}

bool writeRestoreRecord(std::wstring_view path, std::wstring_view service,
                        std::wstring_view record) {
    return changeKeptValue(path, catalogue::kRestoreSection, service, std::wstring(record));
}

bool dropRestoreRecord(std::wstring_view path, std::wstring_view service) {
    return changeKeptValue(path, catalogue::kRestoreSection, service, std::nullopt);
}

std::optional<std::wstring> chosenAdapter(std::wstring_view settingsPath) {
    auto service = keptValue(settingsPath, catalogue::kAdapterSection, catalogue::kLastAdapterKey);
    if (service && service->empty()) return std::nullopt;
    return service;
}

bool setChosenAdapter(std::wstring_view settingsPath, std::wstring_view service) {
    // Unchanged: the file is left alone.
    if (chosenAdapter(settingsPath) == service) return true;
    return changeKeptValue(settingsPath, catalogue::kAdapterSection, catalogue::kLastAdapterKey,
                           std::wstring(service));
}

catalogue::DohMode encryptedDnsMode(std::wstring_view path) {
    const auto value =
        keptValue(path, catalogue::kEncryptedDnsSection, catalogue::kEncryptedDnsKey);
    return value ? catalogue::dohModeNamed(*value).value_or(catalogue::kDefaultDohMode)
                 : catalogue::kDefaultDohMode;
}

bool setEncryptedDnsMode(std::wstring_view path, catalogue::DohMode mode) {
    return changeKeptValue(path, catalogue::kEncryptedDnsSection, catalogue::kEncryptedDnsKey,
                           std::wstring(catalogue::dohModeName(mode)));
}

bool traySwitch(std::wstring_view path, std::wstring_view key) {
    return keptValue(path, catalogue::kTraySection, key) == L"1";
}

bool setTraySwitch(std::wstring_view path, std::wstring_view key, bool on) {
    if (traySwitch(path, key) == on) return true;
    return changeKeptValue(path, catalogue::kTraySection, key,
                           on ? std::optional<std::wstring>(L"1") : std::nullopt);
}

std::optional<std::vector<std::pair<std::wstring, std::wstring>>>
networkRuleLines(std::wstring_view path) {
    const FileContent content = readContent(std::wstring(path));
    if (content.file == SettingsFile::Unusable) return std::nullopt;
    return catalogue::sectionEntries(content.text.value_or(L""), catalogue::kRulesSection, foldKey);
}

bool setNetworkRule(std::wstring_view path, std::wstring_view network, std::wstring_view value) {
    return changeKeptValue(path, catalogue::kRulesSection, network, std::wstring(value));
}

bool dropNetworkRule(std::wstring_view path, std::wstring_view network) {
    return changeKeptValue(path, catalogue::kRulesSection, network, std::nullopt);
}

} // namespace mConfig
