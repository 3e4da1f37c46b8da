#include "cli/cli.h"

#include <shellapi.h>

#include <algorithm>
#include <string_view>
#include <utility>

#include "app/appinfo.h"
#include "catalogue/mConfig.h"
#include "catalogue/settings_location_win.h"
#include "cli/command.h"
#include "cli/report.h"
#include "dns/dnsapply.h"
#include "dns/previous_state.h"
#include "dns/readback.h"
#include "dns/speedtest.h"
#include "registry/modReg.h"
#include "toolkit/elevation.h"
#include "toolkit/open_as_user.h"
#include "toolkit/platform.h"
#include "toolkit/decimal.h"

namespace cli {

namespace {

constexpr std::wstring_view kUsageHint = L"Run keldrast /? for usage.";
constexpr std::wstring_view kChannelPrefix = L"kld";
constexpr DWORD kFlushWaitMs = 30000;

// Prints a failure: its message to the error stream, and as JSON when that was asked for.
int fail(Output& output, bool json, std::wstring_view command, int code,
         std::wstring_view message) {
    output.err(std::wstring(message) + L"\n");
    if (json) output.out(errorJson(command, code, message) + L"\n");
    return code;
}

std::vector<AdapterView> adapters(bool withServers) {
    std::vector<AdapterView> views;
    for (auto& card : modReg::enumNetworkCards(L"HKEY_LOCAL_MACHINE", app::kNetworkCardsPath)) {
        AdapterView view{.description = std::move(card.description),
                         .service = std::move(card.serviceName)};
        if (withServers) view.current = app::currentDns(view.service);
        views.push_back(std::move(view));
    }
    return views;
}

std::wstring settingsFile(const Options& options) {
    return options.settingsDirectory.empty() ? mConfig::settingsLocation().path
                                             : mConfig::settingsPath(options.settingsDirectory);
}

std::wstring joinedServers(const std::vector<std::wstring>& servers) {
    std::wstring out;
    for (const auto& s : servers)
        out += (out.empty() ? L"" : L",") + s;
    return out;
}

// Prints a change's result and gives its exit code.
int report(const Command& command, ChangeResult result, const app::ApplyOutcome& outcome,
           Output& output) {
    result.verb = command.verb;
    result.validService = outcome.validService;
    result.written = outcome.written;
    result.live = outcome.live;
    result.inUse = outcome.inUse;
    const Verdict verdict = judge(result);
    if (command.json) {
        output.out(changeJson(result, verdict) + L"\n");
        if (verdict.exitCode != kDone) output.err(verdict.message + L"\n");
    } else {
        std::wstring text = changeText(result, verdict);
        text.resize(text.size() - verdict.message.size() - 1); // the verdict goes by its code
        output.out(text);
        (verdict.exitCode == kDone ? output.out(verdict.message + L"\n")
                                   : output.err(verdict.message + L"\n"));
    }
    return verdict.exitCode;
}

// The adapter the command names, with its place in result; an exit code when there is none.
std::optional<int> chooseFor(const Command& command, ChangeResult& result, Output& output) {
    const auto views = adapters(false);
    const auto choice = chooseAdapter(views, command.adapter);
    if (!choice.index)
        return fail(output, command.json, verbName(command.verb), choice.exitCode, choice.message);
    result.adapterIndex = *choice.index;
    result.adapter = views[*choice.index].description;
    result.service = views[*choice.index].service;
    return std::nullopt;
}

// Writes the servers to the chosen adapter, keeping the restore record as the window does.
int change(const Command& command, const Options& options, ChangeResult result, Output& output) {
    if (const auto code = chooseFor(command, result, output)) return *code;
    if (app::isInterfaceGuid(result.service))
        (void)app::rememberPreviousState(settingsFile(options), result.service);
    const auto outcome = app::changeNameServers(result.service, result.servers, result.servers6);
    return report(command, std::move(result), outcome, output);
}

int restore(const Command& command, const Options& options, Output& output) {
    ChangeResult result;
    if (const auto code = chooseFor(command, result, output)) return *code;
    if (!app::isInterfaceGuid(result.service))
        return report(command, std::move(result), app::ApplyOutcome{}, output);
    const auto restored = app::restorePreviousState(settingsFile(options), result.service);
    if (!restored.hadRecord)
        return fail(output, command.json, L"restore", kUnknownTarget,
                    L"There is nothing to restore for " + result.adapter +
                        L": Keldrast has not changed its DNS servers.");
    std::vector<std::wstring> v4, v6;
    for (const auto& server : restored.applied)
        (server.find(L':') == server.npos ? v4 : v6).push_back(server);
    result.servers = joinedServers(v4);
    result.servers6 = joinedServers(v6);
    return report(command, std::move(result), restored.outcome, output);
}

int set(const Command& command, const Options& options, Output& output) {
    const auto entries = mConfig::loadCatalogue(settingsFile(options));
    const auto index = findEntry(entries, command.entry, mConfig::foldKey);
    if (!index)
        return fail(output, command.json, L"set", kUnknownTarget,
                    L"The catalogue has no entry called " + command.entry +
                        L". Run keldrast /catalogue for its names.");
    const auto& entry = entries[*index];
    const auto parts = app::splitPair(entry.pair);
    std::vector<std::wstring> servers;
    for (const auto& part : {parts.preferred, parts.alternate})
        if (part && parseIPv4(app::gtIP(*part))) servers.push_back(app::gtIP(*part));
    const auto servers6 = app::ipv6PairValue(entry.pair6);
    if (servers.empty() || !servers6)
        return fail(output, command.json, L"set", kUnknownTarget,
                    L"The catalogue entry " + entry.name +
                        (servers.empty() ? L" has no IPv4 server address."
                                         : L" has an IPv6 pair that is not two IPv6 addresses: " +
                                               entry.pair6));
    ChangeResult result;
    result.entry = entry.name;
    result.servers = joinedServers(servers);
    result.servers6 = *servers6;
    return change(command, options, std::move(result), output);
}

int flush(const Command& command, Output& output) {
    const auto flushCommand = app::systemFlushCommand();
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION process{};
    std::wstring commandLine = flushCommand.commandLine;
    // Not awaited for long and given none of this program's handles: its output goes nowhere.
    if (flushCommand.application.empty() ||
        !CreateProcessW(flushCommand.application.c_str(), commandLine.data(), nullptr, nullptr,
                        FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process))
        return fail(output, command.json, L"flush", kNotWritten, app::kFlushFailedMessage);
    tk::unique_handle processHandle(process.hProcess), thread(process.hThread);
    DWORD code = STILL_ACTIVE;
    if (WaitForSingleObject(process.hProcess, kFlushWaitMs) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(process.hProcess, &code) || code != 0) {
        const std::wstring why = code == STILL_ACTIVE
                                     ? L"it did not finish in time"
                                     : L"it ended with exit code " + tk::decimal(code);
        return fail(output, command.json, L"flush", kNotWritten,
                    L"\"ipconfig /flushdns\" did not flush the DNS cache: " + why + L".");
    }
    const std::wstring message = L"The DNS resolver cache was flushed.";
    output.out(command.json ? L"{\"command\":\"flush\",\"exitCode\":0,\"result\":\"flushed\","
                              L"\"message\":" +
                                  jsonString(message) + L"}\n"
                            : message + L"\n");
    return kDone;
}

// Measures every catalogue entry's servers and prints them fastest first.
int speedTest(const Command& command, const Options& options, Output& output) {
    dns::SpeedOptions speed;
    speed.tries = command.tries.value_or(speed.tries);
    speed.timeoutMs = command.timeoutMs.value_or(speed.timeoutMs);
    speed.port = static_cast<unsigned short>(command.port.value_or(0));
    auto results = dns::runSpeedTest(mConfig::loadCatalogue(settingsFile(options)), speed);
    dns::sortFastestFirst(results);
    if (command.json) {
        const std::string json = dns::resultsJson(results); // ASCII only
        output.out(std::wstring(json.begin(), json.end()) + L"\n");
    } else {
        output.out(dns::resultsText(results));
    }
    return kDone;
}

int dispatch(const Command& command, const Options& options, Output& output) {
    switch (command.verb) {
    case Verb::Help:
        output.out(command.json ? L"{\"usage\":" + jsonString(usageText()) + L"}\n" : usageText());
        return kDone;
    case Verb::List: {
        const auto views = adapters(true);
        output.out(command.json ? listJson(views) + L"\n" : listText(views));
        return kDone;
    }
    case Verb::Catalogue: {
        const auto entries = mConfig::loadCatalogue(settingsFile(options));
        output.out(command.json ? catalogueJson(entries) + L"\n" : catalogueText(entries));
        return kDone;
    }
    case Verb::Set:
        return set(command, options, output);
    case Verb::Custom: {
        ChangeResult result;
        result.servers = joinedServers(command.servers);
        // Written in the system's canonical form, as the window writes IPv6 pairs.
        const auto servers6 = app::ipv6PairValue(joinedServers(command.servers6));
        if (!servers6)
            return fail(output, command.json, L"custom", kBadArguments,
                        L"Not a pair of IPv6 server addresses: " + joinedServers(command.servers6));
        result.servers6 = *servers6;
        return change(command, options, std::move(result), output);
    }
    case Verb::Default:
        return change(command, options, ChangeResult{}, output);
    case Verb::Restore:
        return restore(command, options, output);
    case Verb::Flush:
        return flush(command, output);
    case Verb::Test:
        return speedTest(command, options, output);
    case Verb::Version: {
        const auto location = options.settingsDirectory.empty()
                                  ? mConfig::settingsLocation()
                                  : mConfig::SettingsLocation{settingsFile(options),
                                                              app::SettingsPlace::ProgramFolder};
        output.out((command.json ? versionJson : versionText)(app::kVersionText, location.path,
                                                              location.place) +
                   (command.json ? L"\n" : L""));
        return kDone;
    }
    case Verb::Window:
        break;
    }
    return fail(output, command.json, verbName(command.verb), kBadArguments,
                L"/window opens the window and goes alone.");
}

// The elevated copy's channel: a file the unelevated copy made (GetTempFileName's "kld*.tmp"),
// still empty, a plain file with one name. Anything else is refused, so that an elevated copy
// cannot be used to write over a file of the caller's choosing.
tk::unique_handle openChannel(const std::wstring& path) {
    const auto slash = path.find_last_of(L"\\/");
    const std::wstring name = path.substr(slash == path.npos ? 0 : slash + 1);
    if (slash == path.npos || name.size() < 8 || name.substr(0, 3) != kChannelPrefix ||
        name.substr(name.size() - 4) != L".tmp")
        return {};
    auto channel =
        tk::openedFile(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!channel || !GetFileInformationByHandle(channel.get(), &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ||
        info.nFileSizeLow != 0 || info.nFileSizeHigh != 0 || info.nNumberOfLinks != 1)
        return {};
    return channel;
}

// The elevated copy: runs the command with its output collected, then writes it to the channel.
int runAsCopy(const Command& command, const Options& options, Output& output) {
    tk::unique_handle channel = openChannel(*command.channel);
    if (!channel)
        return fail(output, command.json, verbName(command.verb), kBadArguments,
                    L"/channel is for Keldrast's own use.");
    BufferOutput buffer;
    const int code = tk::isElevated()
                         ? dispatch(command, options, buffer)
                         : fail(buffer, command.json, verbName(command.verb), kNotAdministrator,
                                L"Keldrast is not running as administrator.");
    const std::string bytes = encodeChannel(buffer.printed);
    DWORD written = 0;
    WriteFile(channel.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    return code;
}

// This copy is not elevated: an elevated one runs the command and hands back its output.
int runElevated(const std::vector<std::wstring>& args, const Command& command, Output& output) {
    wchar_t directory[MAX_PATH + 1] = {}, path[MAX_PATH + 1] = {};
    const DWORD n = GetTempPathW(MAX_PATH + 1, directory);
    if (n == 0 || n > MAX_PATH || !GetTempFileNameW(directory, kChannelPrefix.data(), 0, path))
        return fail(output, command.json, verbName(command.verb), kNotAdministrator,
                    L"Keldrast needs administrator rights for this and could not ask for them.");
    const std::wstring channel = path;
    const auto copy =
        tk::relaunchElevated(joinArguments(args) + L" /channel " + quoteArgument(channel));
    DWORD code = kNotAdministrator;
    if (copy) {
        WaitForSingleObject(copy.get(), INFINITE);
        if (!GetExitCodeProcess(copy.get(), &code)) code = kNotAdministrator;
    }
    std::string bytes;
    if (const auto file = tk::openedFile(CreateFileW(channel.c_str(), GENERIC_READ, FILE_SHARE_READ,
                                                     nullptr, OPEN_EXISTING, 0, nullptr))) {
        char chunk[4096];
        DWORD read = 0;
        while (ReadFile(file.get(), chunk, sizeof(chunk), &read, nullptr) && read)
            bytes.append(chunk, read);
    }
    DeleteFileW(channel.c_str());
    if (!copy)
        return fail(output, command.json, verbName(command.verb), kNotAdministrator,
                    L"Keldrast needs administrator rights for this, and elevation was declined "
                    L"or is not possible.");
    const auto printed = decodeChannel(bytes);
    if (!printed)
        return fail(output, command.json, verbName(command.verb), static_cast<int>(code),
                    L"The elevated Keldrast gave no report (exit code " + tk::decimal(code) +
                        L").");
    output.out(printed->out);
    output.err(printed->err);
    return static_cast<int>(code);
}

} // namespace

int run(const std::vector<std::wstring>& args, Output& output, const Options& options) {
    const auto parsed = parse(args);
    if (const auto* error = std::get_if<ParseError>(&parsed)) {
        fail(output, error->json, L"", kBadArguments, error->message);
        output.err(std::wstring(kUsageHint) + L"\n");
        return kBadArguments;
    }
    const auto& command = std::get<Command>(parsed);
    if (command.channel) return runAsCopy(command, options, output);
    if (changesSystem(command.verb) && !tk::isElevated()) return runElevated(args, command, output);
    return dispatch(command, options, output);
}

std::vector<std::wstring> processArguments() {
    std::vector<std::wstring> args;
    // The program's name runs to its closing quote when it starts with one, else to the first
    // space or tab. With nothing after it the window opens, and shell32 (which splits the
    // rest) need not be loaded at this start.
    const std::wstring_view line = GetCommandLineW();
    std::size_t rest = 0;
    if (line.starts_with(L'"')) {
        rest = line.find(L'"', 1);
        rest = rest == std::wstring_view::npos ? line.size() : rest + 1;
    } else {
        rest = std::min(line.find_first_of(L" \t"), line.size());
    }
    if (line.find_first_not_of(L" \t", rest) == std::wstring_view::npos) return args;
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!argv) return args;
    for (int i = 1; i < count; ++i)
        args.emplace_back(argv[i]);
    LocalFree(argv);
    return args;
}

} // namespace cli
