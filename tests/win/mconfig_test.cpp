// The settings file against the real profile functions, in a scratch folder.
#include "catalogue/mConfig.h"

#include <windows.h>
#include <winioctl.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "numbered_catalogue.h"
#include "toolkit/handles.h"
#include "toolkit/text.h"

using catalogue::CatalogueEntry;
using Catalogue = std::vector<CatalogueEntry>;
namespace fs = std::filesystem;

namespace {

// What the profile functions themselves give for key in section of file, read in full
// (grown until no length cut); def when the file or the key is missing.
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

// Writes one key through the profile functions; false when the call fails.
bool writeIni(std::wstring_view file, std::wstring_view section, std::wstring_view key,
              std::wstring_view value) {
    return WritePrivateProfileStringA(tk::toAnsi(section).c_str(), tk::toAnsi(key).c_str(),
                                      tk::toAnsi(value).c_str(), tk::toAnsi(file).c_str()) != 0;
}

std::string fileBytes(const std::wstring& path) {
    std::ifstream in(fs::path(path), std::ios::binary);
    return in ? std::string(std::istreambuf_iterator<char>(in), {}) : "<none>";
}

void putBytes(const std::wstring& path, const std::string& bytes) {
    std::ofstream(fs::path(path), std::ios::binary) << bytes;
}

// The catalogue the profile functions themselves give: the same rules, every key read
// through GetPrivateProfileStringA, where a default no file holds stands for "missing".
Catalogue viaProfileFunctions(const std::wstring& path) {
    if (!mConfig::FileExists(path)) return catalogue::presetCatalogue();
    auto entries =
        catalogue::catalogueFromSettings([&](std::wstring_view key) -> std::optional<std::wstring> {
            std::wstring v = readIni(path, L"kDNS", key, L"\x01missing");
            return v == L"\x01missing" ? std::nullopt : std::optional(v);
        });
    const auto section = [&](const wchar_t* name) {
        return [&path, name](std::wstring_view key) -> std::optional<std::wstring> {
            std::wstring v = readIni(path, name, key, L"\x01missing");
            return v == L"\x01missing" ? std::nullopt : std::optional(v);
        };
    };
    catalogue::addPairs6AndTemplates(entries, section(L"kDNS6"), section(L"kDoH"));
    return entries;
}

class SettingsFileTest : public testing::Test {
  protected:
    void SetUp() override {
        TearDown();
        fs::create_directories(dir_);
    }
    void TearDown() override {
        SetFileAttributesW(file(L"Keldrast.ini").c_str(), FILE_ATTRIBUTE_NORMAL);
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }
    std::wstring file(const std::wstring& name) const { return (dir_ / name).wstring(); }
    const fs::path dir_ = fs::temp_directory_path() / "keldrast-mconfig-test";
};

} // namespace

TEST_F(SettingsFileTest, SavedFileIsExactlyWhatKeyByKeyWritesGive) {
    const CatalogueEntry a{L"a", L"1.1.1.1,1.0.0.1"}, b{L" b ", L"2.2.2.2,2.2.2.3"},
        g{L"google", L"1.1.1.1,1.0.0.1"}, G{L"Google", L"8.8.8.8,8.8.4.4"};
    // What is saved, what loads when that differs, and whether writing key by key gives
    // the same file (names in quotes or with white space at the ends of "ALL" do not).
    const std::tuple<Catalogue, Catalogue, bool> cases[] = {
        {catalogue::presetCatalogue(), {}, true},
        {{}, {}, true},                                 // the presets do not return
        {{g, b, G}, {{L"google", G.pair}, b, G}, true}, // one key for both spellings
        {numberedCatalogue(60), {}, true},              // "ALL" far beyond 499 characters
        {{{L"Caf\u00E9 \u00C4rger", L"9.9.9.9,149.112.112.112"}, {L"a;b", G.pair}}, {}, true},
        {{a, b, {L"\tc", G.pair}}, {}, true},
        {{a, {L"m", G.pair, L"", L"https://d.example/q"}}, {}, true}, // a template of one's own
        {{a, {L"c\t", G.pair}}, {a, {L"c", G.pair}}, false},
        {{{L"\"Quoted\"", G.pair}}, {}, false},
        {{{L"'first", G.pair}, {L"last'", G.pair}}, {}, false},
    };
    const std::wstring ours = file(L"Keldrast.ini"), theirs = file(L"keybykey.ini");
    EXPECT_EQ(mConfig::loadCatalogue(ours), catalogue::presetCatalogue()); // no file yet
    for (const auto& [saved, loaded, asKeyByKey] : cases) {
        ASSERT_TRUE(mConfig::saveCatalogue(ours, saved));
        DeleteFileW(theirs.c_str());
        writeIni(theirs, L"kDNS", L"ALL", catalogue::joinNames(saved));
        writeIni(theirs, L"kDNS", L"NUM", std::to_wstring(saved.size()));
        for (const auto& e : saved)
            writeIni(theirs, L"kDNS", e.name, e.pair);
        for (const auto& e : saved)
            if (!e.pair6.empty()) writeIni(theirs, L"kDNS6", e.name, e.pair6);
        for (const auto& e : saved)
            if (!e.doh.empty() && !catalogue::matchingPreset(e))
                writeIni(theirs, L"kDoH", e.name, e.doh);
        EXPECT_EQ(fileBytes(ours) == fileBytes(theirs), asKeyByKey) << catalogue::joinNames(saved);
        EXPECT_FALSE(mConfig::FileExists(ours + L".new"));
        const Catalogue& expected = loaded.empty() ? saved : loaded;
        EXPECT_EQ(viaProfileFunctions(ours), expected);
        EXPECT_EQ(mConfig::loadCatalogue(ours), expected);
    }
}

