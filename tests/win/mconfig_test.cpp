// The settings file against the real profile functions, in a scratch folder.
#include "app/mConfig.h"
#include "toolkit/platform.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "toolkit/text.h"

using app::CatalogueEntry;

namespace {

std::wstring scratchDirectory() {
    wchar_t temp[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, temp);
    return std::wstring(temp) + L"keldrast-mconfig-test";
}

void removeTree(const std::wstring& dir) {
    WIN32_FIND_DATAW found;
    const HANDLE h = FindFirstFileW((dir + L"\\*").c_str(), &found);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring path = dir + L"\\" + name;
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                removeTree(path);
            else
                DeleteFileW(path.c_str());
        } while (FindNextFileW(h, &found));
        FindClose(h);
    }
    RemoveDirectoryW(dir.c_str());
}

std::string fileBytes(const std::wstring& path) {
    const HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return "<none>";
    std::string bytes;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(f, buffer, sizeof(buffer), &got, nullptr) && got)
        bytes.append(buffer, got);
    CloseHandle(f);
    return bytes;
}

void putBytes(const std::wstring& path, std::string_view bytes) {
    const HANDLE f =
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(f);
}

// The catalogue the profile functions themselves give for a file: the same decision,
// every key read through GetPrivateProfileStringA.
std::vector<CatalogueEntry> viaProfileFunctions(const std::wstring& path) {
    if (!mConfig::FileExists(path)) return app::presetCatalogue();
    // GetPrivateProfileStringA gives no way to tell a missing key from its default; a
    // default no file holds stands for "missing".
    const std::wstring none = L"\x01missing\x01";
    return app::catalogueFromSettings([&](std::wstring_view key) -> std::optional<std::wstring> {
        std::wstring v = mConfig::readIni(path, L"kDNS", key, none);
        if (v == none) return std::nullopt;
        return v;
    });
}

// The file as the profile functions leave it when the whole catalogue is written key by
// key into a file deleted first.
void writeKeyByKey(const std::wstring& path, const std::vector<CatalogueEntry>& entries) {
    DeleteFileW(path.c_str());
    mConfig::writeIni(path, L"kDNS", L"ALL", app::joinNames(entries));
    mConfig::writeIni(path, L"kDNS", L"NUM", std::to_wstring(entries.size()));
    for (const auto& e : entries)
        mConfig::writeIni(path, L"kDNS", e.name, e.pair);
}

class SettingsFileTest : public testing::Test {
  protected:
    void SetUp() override {
        removeTree(dir_);
        ASSERT_TRUE(CreateDirectoryW(dir_.c_str(), nullptr));
    }
    void TearDown() override { removeTree(dir_); }
    std::wstring file(const wchar_t* name) const { return dir_ + L"\\" + name; }

    const std::wstring dir_ = scratchDirectory();
};

std::vector<CatalogueEntry> manyEntries(int n) {
    std::vector<CatalogueEntry> entries;
    for (int i = 0; i < n; ++i)
        entries.push_back(
            {L"Entry " + std::to_wstring(i),
             L"10." + std::to_wstring(i % 250) + L".0.1,10.0." + std::to_wstring(i % 250) + L".2"});
    return entries;
}

} // namespace

TEST_F(SettingsFileTest, ReadIniGivesWholeValuesAndDefaults) {
    const std::wstring path = file(L"r.ini");
    const std::wstring longValue(2000, L'x');
    EXPECT_TRUE(mConfig::writeIni(path, L"kDNS", L"Long", longValue));
    EXPECT_TRUE(mConfig::writeIni(path, L"kDNS", L"Edge", std::wstring(511, L'y')));
    EXPECT_EQ(mConfig::readIni(path, L"kDNS", L"Long", L"d"), longValue);
    EXPECT_EQ(mConfig::readIni(path, L"kDNS", L"long", L"d"), longValue);
    EXPECT_EQ(mConfig::readIni(path, L"kDNS", L"Edge", L"d"), std::wstring(511, L'y'));
    EXPECT_EQ(mConfig::readIni(path, L"kDNS", L"Missing", L"dflt"), L"dflt");
    EXPECT_EQ(mConfig::readIni(file(L"none.ini"), L"kDNS", L"ALL", std::wstring(900, L'z')),
              std::wstring(900, L'z'));
}

