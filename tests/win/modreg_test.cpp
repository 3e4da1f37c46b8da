// modReg against the real registry on scratch keys under HKCU and HKLM.
#include "registry/modReg.h"
#include "toolkit/handles.h"

#include <gtest/gtest.h>

#include <string>

using namespace modReg;

namespace {

constexpr wchar_t kScratch[] = L"Software\\KeldrastTest\\Reg";
const std::wstring kScratchPath = kScratch;

class RegistryTest : public testing::Test {
  protected:
    void SetUp() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, kScratch);
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kScratch, 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, key_.put(), nullptr),
                  ERROR_SUCCESS);
    }
    void TearDown() override {
        key_.reset();
        RegDeleteTreeW(HKEY_CURRENT_USER, kScratch);
    }
    void put(const char* name, DWORD type, std::string_view data) {
        ASSERT_EQ(RegSetValueExA(key_.get(), name, 0, type,
                                 reinterpret_cast<const BYTE*>(data.data()),
                                 static_cast<DWORD>(data.size())),
                  ERROR_SUCCESS);
    }
    struct Raw {
        bool present = false;
        DWORD type = 0;
        std::string data;
    };
    Raw raw(const std::wstring& path, const char* name) {
        tk::unique_hkey k;
        Raw r;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, k.put()) != 0) return r;
        char buffer[4096];
        DWORD size = sizeof(buffer);
        if (RegQueryValueExA(k.get(), name, nullptr, &r.type, reinterpret_cast<BYTE*>(buffer),
                             &size) != 0)
            return r;
        r.present = true;
        r.data.assign(buffer, size);
        return r;
    }
    // The size the registry keeps (as UTF-16), which shows whether a NUL was stored.
    DWORD storedBytes(const std::wstring& path, const wchar_t* name) {
        tk::unique_hkey k;
        DWORD size = 0xFFFF;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, k.put()) != 0 ||
            RegQueryValueExW(k.get(), name, nullptr, nullptr, nullptr, &size) != 0)
            return 0xFFFF;
        return size;
    }
    // The stored characters up to an optional terminating NUL; nothing else may follow.
    std::wstring storedText(const std::wstring& path, const wchar_t* name) {
        tk::unique_hkey k;
        wchar_t buffer[256];
        DWORD size = sizeof(buffer);
        if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, k.put()) != 0 ||
            RegQueryValueExW(k.get(), name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer),
                             &size) != 0)
            return L"<none>";
        std::wstring text(buffer, size / sizeof(wchar_t));
        if (!text.empty() && text.back() == L'\0') text.pop_back();
        return text;
    }
    std::wstring read(const wchar_t* name) {
        return readValue(L"HKEY_CURRENT_USER", kScratch, name);
    }
    bool write(const wchar_t* name, const wchar_t* value, const wchar_t* type) {
        return writeValue(L"HKEY_CURRENT_USER", kScratch, name, value, type);
    }

    tk::unique_hkey key_;
};

} // namespace

TEST(RootKeyFromName, PredefinedHandlesOrNone) {
    EXPECT_EQ(rootKeyFromName(L"HKEY_CLASSES_ROOT"), HKEY_CLASSES_ROOT);
    EXPECT_EQ(rootKeyFromName(L"HKEY_CURRENT_USER"), HKEY_CURRENT_USER);
    EXPECT_EQ(rootKeyFromName(L"HKEY_LOCAL_MACHINE"), HKEY_LOCAL_MACHINE);
    EXPECT_EQ(rootKeyFromName(L"HKEY_USERS"), HKEY_USERS);
    EXPECT_EQ(rootKeyFromName(L"HKEY_PERFORMANCE_DATA"), HKEY_PERFORMANCE_DATA);
    EXPECT_EQ(rootKeyFromName(L"HKEY_CURRENT_CONFIG"), HKEY_CURRENT_CONFIG);
    EXPECT_EQ(rootKeyFromName(L"HKEY_DYN_DATA"), HKEY_DYN_DATA);
    EXPECT_EQ(rootKeyFromName(L"hkey_local_machine"), nullptr);
}

TEST_F(RegistryTest, WrongCaseRootNameReadsEmptyAndWritesNothing) {
    put("v", REG_SZ, "x");
    EXPECT_EQ(readValue(L"hkey_current_user", kScratch, L"v"), L"");
    EXPECT_FALSE(writeValue(L"hkey_current_user", kScratch, L"w", L"y", L"string"));
    EXPECT_FALSE(raw(kScratchPath, "w").present);
}