TEST_F(SettingsFileTest, CodePageOrElseUtf16KeepsEveryNameAndPair) {
    const UINT cp = GetACP();
    const std::wstring path = file(L"Keldrast.ini");
    // Whether the file stays in the code page: always in UTF-8; in 1252 for Latin names;
    // never in 932, 936, 950 or 874, which have no "®".
    const std::pair<const wchar_t*, bool> cases[] = {{L"Plain", true},
                                                     {L"Caf\u00E9", true},
                                                     {L"\u05E9\u05DC\u05D5\u05DD", false},
                                                     {L"\u65E5\u672C", false},
                                                     {L"\u0E44\u0E17\u0E22", false}};
    for (const auto& [name, in1252] : cases) {
        auto saved = catalogue::presetCatalogue();
        saved.push_back({name, L"9.9.9.9,149.112.112.112"});
        ASSERT_TRUE(mConfig::saveCatalogue(path, saved));
        const std::string bytes = fileBytes(path);
        const bool ansi = bytes.rfind("\xFF\xFE", 0) != 0;
        if (cp == CP_UTF8 || cp == 1252) {
            EXPECT_EQ(ansi, cp == CP_UTF8 || in1252) << cp;
        } else if (cp == 932 || cp == 936 || cp == 950 || cp == 874) {
            EXPECT_FALSE(ansi) << cp;
        }
        if (ansi) {
            EXPECT_EQ(bytes, tk::toAnsi(catalogue::settingsFileText(saved, mConfig::foldKey)));
        }
        EXPECT_EQ(mConfig::loadSettings(path).entries, saved) << cp;
        for (const auto& e : saved) { // as the profile functions read it
            wchar_t value[64]{};
            GetPrivateProfileStringW(L"kDNS", e.name.c_str(), L"", value, 64, path.c_str());
            EXPECT_EQ(std::wstring(value), e.pair) << cp;
        }
    }
}

TEST_F(SettingsFileTest, FailedSaveLeavesTheOldFile) {
    const std::wstring path = file(L"Keldrast.ini");
    const Catalogue one{{L"Mine", L"1.1.1.1,1.0.0.1"}};
    ASSERT_TRUE(mConfig::saveCatalogue(path, one));
    const std::string before = fileBytes(path);
    // A read-only file loads and is not replaced.
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(mConfig::loadCatalogue(path), one);
    EXPECT_FALSE(mConfig::saveCatalogue(path, {}));
    EXPECT_EQ(fileBytes(path), before);
    EXPECT_EQ(fs::directory_iterator(fs::path(path).parent_path())->path(), fs::path(path))
        << "no temporary file left behind";
    // The settings path is a folder: the presets load, nothing is replaced or left behind.
    const std::wstring folder = file(L"Folder.ini");
    ASSERT_TRUE(fs::create_directory(folder));
    EXPECT_EQ(mConfig::loadCatalogue(folder), catalogue::presetCatalogue());
    EXPECT_FALSE(mConfig::saveCatalogue(folder, {}));
    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_FALSE(mConfig::saveCatalogue(file(L"no\\such\\Keldrast.ini"), {}));
}