TEST_F(SettingsFileTest, FileExistsOnlyForFiles) {
    putBytes(file(L"f.ini"), "x");
    EXPECT_TRUE(mConfig::FileExists(file(L"f.ini")));
    EXPECT_FALSE(mConfig::FileExists(dir_));
    EXPECT_FALSE(mConfig::FileExists(file(L"nothing.ini")));
    EXPECT_FALSE(mConfig::FileExists(file(L"no\\such\\dir.ini")));
    EXPECT_EQ(mConfig::settingsPath(L"C:\\Tools"), L"C:\\Tools\\Keldrast.ini");
    EXPECT_TRUE(mConfig::FileExists(tk::executableDirectory() + L"\\keldrast_win_tests.exe"));
}

TEST_F(SettingsFileTest, NoFileGivesThePresets) {
    EXPECT_EQ(mConfig::loadCatalogue(file(L"Keldrast.ini")), app::presetCatalogue());
}

TEST_F(SettingsFileTest, SavedFileIsExactlyWhatKeyByKeyWritesGive) {
    auto added = app::presetCatalogue();
    added.push_back({L"My DNS", L"1.1.1.1,1.0.0.1"});
    auto deleted = app::presetCatalogue();
    deleted.erase(deleted.begin() + 2);
    const std::vector<std::vector<CatalogueEntry>> catalogues{
        app::presetCatalogue(),
        {},
        added,
        deleted,
        {{L"google", L"1.1.1.1,1.0.0.1"},
         {L"Other", L"2.2.2.2,2.2.2.3"},
         {L"Google", L"8.8.8.8,8.8.4.4"}},
        manyEntries(60), // "ALL" far beyond 499 characters
        {{L"Caf\u00E9 \u00C4rger", L"9.9.9.9,149.112.112.112"}, {L"a;b", L"1.2.3.4,5.6.7.8"}},
        // Blanks around names (possible for names read from a file): keys are trimmed.
        {{L"a", L"1.1.1.1,1.0.0.1"}, {L" b ", L"2.2.2.2,2.2.2.3"}, {L"\tc", L"3.3.3.3,3.3.3.4"}},
    };
    for (std::size_t i = 0; i < catalogues.size(); ++i) {
        const std::wstring ours = file(L"Keldrast.ini");
        const std::wstring theirs = file(L"keybykey.ini");
        ASSERT_TRUE(mConfig::saveCatalogue(ours, catalogues[i])) << i;
        writeKeyByKey(theirs, catalogues[i]);
        EXPECT_EQ(fileBytes(ours), fileBytes(theirs)) << "catalogue " << i;
        EXPECT_FALSE(mConfig::FileExists(ours + L".new"));
        // Read back by the real profile functions and by the loader alike.
        auto expected = catalogues[i];
        if (i == 4) expected[0].pair = expected[2].pair; // one key for both spellings
        if (i == 7) expected[2].name = L"\tc";           // "ALL" keeps the blanks inside it
        EXPECT_EQ(viaProfileFunctions(ours), expected) << i;
        EXPECT_EQ(mConfig::loadCatalogue(ours), expected) << i;
    }
}

TEST_F(SettingsFileTest, WhiteSpaceAtTheEndsOfTheListIsLost) {
    const std::wstring path = file(L"Keldrast.ini");
    ASSERT_TRUE(
        mConfig::saveCatalogue(path, {{L"a", L"1.1.1.1,1.0.0.1"}, {L"c\t", L"3.3.3.3,3.3.3.4"}}));
    const std::vector<CatalogueEntry> expected{{L"a", L"1.1.1.1,1.0.0.1"},
                                               {L"c", L"3.3.3.3,3.3.3.4"}};
    EXPECT_EQ(viaProfileFunctions(path), expected);
    EXPECT_EQ(mConfig::loadCatalogue(path), expected);
}

TEST_F(SettingsFileTest, NamesInQuotesSurviveTheProfileFunctions) {
    // Reading drops enclosing quotes of a value; "ALL" here begins and ends with one.
    const std::vector<std::vector<CatalogueEntry>> catalogues{
        {{L"\"Quoted\"", L"1.1.1.1,1.0.0.1"}},
        {{L"'first", L"1.1.1.1,1.0.0.1"}, {L"last'", L"2.2.2.2,2.2.2.3"}},
    };
    for (const auto& entries : catalogues) {
        const std::wstring path = file(L"Keldrast.ini");
        ASSERT_TRUE(mConfig::saveCatalogue(path, entries));
        EXPECT_EQ(viaProfileFunctions(path), entries);
        EXPECT_EQ(mConfig::loadCatalogue(path), entries);
    }
}

