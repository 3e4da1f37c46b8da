#include "catalogue/mConfig.h"

#include <windows.h>

#include <algorithm>
#include <climits>
#include <optional>

#include "toolkit/handles.h"
#include "toolkit/text.h"

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
        text = decodeStrict(bytes.substr(3), CP_UTF8);
    } else {
        text = decodeStrict(bytes, CP_ACP);
    }
    if (text && text->find(L'\0') != std::wstring::npos) return std::nullopt;
    return text;
}

// The bytes of the file: ANSI when the text survives the code page, else UTF-16LE.
std::string encodeFile(const std::wstring& text) {
    if (tk::fitsAnsi(text)) return tk::toAnsi(text);
    std::string bytes = "\xFF\xFE";
    bytes.reserve(2 + 2 * text.size());
    for (const wchar_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>((c >> 8) & 0xFF);
    }
    return bytes;
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

// The file's text; nothing when it could not be read or decoded.
std::optional<std::wstring> readText(const std::wstring& path) {
    const FileBytes read = readFileBytes(path);
    if (read.file != SettingsFile::Loaded) return std::nullopt;
    return fileText(read.bytes);
}

} // namespace

bool FileExists(std::wstring_view path) {
    const DWORD attributes = GetFileAttributesW(std::wstring(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring settingsPath(std::wstring_view directory) {
    std::wstring path(directory);
    path += L'\\';
    path += app::kSettingsFileName;
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
        return {app::presetCatalogue(), read.file == SettingsFile::Missing
                                            ? SettingsFile::Missing
                                            : SettingsFile::Unusable};
    // One pass over the file instead of one profile call per key: a call per key rescans
    // the section, which grows quadratically with the catalogue.
    const app::ProfileSection section(*text, app::kSettingsSection, foldKey);
    const app::SettingsReader reader = [&](std::wstring_view key) { return section.value(key); };
    if (!app::holdsCatalogue(reader)) return {app::presetCatalogue(), SettingsFile::Unusable};
    auto entries = app::catalogueFromSettings(reader);
    const app::ProfileSection ipv6(*text, app::kIpv6Section, foldKey);
    for (auto& entry : entries)
        entry.pair6 = ipv6.value(entry.name).value_or(L"");
    return {std::move(entries), SettingsFile::Loaded};
}

std::vector<app::CatalogueEntry> loadCatalogue(std::wstring_view path) {
    return loadSettings(path).entries;
}

bool saveCatalogue(std::wstring_view path, const std::vector<app::CatalogueEntry>& entries) {
    const std::wstring target(path);
    const std::wstring temporary = target + L".new";
    // A read-only settings file stays as it is (Windows refuses to replace it; Wine would).
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        return false;
    // The restore records are written as they happen; a save keeps them as they stand.
    const std::wstring records =
        app::sectionText(readText(target).value_or(L""), app::kRestoreSection, foldKey);
    const std::string bytes = encodeFile(app::settingsFileText(entries, foldKey, records));
    auto file = tk::openedFile(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr,
                                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    const bool written = writeAll(file.get(), bytes) && FlushFileBuffers(file.get());
    file.reset(); // closed before it is moved into place
    if (written && MoveFileExW(temporary.c_str(), target.c_str(),
                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    DeleteFileW(temporary.c_str());
    return false;
}

std::optional<std::wstring> restoreRecord(std::wstring_view path, std::wstring_view service) {
    if (!FileExists(path)) return std::nullopt;
    const app::ProfileSection records(readText(std::wstring(path)).value_or(L""),
                                      app::kRestoreSection, foldKey);
    return records.value(service);
}

bool writeRestoreRecord(std::wstring_view path, std::wstring_view service,
                        std::wstring_view record) {
    // Without a file the catalogue is the presets; they are written first, so the file the
    // record creates still holds the catalogue.
    const auto file = loadSettings(path).file;
    if (file == SettingsFile::Unusable) return false; // a file Keldrast cannot use stays as it is
    if (file == SettingsFile::Missing && !saveCatalogue(path, app::presetCatalogue())) return false;
    return WritePrivateProfileStringW(std::wstring(app::kRestoreSection).c_str(),
                                      std::wstring(service).c_str(), std::wstring(record).c_str(),
                                      std::wstring(path).c_str()) != 0;
}

bool dropRestoreRecord(std::wstring_view path, std::wstring_view service) {
    if (!restoreRecord(path, service)) return true;
    const std::wstring section(app::kRestoreSection), file(path);
    if (!WritePrivateProfileStringW(section.c_str(), std::wstring(service).c_str(), nullptr,
                                    file.c_str()))
        return false;
    // The last record gone, the section goes too.
    const app::ProfileSection records(readText(file).value_or(L""), section, foldKey);
    if (records.empty())
        WritePrivateProfileStringW(section.c_str(), nullptr, nullptr, file.c_str());
    return true;
}

} // namespace mConfig
