// The command line: the real keldrast.exe run with arguments, its output in files, on seeded
#include "interface_keys.h"
// network cards and a seeded settings file; and the elevation branches in process, through
// the replaceable "am I elevated" and "relaunch elevated" entry points.
#include "cli/cli.h"
#include "toolkit/utf8.h"

#include <shellapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <string>
#include <vector>

#include "app/appinfo.h"
#include "catalogue/mConfig.h"
#include "cli/command.h"
#include "dns/nameserver_state.h"
#include "loopback_dns.h"
#include "registry/modReg.h"
#include "toolkit/elevation.h"
#include "toolkit/open_as_user.h"
#include "toolkit/platform.h"
#include "elevate/instances.h"
#include "tray/tray.h"

namespace fs = std::filesystem;

namespace {

constexpr wchar_t kCards[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards";
const std::wstring kEth = L"{1D7E0C6B-0000-4000-8000-0000000000C1}";
const std::wstring kWifi = L"{1D7E0C6B-0000-4000-8000-0000000000C2}";
const std::wstring kOdd = L"not-a-guid";

std::string bytesOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::wstring nameServer(dns::Family family, std::size_t set, const std::wstring& service) {
    return modReg::readValue(L"HKEY_LOCAL_MACHINE", dns::interfaceKeyPath(family, set, service),
                             L"NameServer");
}
// The value in all three control sets, when they agree.
std::wstring nameServers(dns::Family family, const std::wstring& service) {
    const auto first = nameServer(family, 0, service);
    for (std::size_t set = 1; set < dns::kInterfaceBasePaths.size(); ++set)
        if (nameServer(family, set, service) != first) return L"<differs>";
    return first;
}

void removeInterfaces() {
    for (const auto& service : {kEth, kWifi})
        testhost::removeInterfaceKeys(service);
}

struct Ran {
    DWORD code = 0;
    std::wstring out, err;
    int windows = 0; // top-level windows the program showed
};

// The copied program in a scratch folder with its own settings file, three network cards
// (one whose service name is no GUID) and clean interface keys.
class CommandLineTest : public testing::Test {
  protected:
    void SetUp() override {
        fs::remove_all(dir);
        fs::create_directories(dir);
        fs::copy_file(fs::path(tk::executableDirectory()).parent_path() / "keldrast.exe", exe);
        // Names in the ANSI code page (1252 here): "Caf\xE9 DNS" is "Café DNS".
        std::ofstream(dir / "Keldrast.ini", std::ios::binary)
            << "[kDNS]\r\nALL=Open DNS\xAE"
               "Caf\xE9 DNS\xAEQuad\r\nNUM=3\r\n"
               "Open DNS=208.67.222.222,208.67.220.220\r\nCaf\xE9 DNS=9.9.9.9,149.112.112.112\r\n"
               "Quad=9.9.9.10\r\n[kDNS6]\r\nOpen DNS=2620:119:35::35,2620:119:53::53\r\n";
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, kCards);
        const std::wstring root = L"HKEY_LOCAL_MACHINE", cards = kCards;
        const std::pair<std::wstring, std::wstring> seeded[] = {
            {L"Test Ethernet Adapter", kEth}, {L"Test Wireless Adapter", kWifi}, {L"Odd", kOdd}};
        for (std::size_t i = 0; i < std::size(seeded); ++i) {
            const std::wstring key = cards + L"\\" + std::to_wstring(i + 1);
            ASSERT_TRUE(modReg::writeValue(root, key, L"Description", seeded[i].first, L"string"));
            ASSERT_TRUE(modReg::writeValue(root, key, L"ServiceName", seeded[i].second, L"string"));
        }
        removeInterfaces();
        ASSERT_TRUE(modReg::writeValue(root, dns::interfaceKeyPath(dns::Family::V4, 2, kEth),
                                       L"NameServer", L"4.4.4.4,4.4.2.2", L"string"));
    }
    void TearDown() override {
        removeInterfaces();
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, kCards);
        fs::remove_all(dir);
    }