TEST_F(RegistryTest, StringIsStoredTrimmedWithoutTerminatingNul) {
    EXPECT_TRUE(write(L"NameServer", L"  8.8.8.8,8.8.4.4 ", L"string"));
    auto r = raw(kScratchPath, "NameServer");
    EXPECT_EQ(r.type, DWORD(REG_SZ));
    // Given without its NUL; the system itself counts a NUL that directly follows the data.
    EXPECT_EQ(storedText(kScratchPath, L"NameServer"), L"8.8.8.8,8.8.4.4");
    EXPECT_EQ(read(L"NameServer"), L"8.8.8.8,8.8.4.4");

    EXPECT_TRUE(write(L"Short", L"1.1.1.1", L"String"));
    EXPECT_EQ(storedText(kScratchPath, L"Short"), L"1.1.1.1");

    EXPECT_TRUE(write(L"NameServer", L"", L"STRING"));
    r = raw(kScratchPath, "NameServer");
    EXPECT_TRUE(r.present);
    EXPECT_EQ(r.type, DWORD(REG_SZ));
    EXPECT_EQ(storedBytes(kScratchPath, L"NameServer"), 0u);
    EXPECT_EQ(read(L"NameServer"), L"");

    EXPECT_TRUE(write(L"Latin", L"Caf\u00E9 \u00AE", L"string"));
    EXPECT_EQ(read(L"Latin"), L"Caf\u00E9 \u00AE");
}

TEST_F(RegistryTest, WritingCreatesMissingKeys) {
    const std::wstring deep = kScratchPath + L"\\A\\B\\C";
    EXPECT_TRUE(writeValue(L"HKEY_CURRENT_USER", deep, L"v", L"1", L"dword"));
    EXPECT_EQ(raw(deep, "v").type, DWORD(REG_DWORD));
}

TEST_F(RegistryTest, UnknownTypeStoresNothingAndSucceeds) {
    EXPECT_TRUE(write(L"v", L"abc", L"text"));
    EXPECT_FALSE(raw(kScratchPath, "v").present);
}

TEST_F(RegistryTest, BinaryFromHexPairs) {
    EXPECT_TRUE(write(L"b", L"0A1BFF", L"binary"));
    auto r = raw(kScratchPath, "b");
    EXPECT_EQ(r.type, DWORD(REG_BINARY));
    EXPECT_EQ(r.data, "\x0A\x1B\xFF");
    EXPECT_EQ(read(L"b"), L"0A1BFF");
    EXPECT_TRUE(write(L"odd", L"ABC", L"Binary"));
    EXPECT_EQ(raw(kScratchPath, "odd").data, "\xAB\x0C");
    // Bad text stores nothing and leaves an earlier value alone.
    EXPECT_FALSE(write(L"b", L"0G", L"binary"));
    EXPECT_FALSE(write(L"b", L"0A 1B", L"binary"));
    EXPECT_EQ(raw(kScratchPath, "b").data, "\x0A\x1B\xFF");
    EXPECT_FALSE(write(L"new", L"xyz", L"binary"));
    EXPECT_FALSE(raw(kScratchPath, "new").present);
}

TEST_F(RegistryTest, DwordFromDecimalOrAmpersandHex) {
    EXPECT_TRUE(write(L"d", L"-1", L"DWORD"));
    EXPECT_EQ(raw(kScratchPath, "d").data, std::string("\xFF\xFF\xFF\xFF", 4));
    EXPECT_EQ(read(L"d"), L"-1");
    EXPECT_TRUE(write(L"d", L" 1 ", L"dword"));
    EXPECT_EQ(read(L"d"), L"1");
    EXPECT_TRUE(write(L"h", L"&H10", L"dword"));
    EXPECT_EQ(raw(kScratchPath, "h").data, std::string("\x10\0\0\0", 4));
    EXPECT_FALSE(write(L"d", L"4294967296", L"dword"));
    EXPECT_FALSE(write(L"d", L"abc", L"dword"));
    EXPECT_FALSE(write(L"d", L"", L"dword"));
    EXPECT_EQ(read(L"d"), L"1");
    EXPECT_FALSE(write(L"none", L"1.5", L"dword"));
    EXPECT_FALSE(raw(kScratchPath, "none").present);
}

TEST_F(RegistryTest, ReadsOfEveryOtherKindAreEmpty) {
    put("dw", REG_DWORD, std::string("\xFF\xFF\xFF\xFF", 4));
    EXPECT_EQ(read(L"dw"), L"-1");
    put("multi", REG_MULTI_SZ, std::string("a\0b\0\0", 5));
    put("expand", REG_EXPAND_SZ, std::string("%PATH%\0", 7));
    put("qword", REG_QWORD, std::string(8, '\x01'));
    put("none", REG_NONE, "abc");
    EXPECT_EQ(read(L"multi"), L"");
    EXPECT_EQ(read(L"expand"), L"");
    EXPECT_EQ(read(L"qword"), L"");
    EXPECT_EQ(read(L"none"), L"");
    EXPECT_EQ(read(L"missing"), L"");
    EXPECT_EQ(readValue(L"HKEY_CURRENT_USER", kScratchPath + L"\\Nope", L"v"), L"");
    put("sz", REG_SZ, std::string("  padded\0rest", 13));
    EXPECT_EQ(read(L"sz"), L"padded");
    put("bin", REG_BINARY, std::string("  \x01\x02  ", 6));
    EXPECT_EQ(read(L"bin"), L"0102");
}