// The program runs elevated in a folder that others may write to: nothing it writes may land
// anywhere but the settings file itself, and no record may be lost.
TEST_F(SettingsFileTest, NeverWrittenThroughALinkAndNoRecordLost) {
    const std::wstring path = file(L"Keldrast.ini"), victim = file(L"victim.txt");
    putBytes(victim, "precious");
    // A file planted where older copies put their temporary file is never opened: the new file
    // is made under a fresh name, and only the settings file is replaced.
    ASSERT_TRUE(CreateHardLinkW((path + L".new").c_str(), victim.c_str(), nullptr));
    ASSERT_TRUE(mConfig::saveCatalogue(path, {{L"Mine", L"1.1.1.1,1.0.0.1"}}));
    EXPECT_EQ(fileBytes(victim), "precious");
    fs::remove(path + L".new");
    fs::remove(path);
    // Symbolic links are refused as reparse points on Windows; Wine's file functions cannot see
    // them, so here the settings file as a second name of another file stands for them.
    // One of two names of a file: refused.
    ASSERT_TRUE(CreateHardLinkW(path.c_str(), victim.c_str(), nullptr));
    EXPECT_FALSE(mConfig::saveCatalogue(path, {}));
    EXPECT_EQ(fileBytes(victim), "precious");
    fs::remove(path);

    // Several records for one adapter: the first counts, and a save keeps only it.
    putBytes(path, "[kDNS]\r\nALL=A\r\nNUM=1\r\nA=1.1.1.1\r\n[kRestore]\r\n{G}=first\r\n"
                   "{g}=second\r\n{H}=other\r\n");
    EXPECT_EQ(mConfig::restoreRecord(path, L"{G}"), L"first");
    ASSERT_TRUE(mConfig::saveCatalogue(path, {{L"B", L"2.2.2.2"}}));
    EXPECT_EQ(fileBytes(path),
              tk::toAnsi(catalogue::settingsFileText({{L"B", L"2.2.2.2"}}, mConfig::foldKey)) +
                  "[kRestore]\r\n{G}=first\r\n{H}=other\r\n");
    ASSERT_TRUE(mConfig::dropRestoreRecord(path, L"{g}"));
    EXPECT_EQ(readIni(path, L"kRestore", L"{H}", L""), L"other");
    EXPECT_EQ(mConfig::restoreRecord(path, L"{G}"), std::nullopt);

    // The adapter chosen last (the notification area's) is kept by a save as well.
    EXPECT_EQ(mConfig::chosenAdapter(path), std::nullopt);
    ASSERT_TRUE(mConfig::setChosenAdapter(path, L"{E}"));
    ASSERT_TRUE(mConfig::setChosenAdapter(path, L"{W}"));
    ASSERT_TRUE(mConfig::saveCatalogue(path, {{L"C", L"3.3.3.3"}}));
    EXPECT_EQ(fileBytes(path),
              tk::toAnsi(catalogue::settingsFileText({{L"C", L"3.3.3.3"}}, mConfig::foldKey)) +
                  "[kRestore]\r\n{H}=other\r\n[kAdapter]\r\nLast={W}\r\n");
    EXPECT_EQ(mConfig::chosenAdapter(path), L"{W}");

    // A file that exists but cannot be read, or is not in an encoding read here, is never
    // written: its records would be lost.
    const std::string before = fileBytes(path);
    const HANDLE held =
        CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(mConfig::saveCatalogue(path, {}));
    EXPECT_FALSE(mConfig::writeRestoreRecord(path, L"{G}", L"-|-|-|-|-|-"));
    EXPECT_FALSE(mConfig::setChosenAdapter(path, L"{G}"));
    CloseHandle(held);
    EXPECT_EQ(fileBytes(path), before);
    const std::string oddUtf16("\xFF\xFE[\0k\0D\0N\0S\0]\0\r", 15);
    putBytes(path, oddUtf16);
    EXPECT_FALSE(mConfig::saveCatalogue(path, {}));
    EXPECT_FALSE(mConfig::writeRestoreRecord(path, L"{G}", L"-|-|-|-|-|-"));
    EXPECT_EQ(fileBytes(path), oddUtf16);
}