    // Runs the program with a command line, output and errors to files, and waits.
    Ran run(const std::wstring& arguments) {
        const fs::path outFile = dir / "out.txt", errFile = dir / "err.txt";
        SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
        auto create = [&](const fs::path& p) {
            return CreateFileW(p.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                               0, nullptr);
        };
        tk::unique_handle out(create(outFile)), err(create(errFile));
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = out.get();
        startup.hStdError = err.get();
        std::wstring commandLine = L"\"" + exe.wstring() + L"\" " + arguments;
        PROCESS_INFORMATION process{};
        Ran ran;
        if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                            dir.c_str(), &startup, &process)) {
            ADD_FAILURE() << "cannot start " << exe;
            return ran;
        }
        tk::unique_handle processHandle(process.hProcess), thread(process.hThread);
        out.reset();
        err.reset();
        ran.windows = watchWindows(process.hProcess, process.dwProcessId);
        GetExitCodeProcess(process.hProcess, &ran.code);
        ran.out = tk::fromUtf8(bytesOf(outFile));
        ran.err = tk::fromUtf8(bytesOf(errFile));
        return ran;
    }

    // Waits for the process, counting the visible top-level windows it shows (looked for
    // every 10 ms); a window that stays is closed, so the window's own start is checked too.
    static int watchWindows(HANDLE process, DWORD processId) {
        std::pair<DWORD, std::vector<HWND>> watched{processId, {}};
        auto collect = [](HWND window, LPARAM param) -> BOOL {
            auto& [id, windows] = *reinterpret_cast<decltype(watched)*>(param);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == id && IsWindowVisible(window) &&
                std::find(windows.begin(), windows.end(), window) == windows.end())
                windows.push_back(window);
            return TRUE;
        };
        const DWORD start = GetTickCount();
        while (WaitForSingleObject(process, 10) == WAIT_TIMEOUT) {
            EnumWindows(collect, reinterpret_cast<LPARAM>(&watched));
            for (HWND w : watched.second)
                PostMessageW(w, WM_CLOSE, 0, 0);
            if (GetTickCount() - start > 30000) TerminateProcess(process, 99);
        }
        return static_cast<int>(watched.second.size());
    }

    fs::path dir =
        fs::temp_directory_path() / ("keldrast-cli-" + std::to_string(GetCurrentProcessId()));
    fs::path exe = dir / "keldrast.exe";
};

TEST_F(CommandLineTest, ReadingCommandsPrintTheSeededFacts) {
    const auto list = run(L"/list /json");
    EXPECT_EQ(list.code, 0u) << list.err;
    EXPECT_NE(list.out.find(L"{\"adapters\":[{\"index\":1,\"description\":\"Test Ethernet "
                            L"Adapter\",\"guid\":\"" +
                            kEth +
                            L"\",\"static\":{\"ipv4\":[\"4.4.4.4\",\"4.4.2.2\"],\"ipv6\":[]}"),
              std::wstring::npos)
        << list.out;
    EXPECT_NE(list.out.find(L"{\"index\":3,\"description\":\"Odd\",\"guid\":\"not-a-guid\""),
              std::wstring::npos);
    EXPECT_EQ(list.out.find(L'\n'), list.out.size() - 1) << "one line";

    const auto json = run(L"/CATALOGUE /json");
    EXPECT_EQ(json.out.rfind(L"{\"catalogue\":[{\"name\":\"Open DNS\",", 0), 0u) << json.out;
    // Text goes out as UTF-8 with Windows line ends.
    const auto text = run(L"/catalogue");
    EXPECT_EQ(bytesOf(dir / "out.txt"),
              "Open DNS  208.67.222.222, 208.67.220.220; 2620:119:35::35, 2620:119:53::53; "
              "https://doh.opendns.com/dns-query\r\nCaf\xC3\xA9 DNS  9.9.9.9, "
              "149.112.112.112\r\nQuad      9.9.9.10\r\n");
    const auto help = run(L"/?");
    EXPECT_NE(help.out.find(L"Exit codes"), std::wstring::npos);
    // The seeded file beside the copied program is the one in use, and /version says so.
    const auto version = run(L"/version");
    EXPECT_EQ(version.out, L"Keldrast " + std::wstring(app::kVersionText) + L"\r\nSettings file: " +
                               (dir / "Keldrast.ini").wstring() +
                               L"\r\n  (beside the program, where it was found)\r\n");
    const auto versionJson = run(L"/version /json");
    EXPECT_NE(versionJson.out.find(L"\"version\":\"" + std::wstring(app::kVersionText) +
                                   L"\",\"settingsFile\":"),
              std::wstring::npos)
        << versionJson.out;
    EXPECT_NE(versionJson.out.find(L"\"settingsPlace\":\"existing-file\"}"), std::wstring::npos);
    for (const auto& ran : {list, json, text, help, version, versionJson}) {
        EXPECT_EQ(ran.code, 0u);
        EXPECT_EQ(ran.err, L"");
        EXPECT_EQ(ran.windows, 0);
    }
}