TEST_F(RegistryTest, OversizedAndOddValuesNeverBreakAReadOrCrash) {
    put("bigsz", REG_SZ, std::string(2000, 'a'));
    put("bigbin", REG_BINARY, std::string(1025, '\x7F'));
    EXPECT_EQ(read(L"bigsz"), L"");
    EXPECT_EQ(read(L"bigbin"), L"");
    put("fullbin", REG_BINARY, std::string(1024, '\x7F'));
    std::wstring full;
    for (int i = 0; i < 1024; ++i)
        full += L"7F";
    EXPECT_EQ(read(L"fullbin"), full);
    // Every type with sizes around the buffer.
    for (DWORD type = 0; type <= 11; ++type)
        for (const std::size_t size : {0u, 1u, 3u, 4u, 1023u, 1024u, 1025u, 70000u}) {
            put("odd", type, std::string(size, static_cast<char>(type == 1 ? 'x' : 0xAE)));
            const std::wstring text = read(L"odd");
            EXPECT_LE(text.size(), 2048u) << type << " " << size;
        }
}

TEST_F(RegistryTest, CardsInEnumerationOrderTrimmedAndRebuiltEachTime) {
    const std::wstring cards = kScratchPath + L"\\Cards";
    ASSERT_TRUE(writeValue(L"HKEY_CURRENT_USER", cards + L"\\2", L"Description",
                           L"  Intel(R) Ethernet  ", L"string"));
    ASSERT_TRUE(writeValue(L"HKEY_CURRENT_USER", cards + L"\\2", L"ServiceName",
                           L" {11111111-2222-3333-4444-555555555555}", L"string"));
    ASSERT_TRUE(
        writeValue(L"HKEY_CURRENT_USER", cards + L"\\3", L"Description", L"Wi-Fi", L"string"));
    ASSERT_TRUE(
        writeValue(L"HKEY_CURRENT_USER", cards + L"\\5", L"ServiceName", L"{S5}", L"string"));
    const std::vector<AdapterRecord> expected{
        {L"Intel(R) Ethernet", L"{11111111-2222-3333-4444-555555555555}"},
        {L"Wi-Fi", L""},
        {L"", L"{S5}"}};
    EXPECT_EQ(enumNetworkCards(L"HKEY_CURRENT_USER", cards), expected);
    EXPECT_EQ(enumNetworkCards(L"HKEY_CURRENT_USER", cards), expected);
}

TEST_F(RegistryTest, NoCardsWhenTheKeyIsEmptyMissingOrRootUnknown) {
    const std::wstring cards = kScratchPath + L"\\Empty";
    tk::unique_hkey k;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, cards.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, k.put(), nullptr),
              ERROR_SUCCESS);
    EXPECT_TRUE(enumNetworkCards(L"HKEY_CURRENT_USER", cards).empty());
    EXPECT_TRUE(enumNetworkCards(L"HKEY_CURRENT_USER", kScratchPath + L"\\Missing").empty());
    EXPECT_TRUE(enumNetworkCards(L"HKEY_Current_User", cards).empty());
}

TEST(RegistryMachine, CardsUnderLocalMachineWithFullAccess) {
    const wchar_t* base = L"SOFTWARE\\KeldrastTest";
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, base);
    const std::wstring cards = std::wstring(base) + L"\\NetworkCards";
    for (int i = 1; i <= 3; ++i) {
        const std::wstring sub = cards + L"\\" + std::to_wstring(i);
        ASSERT_TRUE(writeValue(L"HKEY_LOCAL_MACHINE", sub, L"Description",
                               L"Card " + std::to_wstring(i) + L" ", L"string"));
        ASSERT_TRUE(writeValue(L"HKEY_LOCAL_MACHINE", sub, L"ServiceName",
                               L"{S" + std::to_wstring(i) + L"}", L"string"));
    }
    const auto found = enumNetworkCards(L"HKEY_LOCAL_MACHINE", cards);
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0], (AdapterRecord{L"Card 1", L"{S1}"}));
    EXPECT_EQ(found[2], (AdapterRecord{L"Card 3", L"{S3}"}));
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, base);
}