TEST_F(SettingsFileTest, LoaderReadsAnyFileAsTheProfileFunctionsDo) {
    // "\256" is "®" in the ANSI code page.
    const std::string files[] = {
        // duplicate keys, any case, spaces around keys and values
        "[kDNS]\r\nALL=A\256B\256C\r\nNUM=3\r\n  a  =  1.1.1.1,1.0.0.1  \r\nA=2\r\nc=3\r\n",
        // the section twice, the key only in the second; other sections around it
        "[x]\r\nA=0\r\n[KDNS]\r\nALL=A\256B\r\nNUM=2\r\n[kDNS]\r\nB=late\r\n[y]\r\n",
        // keys before any section, a line without "=", a value cut at the first "="
        "ALL=Z\r\n[kDNS]\r\nALL=A\256B\r\nNUM=2\r\nA\r\nB=x=y\r\n",
        // Unix and old Mac line ends, both in one file, tabs
        "[kDNS]\nALL=A\256B\nNUM=2\n\tA\t=\t9.9.9.9,1.1.1.1\t\nB=5\n",
        "[kDNS]\rALL=A\rNUM=1\rA=7\r", "[kDNS]\rALL=A\256B\r\nNUM=2\nA=1\rB=2\r",
        // quoted values, a half quote
        "[kDNS]\r\nALL=\"A\256B\"\r\nNUM=2\r\nA='1.1.1.1,1.0.0.1'\r\nB=\"x\r\n",
        // damaged or missing NUM: every name loads
        "[kDNS]\r\nALL=A\256\256C\r\nNUM=lots\r\nA=1\r\n", "[kDNS]\r\nALL=A\256B\r\nNUM=\r\n",
        "[kDNS]\r\nALL=A\256B\r\nB=2\r\n", "[kDNS]\r\nNUM=2\r\nOpen DNS=1\r\n",
        // comment-like and bracket lines inside the section
        "[kDNS]\r\nALL=;A\256[B\r\nNUM=2\r\n;A=1\r\n[B=2\r\n",
        // UTF-8 and UTF-16LE after their byte-order marks
        "\xEF\xBB\xBF[kDNS]\r\nALL=A\xC2\xAE\xC3\xA9\r\nNUM=2\r\n\xC3\xA9=1.1.1.1,1.0.0.1\r\n",
        std::string("\xFF\xFE[\0k\0D\0N\0S\0]\0\r\0\n\0N\0U\0M\0=\0\x31\0", 28)};
    // Keys are one when they differ only in the case of a letter outside ASCII, too: SAVE
    // refuses "CAF\u00C9" beside "caf\u00E9" by this fold.
    EXPECT_EQ(mConfig::foldKey(L"CAF\u00C9 \u0394"), L"caf\u00E9 \u03B4");
    for (std::size_t i = 0; i < std::size(files); ++i) {
        const std::wstring path = file(L"case" + std::to_wstring(i) + L".ini");
        putBytes(path, files[i]);
        const auto loaded = mConfig::loadSettings(path);
        EXPECT_EQ(loaded.file, mConfig::SettingsFile::Loaded) << "file " << i;
        EXPECT_EQ(loaded.entries, viaProfileFunctions(path)) << "file " << i;
    }
}

TEST_F(SettingsFileTest, AFileWithoutACatalogueOrInAnUnknownEncodingIsUnusable) {
    std::string garbage;
    for (unsigned i = 0, seed = 12345; i < 200000; ++i)
        garbage += static_cast<char>((seed = seed * 1103515245 + 12345) >> 16);
    const std::string files[] = {
        // no "kDNS" section, or one without "ALL" and "NUM"
        "", "ALL=A\r\nNUM=1\r\nA=1\r\n", "[kDNS\r\nALL=A\r\nNUM=1\r\n",
        "[other]\r\nALL=A\r\nNUM=1\r\n", "[kDNS]\r\nGoogle DNS=1.1.1.1,1.0.0.1\r\n",
        // byte-order marks of encodings not read here, a cut UTF-16 file, bad UTF-8
        "\xFE\xFF\0[\0k\0D\0N\0S\0]", std::string("\xFF\xFE\0\0[\0\0\0", 8),
        std::string("\xFF\xFE[\0k\0D\0N\0S\0]\0\r", 15), "\xEF\xBB\xBF[kDNS]\r\nALL=\xC3\r\nNUM=1",
        // binary: NUL bytes, alone, after a section header and after a byte-order mark
        garbage, "[kDNS]\r\nALL=A\r\nNUM=1\r\n" + garbage, "\xFF\xFE" + garbage};
    for (std::size_t i = 0; i < std::size(files); ++i) {
        const std::wstring path = file(L"case" + std::to_wstring(i) + L".ini");
        putBytes(path, files[i]);
        const auto loaded = mConfig::loadSettings(path);
        EXPECT_EQ(loaded.file, mConfig::SettingsFile::Unusable) << "file " << i;
        EXPECT_EQ(loaded.entries, catalogue::presetCatalogue()) << "file " << i;
    }
    // A file held without sharing cannot be read: unusable, not missing.
    const std::wstring path = file(L"Keldrast.ini");
    putBytes(path, "[kDNS]\r\nALL=A\r\nNUM=1\r\n");
    const HANDLE held =
        CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(mConfig::loadSettings(path).file, mConfig::SettingsFile::Unusable);
    CloseHandle(held);
    EXPECT_EQ(mConfig::loadSettings(path).file, mConfig::SettingsFile::Loaded);
    EXPECT_EQ(mConfig::loadSettings(file(L"none.ini")).file, mConfig::SettingsFile::Missing);
}