TEST_F(CommandLineTest, ChangesReachTheNamedAdapterAndRestoreUndoesThem) {
    using dns::Family;
    const std::string catalogue = bytesOf(dir / "Keldrast.ini");
    auto set = run(L"/set \"Open DNS\" /adapter 2");
    EXPECT_EQ(set.code, 0u) << set.err;
    EXPECT_NE(set.out.find(L"Open DNS -> 2. Test Wireless Adapter"), std::wstring::npos);
    EXPECT_NE(set.out.find(L"take effect when the adapter reconnects"), std::wstring::npos);
    EXPECT_EQ(nameServers(Family::V4, kWifi), L"208.67.222.222,208.67.220.220");
    EXPECT_EQ(nameServers(Family::V6, kWifi), L"2620:119:35::35,2620:119:53::53");
    EXPECT_EQ(nameServers(Family::V4, kEth), L"<differs>") << "the other adapter is untouched";

    // Quoting: a non-ASCII entry name and a description with spaces, in any letter case.
    set = run(L"/set \"caf\u00C9 dns\" /adapter \"test ethernet adapter\"");
    EXPECT_EQ(set.code, 0u) << set.err;
    EXPECT_EQ(nameServers(Family::V4, kEth), L"9.9.9.9,149.112.112.112");

    const auto custom = run(L"/custom 1.1.1.1 1.0.0.1 /v6 2606:4700:4700::1111 /adapter 1 /json");
    EXPECT_EQ(custom.code, 0u) << custom.err;
    EXPECT_EQ(custom.out.rfind(L"{\"command\":\"custom\",\"exitCode\":0,\"result\":\"saved\"", 0),
              0u)
        << custom.out;
    EXPECT_EQ(custom.out.find(L'\n'), custom.out.size() - 1) << "one line";
    EXPECT_EQ(nameServers(Family::V4, kEth), L"1.1.1.1,1.0.0.1");
    EXPECT_EQ(nameServers(Family::V6, kEth), L"2606:4700:4700::1111");

    // Back to the state before the first change: only CurrentControlSet held IPv4 servers.
    const auto restored = run(L"/restore /adapter 1");
    EXPECT_EQ(restored.code, 0u) << restored.err;
    EXPECT_NE(restored.out.find(L"IPv4: 4.4.4.4, 4.4.2.2\r\n   IPv6: none"), std::wstring::npos)
        << restored.out;
    EXPECT_EQ(nameServer(Family::V4, 2, kEth), L"4.4.4.4,4.4.2.2");
    for (std::size_t set = 0; set < 2; ++set)
        EXPECT_EQ(nameServer(Family::V4, set, kEth), L"");
    EXPECT_EQ(nameServers(Family::V6, kEth), L"");
    const auto again = run(L"/restore /adapter 1");
    EXPECT_EQ(again.code, 2u) << "the record is used up";
    EXPECT_NE(again.err.find(L"nothing to restore for this adapter"), std::wstring::npos);

    const auto automatic = run(L"/default /adapter " + kEth);
    EXPECT_EQ(automatic.code, 0u) << automatic.err;
    EXPECT_EQ(nameServers(Family::V4, kEth), L"");
    EXPECT_EQ(bytesOf(dir / "Keldrast.ini").rfind(catalogue, 0), 0u)
        << "the catalogue is read, never rewritten; the restore record is added after it";
    for (const auto& ran : {set, custom, restored, again, automatic})
        EXPECT_EQ(ran.windows, 0);
}

