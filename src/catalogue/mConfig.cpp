#include "catalogue/mConfig.h"

#include <windows.h>

#include <climits>

#include "toolkit/text.h"

namespace mConfig {

namespace {

// Larger settings files are read only up to this size.
constexpr LONGLONG kMaxFileBytes = 256LL * 1024 * 1024;

std::string readFileBytes(const std::wstring& path) {
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    std::string bytes;
    LARGE_INTEGER size{};
    if (GetFileSizeEx(file, &size)) {
        bytes.resize(static_cast<std::size_t>(size.QuadPart < kMaxFileBytes ? size.QuadPart
                                                                            : kMaxFileBytes));
        std::size_t done = 0;
        while (done < bytes.size()) {
            DWORD got = 0;
            const DWORD want =
                static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
            if (!ReadFile(file, bytes.data() + done, want, &got, nullptr) || got == 0) break;
            done += got;
        }
        bytes.resize(done);
    }
    CloseHandle(file);
    return bytes;
}

// The file's text as the profile functions see it: UTF-16 or UTF-8 after a byte-order
// mark, otherwise the ANSI code page.
std::wstring fileText(std::string_view bytes) {
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        bytes.remove_prefix(2);
        std::wstring text(bytes.size() / 2, L'\0');
        for (std::size_t i = 0; i < text.size(); ++i)
            text[i] = static_cast<wchar_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                           (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
        return text;
    }
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF")
        return tk::fromCodePage(bytes.substr(3), CP_UTF8);
    return tk::fromAnsi(bytes);
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

} // namespace

std::wstring readIni(std::wstring_view file, std::wstring_view section, std::wstring_view key,
                     std::wstring_view def) {
    const std::string f = tk::toAnsi(file), s = tk::toAnsi(section), k = tk::toAnsi(key),
                      d = tk::toAnsi(def);
    // The profile functions cut a value to the buffer; grow it until the value fits.
    for (DWORD size = 512;; size *= 2) {
        std::string buffer(size, '\0');
        const DWORD n = GetPrivateProfileStringA(s.c_str(), k.c_str(), d.c_str(), buffer.data(),
                                                 size, f.c_str());
        if (n + 1 < size || size >= (1u << 30))
            return tk::fromAnsi(std::string_view(buffer.data(), n));
    }
}

bool writeIni(std::wstring_view file, std::wstring_view section, std::wstring_view key,
              std::wstring_view value) {
    return WritePrivateProfileStringA(tk::toAnsi(section).c_str(), tk::toAnsi(key).c_str(),
                                      tk::toAnsi(value).c_str(), tk::toAnsi(file).c_str()) != 0;
}

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

std::vector<app::CatalogueEntry> loadCatalogue(std::wstring_view path) {
    if (!FileExists(path)) return app::presetCatalogue();
    // One pass over the file instead of one profile call per key: a call per key rescans
    // the section, which grows quadratically with the catalogue.
    const std::wstring text = fileText(readFileBytes(std::wstring(path)));
    const app::ProfileSection section(text, app::kSettingsSection, foldKey);
    auto entries =
        app::catalogueFromSettings([&](std::wstring_view key) { return section.value(key); });
    const app::ProfileSection ipv6(text, app::kIpv6Section, foldKey);
    for (auto& entry : entries)
        entry.pair6 = ipv6.value(entry.name).value_or(L"");
    return entries;
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
        app::sectionText(fileText(readFileBytes(target)), app::kRestoreSection, foldKey);
    const std::string bytes = tk::toAnsi(app::settingsFileText(entries, foldKey, records));
    const HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool written = writeAll(file, bytes) && FlushFileBuffers(file);
    CloseHandle(file);
    if (written && MoveFileExW(temporary.c_str(), target.c_str(),
                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    DeleteFileW(temporary.c_str());
    return false;
}

std::optional<std::wstring> restoreRecord(std::wstring_view path, std::wstring_view service) {
    if (!FileExists(path)) return std::nullopt;
    const app::ProfileSection records(fileText(readFileBytes(std::wstring(path))),
                                      app::kRestoreSection, foldKey);
    return records.value(service);
}

bool writeRestoreRecord(std::wstring_view path, std::wstring_view service,
                        std::wstring_view record) {
    const std::wstring file(path);
    // Without a file the catalogue is the presets; they are written first, so the file the
    // record creates still holds the catalogue.
    if (!FileExists(path) && !saveCatalogue(path, app::presetCatalogue())) return false;
    return WritePrivateProfileStringW(std::wstring(app::kRestoreSection).c_str(),
                                      std::wstring(service).c_str(), std::wstring(record).c_str(),
                                      file.c_str()) != 0;
}

bool dropRestoreRecord(std::wstring_view path, std::wstring_view service) {
    if (!restoreRecord(path, service)) return true;
    const std::wstring section(app::kRestoreSection), file(path);
    if (!WritePrivateProfileStringW(section.c_str(), std::wstring(service).c_str(), nullptr,
                                    file.c_str()))
        return false;
    // The last record gone, the section goes too.
    const app::ProfileSection records(fileText(readFileBytes(file)), section, foldKey);
    if (records.empty())
        WritePrivateProfileStringW(section.c_str(), nullptr, nullptr, file.c_str());
    return true;
}

} // namespace mConfig