TEST_F(SettingsFileTest, MegabyteLinesAndAHundredThousandEntriesLoadWhole) {
    const std::wstring path = file(L"Keldrast.ini");
    const std::string name(1 << 20, 'n'), value(1 << 20, '1');
    putBytes(path, "[kDNS]\r\nALL=" + name + "\r\nNUM=1\r\n" + name + "=" + value + "\r\n");
    // Compared without printing: a failure would print two megabytes.
    const Catalogue whole{{std::wstring(1 << 20, L'n'), std::wstring(1 << 20, L'1')}};
    EXPECT_TRUE(mConfig::loadCatalogue(path) == whole);

    const auto many = numberedCatalogue(100000);
    ASSERT_TRUE(mConfig::saveCatalogue(path, many));
    EXPECT_EQ(mConfig::loadCatalogue(path), many); // "NUM" beyond 16 bits
    EXPECT_EQ(readIni(path, L"kDNS", L"DNS service 99999", L""), many.back().pair);
}

TEST_F(SettingsFileTest, NeverWrittenInAFolderThatIsALink) {
    // A junction made the way Windows makes one (mklink /J): a mount-point reparse point.
    const fs::path target = dir_ / "elsewhere", folder = dir_ / "Keldrast";
    fs::create_directories(target);
    fs::create_directories(folder);
    const tk::unique_handle handle(tk::openedFile(
        CreateFileW(folder.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr)));
    ASSERT_TRUE(handle);
    const std::wstring substitute = L"\\??\\" + target.wstring();
    std::vector<BYTE> buffer(sizeof(DWORD) + 2 * sizeof(WORD) + 4 * sizeof(WORD) +
                             (substitute.size() + 2) * sizeof(wchar_t));
    auto* words = reinterpret_cast<WORD*>(buffer.data());
    *reinterpret_cast<DWORD*>(buffer.data()) = IO_REPARSE_TAG_MOUNT_POINT;
    words[2] = static_cast<WORD>(buffer.size() - 8);                   // data length
    words[4] = 0;                                                      // substitute offset
    words[5] = static_cast<WORD>(substitute.size() * sizeof(wchar_t)); // its length
    words[6] = words[5] + sizeof(wchar_t);                             // print name offset
    words[7] = 0;                                                      // its length
    std::copy(substitute.begin(), substitute.end(), reinterpret_cast<wchar_t*>(words + 8));
    DWORD returned = 0;
    // Wine 8 cannot make one (nor shows a Unix link as one); the folders looked at are checked
    // in the core's SettingsLocation tests.
    if (!DeviceIoControl(handle.get(), FSCTL_SET_REPARSE_POINT, buffer.data(),
                         static_cast<DWORD>(buffer.size()), nullptr, 0, &returned, nullptr))
        GTEST_SKIP() << "this system makes no junctions: " << GetLastError();
    ASSERT_TRUE(GetFileAttributesW(folder.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT);
    const std::wstring path = (folder / "Keldrast.ini").wstring();
    EXPECT_FALSE(mConfig::saveCatalogue(path, {}));
    EXPECT_FALSE(mConfig::writeRestoreRecord(path, L"{G}", L"-|-|-|-|-|-"));
    EXPECT_FALSE(mConfig::writeRestoreRecord((folder / "sub" / "Keldrast.ini").wstring(), L"{G}",
                                             L"-|-|-|-|-|-"));
    EXPECT_TRUE(fs::is_empty(target)) << "nothing written where it points";
    EXPECT_TRUE(mConfig::saveCatalogue((target / "Keldrast.ini").wstring(), {}));
}