TEST_F(CommandLineTest, EveryFailureHasItsExitCodeAndGoesToTheErrorStream) {
    const struct {
        const wchar_t* arguments;
        DWORD code;
        const wchar_t* says;
    } cases[] = {
        {L"/lsit", 1, L"Unknown switch: /lsit\r\nRun keldrast /? for usage."},
        {L"/set open dns /adapter 1", 1,
         L"Put a name with spaces in quotes: /set \"Open DNS\"\r\n"},
        {L"/set Open DNS extra", 1, L"Unexpected argument: DNS\r\nRun keldrast /? for usage."},
        {L"/set Qaud /adapter 1", 2,
         L"The catalogue has no entry called Qaud. Did you mean "
         L"\"Quad\"?"},
        {L"/set \"Open DNS\"", 1, L"more than one adapter"},
        {L"/set \"Open DNS\" /adapter 7", 2, L"no adapter number 7"},
        {L"/default /adapter Odd", 4, L"not-a-guid"},
        // What Windows lists here never holds the seeded cards.
        {L"/default /adapter connected", 2, L"No listed adapter is connected."},
        {L"/set \"Open DNS\" /adapter default", 2, L"No listed adapter carries the default route."},
    };
    for (const auto& c : cases) {
        const auto ran = run(c.arguments);
        EXPECT_EQ(ran.code, c.code) << c.arguments;
        EXPECT_NE(ran.err.find(c.says), std::wstring::npos) << c.arguments << ": " << ran.err;
        EXPECT_EQ(ran.windows, 0) << c.arguments;
    }
    const auto json = run(L"/set Nope /adapter 1 /json");
    EXPECT_EQ(json.code, 2u);
    EXPECT_EQ(json.out, L"{\"command\":\"set\",\"exitCode\":2,\"result\":\"error\",\"message\":"
                        L"\"The catalogue has no entry called Nope. Run keldrast /catalogue for "
                        L"its names.\"}\r\n");
    EXPECT_EQ(nameServers(dns::Family::V4, kWifi), L"") << "nothing was written";
    EXPECT_EQ(run(L"/set /json").out,
              L"{\"command\":\"set\",\"exitCode\":1,\"result\":\"error\",\"message\":"
              L"\"/set needs the name of a catalogue entry.\"}\r\n");

    // No way back (the settings file is read-only): nothing changes unless /force says so.
    const std::wstring settings = (dir / "Keldrast.ini").wstring();
    ASSERT_TRUE(SetFileAttributesW(settings.c_str(), FILE_ATTRIBUTE_READONLY));
    const auto refused = run(L"/default /adapter 1");
    EXPECT_EQ(refused.code, 7u);
    EXPECT_NE(refused.err.find(L"Add /force"), std::wstring::npos) << refused.err;
    EXPECT_EQ(nameServer(dns::Family::V4, 2, kEth), L"4.4.4.4,4.4.2.2");
    EXPECT_EQ(run(L"/default /adapter 1 /force").code, 0u);
    EXPECT_EQ(nameServer(dns::Family::V4, 2, kEth), L"");
    SetFileAttributesW(settings.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// Wine reports the build number of its registry to programs started after it is set.
class ReportedBuild {
  public:
    explicit ReportedBuild(const wchar_t* build) {
        wchar_t old[32] = {};
        DWORD bytes = sizeof(old);
        if (RegGetValueW(HKEY_LOCAL_MACHINE, kVersion, L"CurrentBuildNumber", RRF_RT_REG_SZ,
                         nullptr, old, &bytes) == ERROR_SUCCESS)
            old_ = old;
        set(build);
    }
    ~ReportedBuild() { set(old_.c_str()); }

  private:
    static void set(const wchar_t* build) {
        RegSetKeyValueW(HKEY_LOCAL_MACHINE, kVersion, L"CurrentBuildNumber", REG_SZ, build,
                        static_cast<DWORD>((wcslen(build) + 1) * sizeof(wchar_t)));
    }
    static constexpr wchar_t kVersion[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
    std::wstring old_ = L"19043";
};

TEST_F(CommandLineTest, OnWindows11GoogleDnsIsEncryptedAndDefaultAndRestoreUndoIt) {
    ReportedBuild windows11(L"22631");
    const std::wstring doh = L"SYSTEM\\CurrentControlSet\\Services\\Dnscache\\"
                             L"InterfaceSpecificParameters\\" +
                             kEth + L"\\DohInterfaceSettings";
    const auto dohAt = [&](const std::wstring& server, const wchar_t* value) -> std::wstring {
        const std::wstring path = doh + L"\\" + server;
        if (std::wstring_view(value) != L"DohFlags")
            return modReg::readValue(L"HKEY_LOCAL_MACHINE", path, value);
        DWORD64 flags = 0;
        DWORD bytes = sizeof(flags);
        return RegGetValueW(HKEY_LOCAL_MACHINE, path.c_str(), value, RRF_RT_REG_QWORD, nullptr,
                            &flags, &bytes) == ERROR_SUCCESS
                   ? std::to_wstring(flags)
                   : L"";
    };
    // A catalogue written by an older copy: Google DNS without IPv6 or template in the file.
    const std::string file = "[kDNS]\r\nALL=Google DNS\r\nNUM=1\r\nGoogle DNS=8.8.8.8,8.8.4.4\r\n";
    std::ofstream(dir / "Keldrast.ini", std::ios::binary) << file;
    const DWORD64 before = 2;
    const std::wstring earlier = doh + L"\\Doh\\4.4.4.4";
    ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, earlier.c_str(), L"DohFlags", REG_QWORD, &before,
                              sizeof(before)),
              ERROR_SUCCESS);

    const auto set = run(L"/set \"Google DNS\" /adapter 1 /json");
    EXPECT_EQ(set.code, 0u) << set.err;
    EXPECT_NE(set.out.find(L"\"encryption\":{\"result\":\"on-reconnect\",\"mode\":\"on\""),
              std::wstring::npos)
        << set.out; // Wine has no SetInterfaceDnsSettings
    EXPECT_EQ(dohAt(L"Doh\\8.8.8.8", L"DohTemplate"), L"https://dns.google/dns-query");
    EXPECT_EQ(dohAt(L"Doh\\8.8.4.4", L"DohFlags"), L"6");
    EXPECT_EQ(dohAt(L"Doh6\\2001:4860:4860::8844", L"DohFlags"), L"6");
    EXPECT_EQ(nameServers(dns::Family::V6, kEth), L"2001:4860:4860::8888,2001:4860:4860::8844");
    const auto list = run(L"/list");
    EXPECT_NE(list.out.find(L"Encrypted: 8.8.8.8, 8.8.4.4, 2001:4860:4860::8888, "
                            L"2001:4860:4860::8844: DNS over HTTPS (dns.google), plain when it "
                            L"fails\r\n"),
              std::wstring::npos)
        << list.out;

    EXPECT_EQ(run(L"/set \"Google DNS\" /adapter 1 /doh only").code, 0u);
    EXPECT_EQ(dohAt(L"Doh\\8.8.8.8", L"DohFlags"), L"2");
    const auto bad = run(L"/custom 1.1.1.1 /template http://dns.example/q /adapter 1");
    EXPECT_EQ(bad.code, 1u);
    EXPECT_NE(bad.err.find(L"Not a DoH template"), std::wstring::npos) << bad.err;
    EXPECT_EQ(nameServers(dns::Family::V4, kEth), L"8.8.8.8,8.8.4.4") << "nothing written";

    EXPECT_EQ(run(L"/default /adapter 1").code, 0u);
    EXPECT_EQ(dohAt(L"Doh\\8.8.8.8", L"DohFlags"), L"");
    EXPECT_EQ(run(L"/restore /adapter 1").code, 0u);
    EXPECT_EQ(dohAt(L"Doh\\4.4.4.4", L"DohFlags"), L"2") << "as it was before the first change";
    EXPECT_EQ(dohAt(L"Doh\\8.8.8.8", L"DohFlags"), L"");
    const std::string after = bytesOf(dir / "Keldrast.ini");
    EXPECT_EQ(after.rfind(file, 0), 0u) << "the catalogue is never rewritten to add templates";
    EXPECT_EQ(after.find("kDoH"), std::string::npos);
    RegDeleteTreeW(
        HKEY_LOCAL_MACHINE,
        (L"SYSTEM\\CurrentControlSet\\Services\\Dnscache\\InterfaceSpecificParameters\\" + kEth)
            .c_str());
}

TEST_F(CommandLineTest, FlushRunsTheSystemIpconfigAndSaysWhatItDid) {
    const auto flush = run(L"/flush");
    // Wine's ipconfig refuses /flushdns; Windows' flushes. Either way it is said, not hidden.
    EXPECT_TRUE(flush.code == 0 ? flush.out == L"The DNS resolver cache was flushed.\r\n"
                                : flush.err.starts_with(L"\"ipconfig /flushdns\" did not flush"))
        << flush.code << flush.out << flush.err;
    EXPECT_EQ(flush.windows, 0);
}

TEST_F(CommandLineTest, TestMeasuresTheCatalogueFastestFirst) {
    // Loopback only: one responder answers on its port; nothing listens on 127.0.0.2 or .3.
    loopback::Responders responders({loopback::Plan{}});
    std::ofstream(dir / "Keldrast.ini", std::ios::binary)
        << "[kDNS]\r\nALL=Nobody\xAEHere\r\nNUM=2\r\nNobody=127.0.0.2,127.0.0.3\r\n"
           "Here=127.0.0.1,127.0.0.1\r\n";
    const std::wstring port = std::to_wstring(responders.port(0));
    const auto text = run(L"/test /tries 2 /timeout 300 /port " + port);
    EXPECT_EQ(text.code, 0u) << text.err;
    const auto here = text.out.find(L"Here"), nobody = text.out.find(L"Nobody");
    ASSERT_NE(here, std::wstring::npos) << text.out;
    ASSERT_NE(nobody, std::wstring::npos) << text.out;
    EXPECT_LT(here, nobody) << text.out;
    EXPECT_TRUE(text.out.starts_with(L"DNS server  Preferred")) << text.out;
    EXPECT_NE(text.out.find(L" ms"), std::wstring::npos) << text.out;
    EXPECT_NE(text.out.find(L"no answer", nobody), std::wstring::npos) << text.out;
    EXPECT_EQ(text.windows, 0);
    const auto json = run(L"/test /tries 2 /timeout 300 /json /port " + port);
    EXPECT_EQ(json.code, 0u);
    EXPECT_NE(json.out.find(L"\"medianMs\":null"), std::wstring::npos) << json.out;
    EXPECT_EQ(json.out.find(L'\n'), json.out.size() - 1) << "one line";
}

TEST_F(CommandLineTest, WithoutArgumentsTheWindowOpens) {
    // The check that command mode shows no window would pass on a watcher that sees nothing.
    EXPECT_GE(run(L"").windows, 1);
    EXPECT_GE(run(L"/window").windows, 1);
    // The icon's place held by another process (this one) with no icon that answers: said, 1.
    const tk::unique_handle held(CreateMutexW(nullptr, FALSE, elevate::trayInstanceName().c_str()));
    const auto tray = run(L"/tray");
    EXPECT_EQ(tray.code, 1u);
    EXPECT_EQ(tray.windows, 1) << "the message that nothing answers";
}

TEST_F(CommandLineTest, TwoChangesAtOnceKeepBothRestoreRecords) {
    // A settings file of a few megabytes makes the time between reading and saving it long.
    {
        std::ofstream ini(dir / "Keldrast.ini", std::ios::binary | std::ios::app);
        ini << "[kRestore]\r\n";
        for (int i = 0; i < 20000; ++i)
            ini << "{1D7E0C6B-0000-4000-8000-1" << std::setw(11) << std::setfill('0') << i
                << "}=-|-|-|-|-|-\r\n";
    }
    const std::string seeded = bytesOf(dir / "Keldrast.ini");
    const auto start = [&](const std::wstring& arguments) {
        std::wstring commandLine = L"\"" + exe.wstring() + L"\" " + arguments;
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process{};
        EXPECT_TRUE(CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                                   CREATE_NO_WINDOW, nullptr, dir.c_str(), &startup, &process));
        CloseHandle(process.hThread);
        return tk::unique_handle(process.hProcess);
    };
    for (int round = 0; round < 4; ++round) {
        std::ofstream(dir / "Keldrast.ini", std::ios::binary) << seeded;
        removeInterfaces();
        const tk::unique_handle a = start(L"/custom 1.1.1.1 /adapter 1"),
                                b = start(L"/custom 2.2.2.2 /adapter 2");
        for (HANDLE process : {a.get(), b.get()}) {
            ASSERT_EQ(WaitForSingleObject(process, 60000), WAIT_OBJECT_0);
            DWORD code = 99;
            GetExitCodeProcess(process, &code);
            EXPECT_EQ(code, 0u) << round;
        }
        const std::wstring settings = (dir / "Keldrast.ini").wstring();
        EXPECT_EQ(mConfig::restoreRecord(settings, kEth), L"-|-|-|-|-|-|-") << round;
        EXPECT_EQ(mConfig::restoreRecord(settings, kWifi), L"-|-|-|-|-|-|-") << round;
        EXPECT_EQ(nameServers(dns::Family::V4, kEth), L"1.1.1.1");
        EXPECT_EQ(nameServers(dns::Family::V4, kWifi), L"2.2.2.2");
    }
}

