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
#include "dns/change.h"
#include "dns/checkrun.h"
#include "dns/network.h"
#include "dns/networks.h"
#include "dns/speedtest.h"
#include "elevate/broker.h"
#include "elevate/task.h"
#include "toolkit/open_as_user.h"
#include "toolkit/platform.h"
#include "toolkit/decimal.h"
#include "toolkit/json.h"

namespace cli {

namespace {

constexpr std::wstring_view kUsageHint = L"Run keldrast /? for usage.";

// Prints a failure: its message to the error stream, and as JSON when that was asked for.
int fail(Output& output, bool json, std::wstring_view command, int code,
         std::wstring_view message) {
    output.failed(message);
    output.err(std::wstring(message) + L"\n");
    if (json) output.out(errorJson(command, code, message) + L"\n");
    return code;
}

std::vector<AdapterView> adapters(bool withServers) {
    std::vector<AdapterView> views;
    const auto state = withServers ? dns::networkState() : dns::NetworkState{};
    for (auto& card : dns::listedAdapters()) {
        AdapterView view{.description = std::move(card.description),
                         .service = std::move(card.service)};
        if (withServers) view.current = dns::currentDns(view.service, state);
        views.push_back(std::move(view));
    }
    return views;
}

std::wstring settingsFile(const Options& options) {
    return options.settingsDirectory.empty() ? mConfig::settingsLocation().path
                                             : mConfig::settingsPath(options.settingsDirectory);
}

// The encrypted-DNS setting a change uses: /doh, or else the settings file's.
dns::DohMode dohMode(const Command& command, const Options& options) {
    return command.doh ? *command.doh : mConfig::encryptedDnsMode(settingsFile(options));
}

// Hands the change to the engine, for the adapter the command names or for each connected
// one, and prints the outcome: what was written to the standard output, the verdict there when
// it is a success and to the error stream when it is not, and the warnings on the error stream.
int change(const Command& command, const Options& options, dns::ChangeRequest request,
           std::wstring entry, Output& output) {
    const auto views = adapters(false);
    const auto choice = chooseAdapters(views, command.adapter, dns::networkState());
    if (choice.indices.empty())
        return fail(output, command.json, verbName(command.verb), choice.exitCode, choice.message);
    request.withoutRestorePoint = command.force;
    const std::wstring settings = settingsFile(options);
    std::vector<std::wstring> services;
    for (const auto i : choice.indices)
        services.push_back(views[i].service);
    std::vector<dns::ChangeOutcome> outcomes;
    if (choice.several) {
        outcomes = dns::changeEach(request, services, settings);
    } else {
        request.service = services.front();
        outcomes.push_back(dns::change(request, settings));
    }
    std::vector<ChangeReport> reports;
    std::vector<std::wstring> messages;
    std::vector<int> codes;
    for (std::size_t k = 0; k < outcomes.size(); ++k) {
        output.changed(outcomes[k]);
        const auto i = choice.indices[k];
        reports.push_back({command.verb, i, views[i].description, entry, std::move(outcomes[k])});
        messages.push_back(verdictMessage(reports.back().outcome, settings));
        // An address no server can have is the entry's fault, or the typed arguments'.
        const auto result = reports.back().outcome.result;
        codes.push_back(result == dns::Result::UnusableServer && command.verb == Verb::Custom
                            ? kBadArguments
                            : exitCode(reports.back().outcome));
    }
    if (command.json)
        output.out((choice.several ? changeEachJson(reports, messages)
                                   : changeJson(reports.front(), messages.front())) +
                   L"\n");
    for (std::size_t k = 0; k < reports.size(); ++k) {
        if (!command.json) output.out(changeText(reports[k]));
        if (codes[k] != kDone)
            output.err(messages[k] + L"\n");
        else if (!command.json)
            output.out(messages[k] + L"\n");
    }
    for (const auto& warning : uniqueWarnings(reports))
        output.err(warningText(warning) + L"\n");
    return worstExitCode(codes);
}

int set(const Command& command, const Options& options, Output& output) {
    const auto entries = mConfig::loadCatalogue(settingsFile(options));
    const auto index = findEntry(entries, command.entry, mConfig::foldKey);
    if (!index)
        return fail(output, command.json, L"set", kUnknownTarget,
                    unknownEntryMessage(entries, command.entry, mConfig::foldKey));
    const auto& entry = entries[*index];
    auto request = dns::entryRequest(entry, dohMode(command, options));
    if (!request)
        return fail(output, command.json, L"set", kUnknownTarget,
                    L"The catalogue entry " + entry.name +
                        L" has no preferred IPv4 server address.");
    return change(command, options, std::move(*request), entry.name, output);
}

int custom(const Command& command, const Options& options, Output& output) {
    return change(command, options,
                  dns::typedRequest(command.servers, command.servers6,
                                    command.dohTemplate.value_or(L""), dohMode(command, options)),
                  {}, output);
}

// /catalogue /add-known: the known encrypted services the catalogue lacks, saved at once.
int addKnown(const Command& command, const Options& options, Output& output) {
    const std::wstring path = settingsFile(options);
    auto loaded = mConfig::loadSettings(path);
    const auto added = catalogue::addKnownServices(loaded.entries, mConfig::foldKey);
    if (loaded.file == mConfig::SettingsFile::Unusable ||
        (!added.empty() && !mConfig::saveCatalogue(path, loaded.entries)))
        return fail(output, command.json, L"catalogue", kNotWritten,
                    L"The catalogue was not changed: the settings file " + path +
                        L" could not be read or written.");
    if (command.json) {
        std::wstring json = catalogueJson(loaded.entries);
        tk::Json names;
        names.strings(added);
        json.insert(json.size() - 1, L",\"added\":" + names.text());
        output.out(json + L"\n");
    } else {
        output.out(catalogueText(loaded.entries) +
                   (added.empty() ? L"Every well-known encrypted service is in the catalogue.\n"
                                  : L"Added: " + dns::serversText(added) + L"\n"));
    }
    return kDone;
}

int flush(const Command& command, Output& output) {
    const auto flushed = dns::flushResolverCache(true);
    output.flushed(flushed);
    const std::wstring message = dns::flushText(flushed);
    if (flushed.result != dns::FlushResult::Flushed)
        return fail(output, command.json, L"flush", kNotWritten, message);
    tk::Json json;
    json.open(L'{').key(L"command").string(L"flush").key(L"exitCode").number(0LL);
    json.key(L"result").string(L"flushed").key(L"message").string(message).close(L'}');
    output.out((command.json ? json.text() : message) + L"\n");
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
        output.out(dns::resultsJson(results) + L"\n");
    } else {
        output.out(dns::resultsText(results));
    }
    return kDone;
}

// Which DNS really answers the adapter: changes nothing. Exit 5 when a server's answers come
// from another operator, or none answered.
int check(const Command& command, Output& output) {
    const auto views = adapters(false);
    // Without /adapter and with several adapters, the one the default route leaves through.
    const auto wanted = command.adapter || views.size() < 2
                            ? command.adapter
                            : std::optional<std::wstring>(L"default");
    const auto choice = chooseAdapters(views, wanted, dns::networkState());
    if (choice.indices.empty())
        return fail(output, command.json, L"check", choice.exitCode, choice.message);
    if (choice.several)
        return fail(output, command.json, L"check", kBadArguments,
                    L"/check checks one adapter at a time.");
    const auto& view = views[choice.indices.front()];
    dns::CheckOptions checkOptions;
    checkOptions.direct = command.direct;
    checkOptions.timeoutMs = command.timeoutMs.value_or(checkOptions.timeoutMs);
    checkOptions.port = static_cast<unsigned short>(command.port.value_or(0));
    const auto report = dns::runCheck(view.description, view.service, checkOptions);
    const int code = dns::answeredAsItself(report) ? kDone : kOtherServersInUse;
    if (command.json) {
        const std::wstring body = dns::checkJsonBody(report);
        output.out(L"{\"command\":\"check\",\"exitCode\":" + tk::decimal(code) + L"," +
                   body.substr(1) + L"\n");
    } else {
        output.out(dns::checkText(report));
    }
    return code;
}

// The scheduled task that lets the notification area apply the rules without a prompt.
int rulesTask(const Command& command, Output& output) {
    const auto operation =
        command.taskOn ? elevate::TaskOperation::Create : elevate::TaskOperation::Remove;
    const auto result = command.taskOn ? elevate::createRulesTask() : elevate::removeRulesTask();
    const std::wstring message = elevate::taskMessage(operation, result, tk::executablePath());
    if (result.status != elevate::TaskStatus::Done &&
        !(result.status == elevate::TaskStatus::NotFound && !command.taskOn))
        return fail(output, false, L"rules-task", kNotWritten, message);
    output.out(message + L"\n");
    return kDone;
}

// The settings file's catalogue and rules; nothing, having said why, when the file could not
// be read (its rules are not known, and it must not be written over).
std::optional<std::pair<std::vector<catalogue::CatalogueEntry>, dns::CheckedRules>>
catalogueAndRules(const Command& command, const std::wstring& path, Output& output) {
    auto loaded = mConfig::loadSettings(path);
    if (loaded.file == mConfig::SettingsFile::Unusable) {
        fail(output, command.json, verbName(command.verb), kNotWritten,
             L"The settings file " + path +
                 L" could not be read (or holds no catalogue), so its rules are not known.");
        return std::nullopt;
    }
    auto rules = dns::networkRules(path, loaded.entries);
    return std::pair{std::move(loaded.entries), std::move(rules)};
}

void sayRefused(Output& output, const std::vector<dns::RefusedRule>& refused) {
    for (const auto& r : refused)
        output.err(r.message + L"\n");
}

int networks(const Command& command, const Options& options, Output& output) {
    const std::wstring path = settingsFile(options);
    const auto loaded = catalogueAndRules(command, path, output);
    if (!loaded) return kNotWritten;
    const auto found = dns::connectedNetworks();
    output.out(command.json ? networksJson(found, loaded->second) + L"\n"
                            : networksText(found, loaded->second));
    sayRefused(output, loaded->second.refused);
    return kDone;
}

// /when NETWORK /use NAME, /use /default or /forget: keeps or drops the network's rule in the
// settings file. Like /catalogue /add-known it writes the file the user's own copy uses.
int when(const Command& command, const Options& options, Output& output) {
    const std::wstring path = settingsFile(options);
    const auto loaded = catalogueAndRules(command, path, output);
    if (!loaded) return kNotWritten;
    const auto& [entries, rules] = *loaded;
    const auto choice = dns::chooseNetwork(dns::connectedNetworks(), rules, command.network);
    if (!choice.id) return fail(output, command.json, L"when", kUnknownTarget, choice.message);
    const std::wstring who = L"\"" + choice.name + L"\" (" + *choice.id + L")";
    dns::NetworkRule rule{*choice.id, std::nullopt, choice.name};
    std::wstring message;
    if (command.forget) {
        if (!dns::forgetNetworkRule(path, *choice.id))
            return fail(output, command.json, L"when", kNotWritten,
                        L"The rule was not dropped: the settings file " + path +
                            L" could not be written.");
        message = L"On " + who + L", Keldrast no longer changes the DNS servers.";
        if (const auto retired = elevate::retireRulesTask(path); !retired.empty())
            message += L" " + retired;
    } else {
        if (!command.useDefault) {
            const auto index = findEntry(entries, command.entry, mConfig::foldKey);
            if (!index)
                return fail(output, command.json, L"when", kUnknownTarget,
                            unknownEntryMessage(entries, command.entry, mConfig::foldKey));
            if (!dns::entryRequest(entries[*index], dns::kDefaultDohMode))
                return fail(output, command.json, L"when", kUnknownTarget,
                            L"The catalogue entry " + entries[*index].name +
                                L" has no preferred IPv4 server address.");
            rule.entry = tk::trimSpaces(entries[*index].name);
        }
        if (!dns::keepNetworkRule(path, rule))
            return fail(output, command.json, L"when", kNotWritten,
                        L"The rule was not kept: the settings file " + path +
                            L" could not be written.");
        message = L"On " + who + L", keldrast /apply-rules now uses " +
                  (rule.entry ? *rule.entry : std::wstring(L"the automatic servers")) + L".";
    }
    if (command.json) {
        tk::Json j;
        j.open(L'{').key(L"command").string(L"when").key(L"exitCode").number(0LL);
        j.key(L"id").string(*choice.id).key(L"name").string(choice.name).key(L"rule");
        if (command.forget)
            j.null();
        else if (rule.entry)
            j.string(*rule.entry);
        else
            j.open(L'{').key(L"automatic").boolean(true).close(L'}');
        output.out(j.key(L"message").string(message).close(L'}').text() + L"\n");
    } else {
        output.out(message + L"\n");
    }
    return kDone;
}

// Each connected network's rule on that network's listed adapters, through the engine, each
// adapter with its own restore record. The exit code is the worst, a rule of a connected
// network that cannot be applied counting as an unknown entry.
int applyRules(const Command& command, const Options& options, Output& output) {
    const std::wstring path = settingsFile(options);
    const auto loaded = catalogueAndRules(command, path, output);
    if (!loaded) return kNotWritten;
    const auto& [entries, rules] = *loaded;
    const auto plan = dns::planRules(dns::connectedNetworks(), rules, entries,
                                     mConfig::encryptedDnsMode(path), mConfig::foldKey);
    const auto views = adapters(false);
    std::vector<RuleChange> changes;
    std::vector<int> codes;
    std::vector<ChangeReport> all;
    for (const auto& planned : plan.changes) {
        RuleChange change{planned.network, planned.rule, {}, {}};
        std::vector<std::wstring> services;
        for (const auto& adapter : planned.network.adapters)
            services.push_back(adapter.guid);
        auto outcomes = dns::changeEach(planned.request, services, path);
        for (std::size_t k = 0; k < outcomes.size() && k < services.size(); ++k) {
            output.changed(outcomes[k]);
            std::size_t index = 0;
            while (index < views.size() &&
                   tk::foldAscii(views[index].service) != tk::foldAscii(services[k]))
                ++index;
            change.reports.push_back({planned.rule.entry ? Verb::Set : Verb::Default, index,
                                      planned.network.adapters[k].description,
                                      planned.rule.entry.value_or(L""), std::move(outcomes[k])});
            change.messages.push_back(verdictMessage(change.reports.back().outcome, path));
            codes.push_back(exitCode(change.reports.back().outcome));
            all.push_back(change.reports.back());
        }
        changes.push_back(std::move(change));
    }
    for (std::size_t i = 0; i < plan.refusedConnected; ++i)
        codes.push_back(kUnknownTarget);
    const int code = worstExitCode(codes);
    const std::wstring summary =
        changes.empty() && plan.refusedConnected == 0
            ? L"No connected network has a rule: nothing was changed."
            : L"Rules applied on " + tk::decimal(static_cast<long long>(changes.size())) + L" of " +
                  tk::decimal(static_cast<long long>(changes.size() + plan.refusedConnected)) +
                  L" connected networks with a rule.";
    if (command.json)
        output.out(applyRulesJson(changes, plan.refused, code, summary) + L"\n");
    else
        output.out(applyRulesText(changes));
    for (const auto& change : changes)
        for (std::size_t k = 0; k < change.reports.size(); ++k) {
            if (exitCode(change.reports[k].outcome) != kDone)
                output.err(change.messages[k] + L"\n");
            else if (!command.json)
                output.out(change.messages[k] + L"\n");
        }
    for (const auto& warning : uniqueWarnings(all))
        output.err(warning.text + L"\n");
    sayRefused(output, plan.refused);
    if (!command.json) (code == kDone ? output.out(summary + L"\n") : output.err(summary + L"\n"));
    return code;
}

int dispatch(const Command& command, const Options& options, Output& output) {
    switch (command.verb) {
    case Verb::Help:
        output.out(command.json ? L"{\"usage\":" + tk::jsonString(usageText()) + L"}\n"
                                : usageText());
        return kDone;
    case Verb::List: {
        const auto views = adapters(true);
        output.out(command.json ? listJson(views) + L"\n" : listText(views));
        return kDone;
    }
    case Verb::Catalogue: {
        if (command.addKnown) return addKnown(command, options, output);
        const auto entries = mConfig::loadCatalogue(settingsFile(options));
        output.out(command.json ? catalogueJson(entries) + L"\n" : catalogueText(entries));
        return kDone;
    }
    case Verb::Set:
        return set(command, options, output);
    case Verb::Custom:
        return custom(command, options, output);
    case Verb::Default:
        return change(command, options, dns::defaultRequest(), {}, output);
    case Verb::Restore:
        return change(command, options, dns::restoreRequest(), {}, output);
    case Verb::Flush:
        return flush(command, output);
    case Verb::Test:
        return speedTest(command, options, output);
    case Verb::Check:
        return check(command, output);
    case Verb::RulesTask:
        return rulesTask(command, output);
    case Verb::Networks:
        return networks(command, options, output);
    case Verb::When:
        return when(command, options, output);
    case Verb::ApplyRules:
        return applyRules(command, options, output);
    case Verb::Version: {
        const auto location =
            options.settingsDirectory.empty()
                ? mConfig::settingsLocation()
                : mConfig::SettingsLocation{settingsFile(options),
                                            catalogue::SettingsPlace::ProgramFolder};
        output.out((command.json ? versionJson : versionText)(app::kVersionText, location.path,
                                                              location.place) +
                   (command.json ? L"\n" : L""));
        return kDone;
    }
    case Verb::Window:
    case Verb::Tray:
        break;
    }
    return fail(output, command.json, verbName(command.verb), kBadArguments,
                L"/" + std::wstring(verbName(command.verb)) +
                    (command.verb == Verb::Tray ? L" stays in the notification area"
                                                : L" opens the window") +
                    L" and goes alone.");
}

// The elevated copy: runs the command with its output collected, then hands it all back.
int runAsCopy(const Command& command, const Options& options, Output& output) {
    tk::unique_handle channel = elevate::openChannel(*command.channel);
    if (!channel)
        return fail(output, command.json, verbName(command.verb), kBadArguments,
                    L"/channel is for Keldrast's own use.");
    BufferOutput buffer;
    const int code = tk::isElevated()
                         ? dispatch(command, options, buffer)
                         : fail(buffer, command.json, verbName(command.verb), kNotAdministrator,
                                L"Keldrast is not running as administrator.");
    buffer.brought.exitCode = code;
    (void)elevate::sendBack(channel.get(), buffer.brought);
    return code;
}

// This copy is not elevated: an elevated one runs the command and hands back what it printed.
int runElevated(const std::vector<std::wstring>& args, const Command& command, Output& output) {
    const auto brought = elevate::runElevated(args);
    if (!brought.failure.empty() && brought.out.empty() && brought.err.empty())
        return fail(output, command.json, verbName(command.verb), brought.exitCode,
                    brought.failure);
    output.out(brought.out);
    output.err(brought.err);
    return brought.exitCode;
}

} // namespace

int run(const std::vector<std::wstring>& args, Output& output, const Options& options) {
    const auto parsed = parse(args);
    if (const auto* error = std::get_if<ParseError>(&parsed)) {
        const std::wstring hint =
            error->setWords.empty()
                ? std::wstring()
                : quotingHint(mConfig::loadCatalogue(settingsFile(options)), error->setWords,
                              mConfig::foldKey, error->command == L"when" ? L"use" : L"set");
        fail(output, error->json, error->command, kBadArguments,
             hint.empty() ? error->message : hint);
        if (hint.empty()) output.err(std::wstring(kUsageHint) + L"\n");
        return kBadArguments;
    }
    const auto& command = std::get<Command>(parsed);
    int code = kDone;
    if (command.channel)
        code = runAsCopy(command, options, output);
    else if (changesSystem(command.verb) && !tk::isElevated())
        code = runElevated(args, command, output);
    else
        code = dispatch(command, options, output);
    return code == kDone && output.outFailed() ? kOutputFailed : code;
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
