#include "cli/command.h"
#include "toolkit/trim.h"
#include "dns/address.h"
#include "toolkit/decimal.h"

#include <algorithm>

namespace cli {

namespace {

struct SwitchName {
    std::wstring_view name;
    std::optional<Verb> verb; // nothing: an option rather than a command
};
// A command's first switch here is its name in reports.
constexpr SwitchName kSwitches[] = {{L"help", Verb::Help},
                                    {L"?", Verb::Help},
                                    {L"list", Verb::List},
                                    {L"catalogue", Verb::Catalogue},
                                    {L"set", Verb::Set},
                                    {L"custom", Verb::Custom},
                                    {L"default", Verb::Default},
                                    {L"restore", Verb::Restore},
                                    {L"flush", Verb::Flush},
                                    {L"test", Verb::Test},
                                    {L"window", Verb::Window},
                                    {L"version", Verb::Version},
                                    {L"tray", Verb::Tray},
                                    {L"check", Verb::Check},
                                    {L"networks", Verb::Networks},
                                    {L"when", Verb::When},
                                    {L"apply-rules", Verb::ApplyRules},
                                    {L"use", {}},
                                    {L"forget", {}},
                                    {L"rules-task", Verb::RulesTask},
                                    {L"direct", {}},
                                    {L"adapter", {}},
                                    {L"v6", {}},
                                    {L"json", {}},
                                    {L"tries", {}},
                                    {L"timeout", {}},
                                    {L"port", {}},
                                    {L"force", {}},
                                    {L"doh", {}},
                                    {L"template", {}},
                                    {L"add-known", {}},
                                    {L"channel", {}}};

bool isSwitch(std::wstring_view arg) {
    return arg.size() > 1 && arg.front() == L'/';
}

} // namespace

bool changesSystem(Verb verb) {
    switch (verb) {
    case Verb::Set:
    case Verb::Custom:
    case Verb::Default:
    case Verb::Restore:
    case Verb::Flush:
    case Verb::ApplyRules:
    case Verb::RulesTask:
        return true;
    default:
        return false;
    }
}

std::wstring_view verbName(Verb verb) {
    for (const auto& entry : kSwitches)
        if (entry.verb == verb) return entry.name;
    return L"";
}

std::variant<Command, ParseError> parse(const std::vector<std::wstring>& args) {
    Command command;
    std::optional<Verb> verb;
    std::vector<std::wstring> seen;
    const bool json = std::any_of(args.begin(), args.end(), [](const std::wstring& a) {
        return tk::foldAscii(a) == L"/json";
    });
    // Named in the error too, so that a script reading the JSON knows which command failed.
    std::wstring commandName;
    for (const auto& arg : args) {
        if (!isSwitch(arg)) continue;
        const std::wstring name = tk::foldAscii(std::wstring_view(arg).substr(1));
        const auto known = std::find_if(std::begin(kSwitches), std::end(kSwitches),
                                        [&](const SwitchName& s) { return s.name == name; });
        if (known != std::end(kSwitches) && known->verb) {
            commandName = verbName(*known->verb);
            break;
        }
    }
    auto fail = [&](std::wstring message) {
        return ParseError{std::move(message), json, commandName};
    };

    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::wstring& arg = args[i];
        if (!isSwitch(arg)) return fail(L"Unexpected argument: " + arg);
        const std::wstring name = tk::foldAscii(std::wstring_view(arg).substr(1));
        const auto known = std::find_if(std::begin(kSwitches), std::end(kSwitches),
                                        [&](const SwitchName& s) { return s.name == name; });
        if (known == std::end(kSwitches)) return fail(L"Unknown switch: " + arg);
        if (std::find(seen.begin(), seen.end(), name) != seen.end())
            return fail(L"Switch given twice: " + arg);
        seen.push_back(name);
        if (known->verb) {
            if (verb) return fail(L"Only one command at a time: " + arg);
            verb = known->verb;
        }
        // The value after a switch; a switch in its place means it is missing.
        auto next = [&]() -> std::optional<std::wstring> {
            if (i + 1 < args.size() && !isSwitch(args[i + 1])) return args[++i];
            return std::nullopt;
        };
        if (name == L"json") {
            command.json = true;
        } else if (name == L"force") {
            command.force = true;
        } else if (name == L"add-known") {
            command.addKnown = true;
        } else if (name == L"direct") {
            command.direct = true;
        } else if (name == L"doh") {
            const auto value = next();
            command.doh = value ? dns::dohModeNamed(*value) : std::nullopt;
            if (!command.doh) return fail(L"/doh needs off, on or only.");
        } else if (name == L"template") {
            const auto value = next();
            if (!value) return fail(L"/template needs a DoH template (https://...).");
            if (const auto problem = dns::templateProblem(*value); !problem.empty())
                return fail(L"Not a DoH template: " + *value + L". " + problem);
            command.dohTemplate = *value;
        } else if (name == L"forget") {
            command.forget = true;
        } else if (name == L"when") {
            const auto value = next();
            if (!value) return fail(L"/when needs a network: its id or its name.");
            command.network = *value;
        } else if (name == L"use" && i + 1 < args.size() &&
                   tk::foldAscii(args[i + 1]) == L"/default") {
            ++i; // /use /default: the automatic servers, not the command /default
            command.useDefault = true;
        } else if (name == L"set" || name == L"use") {
            const auto value = next();
            if (!value)
                return fail(name == L"set" ? L"/set needs the name of a catalogue entry."
                                           : L"/use needs the name of a catalogue entry, or "
                                             L"/default.");
            command.entry = *value;
            std::vector<std::wstring> words{*value};
            while (i + 1 < args.size() && !isSwitch(args[i + 1]))
                words.push_back(args[++i]);
            if (words.size() > 1) {
                auto error = fail(L"Unexpected argument: " + words[1]);
                error.setWords = std::move(words);
                return error;
            }
        } else if (name == L"custom" || name == L"v6") {
            const bool v6 = name == L"v6";
            auto& servers = v6 ? command.servers6 : command.servers;
            for (int k = 0; k < 2; ++k) {
                const auto value = next();
                if (!value) {
                    if (k == 0)
                        return fail(arg + L" needs a preferred server address" +
                                    (v6 ? L" (IPv6)." : L" (IPv4)."));
                    break;
                }
                if (!dns::canonicalAddress(v6 ? dns::Family::V6 : dns::Family::V4, *value))
                    return fail(L"Not an " + std::wstring(v6 ? L"IPv6" : L"IPv4") +
                                L" server address: " + *value);
                servers.push_back(*value);
            }
        } else if (name == L"rules-task") {
            const auto value = next();
            const std::wstring folded = value ? tk::foldAscii(*value) : L"";
            if (folded != L"on" && folded != L"off") return fail(L"/rules-task needs on or off.");
            command.taskOn = folded == L"on";
        } else if (name == L"tries" || name == L"timeout" || name == L"port") {
            // /tries 1 to 20; /timeout 50 to 10000 ms; /port 1 to 65535.
            const bool tries = name == L"tries", port = name == L"port";
            const auto value = next();
            const int low = tries || port ? 1 : 50, high = tries ? 20 : port ? 65535 : 10000;
            int number = 0;
            const bool digits = value && !value->empty() && value->size() <= 5 &&
                                std::all_of(value->begin(), value->end(),
                                            [](wchar_t c) { return c >= L'0' && c <= L'9'; });
            if (digits)
                for (wchar_t c : *value)
                    number = number * 10 + (c - L'0');
            if (!digits || number < low || number > high)
                return fail(arg + L" needs a number from " + tk::decimal(low) + L" to " +
                            tk::decimal(high) + L".");
            (tries ? command.tries : port ? command.port : command.timeoutMs) = number;
        } else if (name == L"adapter" || name == L"channel") {
            const auto value = next();
            if (!value) return fail(arg + L" needs a value.");
            (name == L"adapter" ? command.adapter : command.channel) = *value;
        }
    }
    if (!verb) return fail(L"No command given.");
    command.verb = *verb;
    const bool takesAdapter = changesSystem(*verb) && *verb != Verb::Flush &&
                              *verb != Verb::ApplyRules && *verb != Verb::RulesTask;
    if (command.json && *verb == Verb::RulesTask)
        return fail(L"/json does not go with /rules-task.");
    if (command.adapter && !takesAdapter && *verb != Verb::Check)
        return fail(L"/adapter goes with /set, /custom, /default, /restore or /check.");
    if (!command.servers6.empty() && *verb != Verb::Custom) return fail(L"/v6 goes with /custom.");
    if (command.force && !takesAdapter)
        return fail(L"/force goes with /set, /custom, /default or /restore.");
    if (command.tries && *verb != Verb::Test) return fail(L"/tries goes with /test.");
    if ((command.timeoutMs || command.port) && *verb != Verb::Test && *verb != Verb::Check)
        return fail(L"/timeout and /port go with /test or /check.");
    if (command.direct && *verb != Verb::Check) return fail(L"/direct goes with /check.");
    if (command.doh && *verb != Verb::Set && *verb != Verb::Custom)
        return fail(L"/doh goes with /set or /custom.");
    if (command.dohTemplate && *verb != Verb::Custom) return fail(L"/template goes with /custom.");
    if (command.dohTemplate) {
        // A template whose host is an address serves only that server: it must be one of them.
        auto servers = command.servers;
        servers.insert(servers.end(), command.servers6.begin(), command.servers6.end());
        if (std::none_of(servers.begin(), servers.end(), [&](const std::wstring& server) {
                return dns::validTemplate(*command.dohTemplate, server);
            }))
            return fail(L"Not a DoH template for these servers: " + *command.dohTemplate +
                        L". Its host is an address that is not one of them.");
    }
    const bool uses =
        command.useDefault || seen.end() != std::find(seen.begin(), seen.end(), L"use");
    if ((uses || command.forget) && *verb != Verb::When)
        return fail(L"/use and /forget go with /when.");
    if (*verb == Verb::When && uses == command.forget)
        return fail(L"/when NETWORK needs /use NAME, /use /default or /forget.");
    if (command.addKnown && *verb != Verb::Catalogue)
        return fail(L"/add-known goes with /catalogue.");
    if (command.channel && !changesSystem(*verb))
        return fail(L"/channel is only for commands that change something.");
    return command;
}

} // namespace cli