// Elevation, in process.
class ElevationTest : public testing::Test {
  protected:
    std::vector<std::wstring> relaunched;
    tk::ScopedElevated notElevated{[] { return false; }};
    cli::BufferOutput output;
};

TEST_F(ElevationTest, ReadingCommandsNeverAskAndDeclinedChangesExitWithThree) {
    tk::ScopedRelaunchElevated declined{[&](const std::wstring& parameters) {
        relaunched.push_back(parameters);
        return tk::unique_handle{};
    }};
    for (const auto* reading : {L"/catalogue", L"/?"})
        cli::run({reading}, output);
    EXPECT_TRUE(relaunched.empty());
    EXPECT_EQ(cli::run({L"/set", L"Open DNS", L"/json"}, output), 3);
    ASSERT_EQ(relaunched.size(), 1u);
    // Same arguments, quoted, and the private channel: a temporary file that is gone after.
    const std::wstring prefix = L"/set \"Open DNS\" /json /channel ";
    ASSERT_EQ(relaunched[0].rfind(prefix, 0), 0u) << relaunched[0];
    const auto channel = relaunched[0].substr(prefix.size());
    EXPECT_NE(channel.find(L"kld"), std::wstring::npos);
    EXPECT_FALSE(fs::exists(channel));
    EXPECT_NE(output.brought.err.find(L"elevation was declined"), std::wstring::npos);
    EXPECT_NE(output.brought.out.find(L"\"exitCode\":3"), std::wstring::npos);
}

