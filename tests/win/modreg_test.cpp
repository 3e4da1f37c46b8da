// modReg against the real registry, on a scratch key under HKLM where the program works.
#include "registry/modReg.h"
#include "toolkit/handles.h"

#include <gtest/gtest.h>

#include <string>

using namespace modReg;

namespace {

constexpr wchar_t kRoot[] = L"HKEY_LOCAL_MACHINE";
const std::wstring kScratch = L"SOFTWARE\\KeldrastTest\\Reg";
using Stored = std::pair<DWORD, std::string>; // type and data; {0, "<none>"} when missing

void put(const char* name, DWORD type, std::string_view data) {
    ASSERT_EQ(RegSetKeyValueA(HKEY_LOCAL_MACHINE, "SOFTWARE\\KeldrastTest\\Reg", name, type,
                              data.data(), static_cast<DWORD>(data.size())),
              ERROR_SUCCESS);
}

Stored stored(const wchar_t* name, const std::wstring& path = kScratch) {
    tk::unique_hkey key;
    Stored s{REG_NONE, std::string(4096, '\0')};
    DWORD size = static_cast<DWORD>(s.second.size());
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, key.put()) ||
        RegQueryValueExW(key.get(), name, nullptr, &s.first,
                         reinterpret_cast<BYTE*>(s.second.data()), &size))
        return {REG_NONE, "<none>"};
    s.second.resize(size);
    return s;
}

std::wstring read(const wchar_t* name) {
    return readValue(kRoot, kScratch, name);
}
bool write(const wchar_t* name, const wchar_t* value, const wchar_t* type) {
    return writeValue(kRoot, kScratch, name, value, type);
}

class RegistryTest : public testing::Test {
    void SetUp() override { RegDeleteTreeW(HKEY_LOCAL_MACHINE, kScratch.c_str()); }
    void TearDown() override { SetUp(); }
};

} // namespace

TEST_F(RegistryTest, ReadGivesTextForStringBinaryAndDwordOnly) {
    const std::tuple<DWORD, std::string, std::wstring> cases[] = {
        {REG_SZ, std::string("  padded\0rest", 13), L"padded"},
        {REG_BINARY, " \x01 \x02  ", L"012002"}, // only blanks at the ends are filler
        {REG_BINARY, std::string("\0\x0f", 2), L"000F"},
        {REG_BINARY, std::string(1024, '\x11'), std::wstring(2048, L'1')},
        {REG_DWORD, "\xFF\xFF\xFF\xFF", L"-1"},
        {REG_MULTI_SZ, std::string("a\0b\0\0", 5), L""},
        {REG_EXPAND_SZ, std::string("%PATH%\0", 7), L""},
        {REG_QWORD, std::string(8, '\x01'), L""},
        {REG_SZ, std::string(2000, 'a'), L""}, // over the 1024-byte buffer
        {REG_BINARY, std::string(1025, '\x7F'), L""},
    };
    for (const auto& [type, data, text] : cases) {
        put("v", type, data);
        EXPECT_EQ(read(L"v"), text) << type << " " << data.size();
    }
    EXPECT_EQ(read(L"missing"), L"");
    EXPECT_EQ(readValue(kRoot, kScratch + L"\\Nope", L"v"), L"");
    EXPECT_EQ(readValue(L"hkey_local_machine", kScratch, L"v"), L""); // root names keep case
}

TEST_F(RegistryTest, StringsAreStoredTrimmedWithoutTerminatingNul) {
    EXPECT_TRUE(write(L"s", L"  8.8.8.8,8.8.4.4 ", L"string"));
    const auto [type, data] = stored(L"s");
    EXPECT_EQ(type, DWORD(REG_SZ));
    // The wide read may count a NUL that directly follows the data; nothing else may follow.
    std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), data.size() / 2);
    if (!text.empty() && text.back() == L'\0') text.pop_back();
    EXPECT_EQ(text, L"8.8.8.8,8.8.4.4");
    EXPECT_TRUE(write(L"s", L"", L"STRING"));
    EXPECT_EQ(stored(L"s"), (Stored{REG_SZ, ""}));
    EXPECT_TRUE(write(L"s", L"Caf\u00E9 \u00AE", L"String"));
    EXPECT_EQ(read(L"s"), L"Caf\u00E9 \u00AE");
}

TEST_F(RegistryTest, BinaryAndDwordFromTextBadTextAndUnknownTypesStoreNothing) {
    const Stored old{REG_DWORD, std::string("\x07\0\0\0", 4)};
    // Which texts parse is the core tests'; here that bad text or an unknown type stores nothing.
    const std::tuple<const wchar_t*, const wchar_t*, bool, Stored> cases[] = {
        {L"binary", L"0A1BFF", true, {REG_BINARY, "\x0A\x1B\xFF"}},
        {L"Binary", L" abc ", true, {REG_BINARY, "\xAB\x0C"}},
        {L"BINARY", L"0G", false, old},
        {L"DWORD", L"-1", true, {REG_DWORD, "\xFF\xFF\xFF\xFF"}},
        {L"dword", L" 1 ", true, {REG_DWORD, std::string("\x01\0\0\0", 4)}},
        {L"Dword", L"&H10", true, {REG_DWORD, std::string("\x10\0\0\0", 4)}},
        {L"dword", L"4294967296", false, old},
        {L"text", L"abc", true, old},
        {L"dword ", L"1", true, old},
    };
    for (const auto& [type, value, ok, after] : cases) {
        put("v", old.first, old.second);
        EXPECT_EQ(write(L"v", value, type), ok) << type << " " << value;
        EXPECT_EQ(stored(L"v"), after) << type << " " << value;
    }
    EXPECT_FALSE(writeValue(L"hkey_local_machine", kScratch, L"fresh", L"y", L"string"));
    EXPECT_EQ(stored(L"fresh").second, "<none>");
    EXPECT_TRUE(writeValue(kRoot, kScratch + L"\\A\\B\\C", L"v", L"1", L"dword")); // parents made
    EXPECT_EQ(stored(L"v", kScratch + L"\\A\\B\\C").first, DWORD(REG_DWORD));
}

TEST_F(RegistryTest, CardsInEnumerationOrderTrimmedAndRebuiltEachTime) {
    const std::wstring cards = kScratch + L"\\Cards";
    for (const auto& [sub, name, value] :
         {std::tuple{L"\\2", L"Description", L"  Intel(R) Ethernet  "},
          std::tuple{L"\\2", L"ServiceName", L" {11111111-2222-3333-4444-555555555555}"},
          std::tuple{L"\\3", L"Description", L"Wi-Fi"},
          std::tuple{L"\\5", L"ServiceName", L"{S5}"}})
        ASSERT_TRUE(writeValue(kRoot, cards + sub, name, value, L"string"));
    const std::vector<AdapterRecord> expected{
        {L"Intel(R) Ethernet", L"{11111111-2222-3333-4444-555555555555}"},
        {L"Wi-Fi", L""},
        {L"", L"{S5}"}};
    EXPECT_EQ(enumNetworkCards(kRoot, cards), expected);
    EXPECT_EQ(enumNetworkCards(kRoot, cards), expected);
    EXPECT_TRUE(enumNetworkCards(kRoot, cards + L"\\5").empty());
    EXPECT_TRUE(enumNetworkCards(kRoot, kScratch + L"\\Missing").empty());
    EXPECT_TRUE(enumNetworkCards(L"HKEY_Local_Machine", cards).empty());
}