TEST_F(SettingsFileTest, PresetFileContent) {
    const std::wstring path = file(L"Keldrast.ini");
    ASSERT_TRUE(mConfig::saveCatalogue(path, app::presetCatalogue()));
    const std::string bytes = fileBytes(path);
    EXPECT_EQ(bytes.substr(0, 22), "[kDNS]\r\nALL=Google DNS");
    EXPECT_NE(bytes.find("Open DNS\xAEScrubIT"), std::string::npos); // "®" as one ANSI byte
    EXPECT_NE(bytes.find("\r\nNUM=18\r\nGoogle DNS=8.8.8.8,8.8.4.4\r\n"), std::string::npos);
    EXPECT_EQ(mConfig::readIni(path, L"kDNS", L"ALL", L""), app::kPresetNames);
}

TEST_F(SettingsFileTest, SaveReplacesTheWholeOldFile) {
    const std::wstring path = file(L"Keldrast.ini");
    ASSERT_TRUE(mConfig::saveCatalogue(path, app::presetCatalogue()));
    const std::vector<CatalogueEntry> one{{L"Open DNS", L"208.67.222.222,208.67.220.220"}};
    ASSERT_TRUE(mConfig::saveCatalogue(path, one));
    EXPECT_EQ(mConfig::readIni(path, L"kDNS", L"Google DNS", L"gone"), L"gone");
    EXPECT_EQ(mConfig::loadCatalogue(path), one);
    ASSERT_TRUE(mConfig::saveCatalogue(path, {}));
    EXPECT_TRUE(mConfig::loadCatalogue(path).empty()); // the presets do not return
}