TEST_F(ElevationTest, TheElevatedCopysOutputAndExitCodeComeBack) {
    // The "elevated copy" is the real program, started plainly: under Wine it is elevated.
    const fs::path exe = fs::path(tk::executableDirectory()).parent_path() / "keldrast.exe";
    tk::ScopedRelaunchElevated copy{[&](const std::wstring& parameters) {
        relaunched.push_back(parameters);
        std::wstring commandLine = L"\"" + exe.wstring() + L"\" " + parameters;
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process{};
        if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                            nullptr, &startup, &process))
            return tk::unique_handle{};
        CloseHandle(process.hThread);
        return tk::unique_handle(process.hProcess);
    }};
    cli::BufferOutput refused;
    EXPECT_EQ(cli::run({L"/custom", L"1.1.1.1", L"/bogus"}, refused), 1) << "parsed before asking";
    EXPECT_TRUE(relaunched.empty());
    EXPECT_EQ(cli::run({L"/set", L"Nope \u00E9", L"/adapter", L"1"}, output), 2);
    ASSERT_EQ(relaunched.size(), 1u);
    EXPECT_EQ(output.brought.err,
              L"The catalogue has no entry called Nope \u00E9. Run keldrast /catalogue for its "
              L"names.\n");
}

TEST_F(ElevationTest, TheCopyWritesOnlyToAnEmptyChannelFileAndStillChecksItsRights) {
    wchar_t temp[MAX_PATH + 1]{}, path[MAX_PATH + 1]{};
    GetTempPathW(MAX_PATH + 1, temp);
    ASSERT_TRUE(GetTempFileNameW(temp, L"kld", 0, path));
    // Not elevated even now: exit 3, said through the channel.
    EXPECT_EQ(cli::run({L"/default", L"/channel", path}, output), 3);
    const auto printed = elevate::decode(bytesOf(path));
    ASSERT_TRUE(printed);
    EXPECT_NE(printed->err.find(L"not running as administrator"), std::wstring::npos);
    // Now it holds something: refused. So are other names, files outside the temporary
    // folder, and missing files.
    const std::wstring other = std::wstring(temp) + L"other.tmp";
    const fs::path elsewhere = fs::path(tk::executableDirectory()) / L"kld1234.tmp";
    std::ofstream(fs::path(other)).close();
    std::ofstream(elsewhere).close();
    for (const std::wstring& bad :
         {std::wstring(path), other, elsewhere.wstring(), std::wstring(temp) + L"kldmissing.tmp"}) {
        cli::BufferOutput refused;
        EXPECT_EQ(cli::run({L"/default", L"/channel", bad}, refused), 1) << bad;
        EXPECT_NE(refused.brought.err.find(L"Keldrast's own use"), std::wstring::npos);
    }
    EXPECT_EQ(bytesOf(other), "");
    EXPECT_EQ(bytesOf(elsewhere), "");
    DeleteFileW(path);
    DeleteFileW(other.c_str());
    fs::remove(elsewhere);
}

TEST(WindowElevation, RelaunchesOnlyWhenNotElevatedAndCarriesOnWhenDeclined) {
    const struct {
        bool elevated;
        bool accepted;
        bool relaunched;
        int calls;
    } cases[] = {{true, true, false, 0}, {false, true, true, 1}, {false, false, false, 1}};
    for (const auto& c : cases) {
        int calls = 0;
        tk::ScopedElevated elevated{[&] { return c.elevated; }};
        tk::ScopedRelaunchElevated relaunch{[&](const std::wstring& parameters) {
            ++calls;
            EXPECT_EQ(parameters, L"/window");
            // Any running process stands for the elevated copy.
            return c.accepted
                       ? tk::unique_handle(OpenProcess(SYNCHRONIZE, FALSE, GetCurrentProcessId()))
                       : tk::unique_handle{};
        }};
        EXPECT_EQ(tk::relaunchedElevated(L"/window"), c.relaunched);
        EXPECT_EQ(calls, c.calls);
    }
}

TEST(Quoting, TheSystemParserGivesEveryArgumentBack) {
    const std::vector<std::wstring> args{L"/set",      L"Open DNS",   L"",          L"a\"b",
                                         L"C:\\x y\\", L"\\\\srv\\s", L"caf\u00E9", L"tab\there"};
    const std::wstring line = L"keldrast.exe " + cli::joinArguments(args);
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(line.c_str(), &count);
    ASSERT_NE(argv, nullptr);
    std::vector<std::wstring> back(argv + 1, argv + count);
    LocalFree(argv);
    EXPECT_EQ(back, args);
}

} // namespace