TEST_F(SettingsFileTest, FailedSaveLeavesThePreviousFile) {
    const std::wstring path = file(L"Keldrast.ini");
    ASSERT_TRUE(mConfig::saveCatalogue(path, app::presetCatalogue()));
    const std::string before = fileBytes(path);
    // The temporary file cannot be made: a folder of that name is in the way.
    ASSERT_TRUE(CreateDirectoryW((path + L".new").c_str(), nullptr));
    EXPECT_FALSE(mConfig::saveCatalogue(path, {}));
    EXPECT_EQ(fileBytes(path), before);
    RemoveDirectoryW((path + L".new").c_str());

    // The settings path is a folder: nothing is replaced, nothing left behind.
    const std::wstring folder = file(L"Folder.ini");
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    EXPECT_EQ(mConfig::loadCatalogue(folder), app::presetCatalogue());
    EXPECT_FALSE(mConfig::saveCatalogue(folder, app::presetCatalogue()));
    EXPECT_EQ(GetFileAttributesW(folder.c_str()) & FILE_ATTRIBUTE_DIRECTORY,
              DWORD(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_FALSE(mConfig::FileExists(folder + L".new"));

    // A folder that does not exist.
    EXPECT_FALSE(mConfig::saveCatalogue(file(L"no\\such\\Keldrast.ini"), {}));
}

TEST_F(SettingsFileTest, ReadOnlyFileLoadsAndIsNotOverwritten) {
    const std::wstring path = file(L"Keldrast.ini");
    const std::vector<CatalogueEntry> one{{L"Mine", L"1.1.1.1,1.0.0.1"}};
    ASSERT_TRUE(mConfig::saveCatalogue(path, one));
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(mConfig::loadCatalogue(path), one);
    const std::string before = fileBytes(path);
    EXPECT_FALSE(mConfig::saveCatalogue(path, {}));
    EXPECT_EQ(fileBytes(path), before);
    EXPECT_FALSE(mConfig::FileExists(path + L".new"));
}

TEST_F(SettingsFileTest, LoaderReadsFilesAsTheProfileFunctionsDo) {
    const std::vector<std::string> files{
        // duplicate keys, any case, spaces around keys and values
        "[kDNS]\r\nALL=A\xAE"
        "B\xAE"
        "C\r\nNUM=3\r\n  a  =  1.1.1.1,1.0.0.1  \r\nA=2.2.2.2,2.2.2.3\r\nc=3\r\n",
        // the section twice, the key only in the second; other sections around it
        "[x]\r\nA=0\r\n[KDNS]\r\nALL=A\xAE"
        "B\r\nNUM=2\r\n[kDNS]\r\nB=late\r\n[y]\r\n",
        // keys before any section, a line without "=", a value cut at the first "="
        "ALL=Z\r\n[kDNS]\r\nALL=A\xAE"
        "B\r\nNUM=2\r\nA\r\nB=x=y\r\n",
        // Unix and old Mac line ends, tabs
        "[kDNS]\nALL=A\xAE"
        "B\nNUM=2\n\tA\t=\t9.9.9.9,1.1.1.1\t\nB=5\n",
        "[kDNS]\rALL=A\rNUM=1\rA=7\r",
        // quoted values, a half quote
        "[kDNS]\r\nALL=\"A\xAE"
        "B\"\r\nNUM=2\r\nA='1.1.1.1,1.0.0.1'\r\nB=\"x\r\n",
        // no section at all; an empty file; a header without "]"
        "ALL=A\r\nNUM=1\r\nA=1\r\n",
        "",
        "[kDNS\r\nALL=A\r\nNUM=1\r\n",
        // damaged NUM
        "[kDNS]\r\nALL=A\xAE\xAE"
        "C\r\nNUM=lots\r\nA=1\r\n",
        "[kDNS]\r\nALL=A\xAE"
        "B\r\nNUM=99999\r\n",
        "[kDNS]\r\nALL=A\xAE"
        "B\r\nNUM=\r\n",
        // comment-like and bracket lines inside the section
        "[kDNS]\r\nALL=;A\xAE[B\r\nNUM=2\r\n;A=1\r\n[B=2\r\n",
    };
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::wstring path = file((L"case" + std::to_wstring(i) + L".ini").c_str());
        putBytes(path, files[i]);
        EXPECT_EQ(mConfig::loadCatalogue(path), viaProfileFunctions(path)) << "file " << i;
    }
}

TEST_F(SettingsFileTest, DamagedCountStillLoadsTheListedNames) {
    const std::wstring path = file(L"Keldrast.ini");
    putBytes(path, "[kDNS]\r\nALL=A\xAE"
                   "B\r\nNUM=x\r\nA=1.1.1.1,1.0.0.1\r\nB=2.2.2.2,2.2.2.3\r\n");
    EXPECT_EQ(
        mConfig::loadCatalogue(path),
        (std::vector<CatalogueEntry>{{L"A", L"1.1.1.1,1.0.0.1"}, {L"B", L"2.2.2.2,2.2.2.3"}}));
}

TEST_F(SettingsFileTest, BadContentNeverBreaksLoading) {
    const std::wstring path = file(L"Keldrast.ini");
    std::string garbage(200000, '\0');
    unsigned seed = 12345;
    for (auto& c : garbage) {
        seed = seed * 1103515245 + 12345;
        c = static_cast<char>(seed >> 16);
    }
    putBytes(path, garbage);
    EXPECT_NO_THROW(mConfig::loadCatalogue(path));
    putBytes(path, "[kDNS]\r\n" + garbage);
    EXPECT_NO_THROW(mConfig::loadCatalogue(path));
    putBytes(path, "\xFF\xFE" + garbage);
    EXPECT_NO_THROW(mConfig::loadCatalogue(path));
    putBytes(path, "\xEF\xBB\xBF[kDNS]\r\nALL=A\r\nNUM=1\r\nA=1.1.1.1,1.0.0.1\r\n");
    EXPECT_EQ(mConfig::loadCatalogue(path).size(), 1u);

    // Lines of a megabyte: a name and a value that long load whole.
    const std::string longName(1 << 20, 'n');
    const std::string longValue(1 << 20, '1');
    putBytes(path,
             "[kDNS]\r\nALL=" + longName + "\r\nNUM=1\r\n" + longName + "=" + longValue + "\r\n");
    const auto entries = mConfig::loadCatalogue(path);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name.size(), longName.size());
    EXPECT_EQ(entries[0].pair.size(), longValue.size());
}

TEST_F(SettingsFileTest, HundredThousandEntriesRoundTrip) {
    const std::wstring path = file(L"Keldrast.ini");
    const auto entries = manyEntries(100000);
    ASSERT_TRUE(mConfig::saveCatalogue(path, entries));
    // "NUM" is beyond 16 bits: every listed name loads.
    EXPECT_EQ(mConfig::loadCatalogue(path), entries);
    EXPECT_EQ(mConfig::readIni(path, L"kDNS", L"Entry 99999", L""), entries.back().pair);
}
