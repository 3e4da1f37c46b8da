#include "cli/command.h"
#include "toolkit/decimal.h"

#include <algorithm>
#include <cwctype>

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
                                    {L"adapter", {}},
                                    {L"v6", {}},
                                    {L"json", {}},
                                    {L"tries", {}},
                                    {L"timeout", {}},
                                    {L"port", {}},
                                    {L"channel", {}}};

std::wstring lower(std::wstring_view text) {
    std::wstring out(text);
    for (auto& c : out)
        if (c < 0x80) c = static_cast<wchar_t>(std::towlower(c));
    return out;
}

bool isSwitch(std::wstring_view arg) {
    return arg.size() > 1 && arg.front() == L'/';
}

bool isHex(wchar_t c) {
    return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
}
int hexValue(wchar_t c) {
    if (c <= L'9') return c - L'0';
    return (c | 0x20) - L'a' + 10;
}

std::vector<std::wstring_view> split(std::wstring_view text, wchar_t separator) {
    std::vector<std::wstring_view> parts;
    for (;;) {
        const auto end = text.find(separator);
        parts.push_back(text.substr(0, end));
        if (end == text.npos) return parts;
        text.remove_prefix(end + 1);
    }
}

// The hex groups of one side of "::" into out; false when one is not a group.
bool hexGroups(std::wstring_view text, std::vector<std::uint16_t>& out, bool ipv4TailAllowed) {
    if (text.empty()) return true;
    const auto parts = split(text, L':');
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const auto part = parts[i];
        if (ipv4TailAllowed && i + 1 == parts.size() && part.find(L'.') != part.npos) {
            std::array<std::uint8_t, 4> v4{};
            const auto pieces = split(part, L'.');
            if (pieces.size() != 4) return false;
            for (std::size_t k = 0; k < 4; ++k) {
                const auto p = pieces[k];
                if (p.empty() || p.size() > 3 || (p.size() > 1 && p[0] == L'0') ||
                    !std::all_of(p.begin(), p.end(),
                                 [](wchar_t c) { return c >= L'0' && c <= L'9'; }))
                    return false;
                int value = 0;
                for (wchar_t c : p)
                    value = value * 10 + (c - L'0');
                if (value > 255) return false;
                v4[k] = static_cast<std::uint8_t>(value);
            }
            out.push_back(static_cast<std::uint16_t>(v4[0] << 8 | v4[1]));
            out.push_back(static_cast<std::uint16_t>(v4[2] << 8 | v4[3]));
            continue;
        }
        if (part.empty() || part.size() > 4 || !std::all_of(part.begin(), part.end(), isHex))
            return false;
        std::uint16_t value = 0;
        for (wchar_t c : part)
            value = static_cast<std::uint16_t>(value << 4 | hexValue(c));
        out.push_back(value);
    }
    return true;
}

} // namespace

bool changesSystem(Verb verb) {
    switch (verb) {
    case Verb::Set:
    case Verb::Custom:
    case Verb::Default:
    case Verb::Restore:
    case Verb::Flush:
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

std::optional<std::array<std::uint8_t, 4>> parseIPv4(std::wstring_view text) {
    std::vector<std::uint16_t> groups;
    // Reuses the IPv6 tail reader: four decimal parts 0 to 255, no leading zeros.
    if (text.find(L':') != text.npos || !hexGroups(text, groups, true) || groups.size() != 2)
        return std::nullopt;
    std::array<std::uint8_t, 4> address{
        static_cast<std::uint8_t>(groups[0] >> 8), static_cast<std::uint8_t>(groups[0] & 0xFF),
        static_cast<std::uint8_t>(groups[1] >> 8), static_cast<std::uint8_t>(groups[1] & 0xFF)};
    if (address == std::array<std::uint8_t, 4>{}) return std::nullopt;
    return address;
}

std::optional<std::array<std::uint8_t, 16>> parseIPv6(std::wstring_view text) {
    const auto gap = text.find(L"::");
    if (gap != text.npos && text.find(L"::", gap + 1) != text.npos) return std::nullopt;
    std::vector<std::uint16_t> head, tail;
    if (gap == text.npos) {
        if (!hexGroups(text, head, true) || head.size() != 8 || text.empty()) return std::nullopt;
    } else {
        if (!hexGroups(text.substr(0, gap), head, false) ||
            !hexGroups(text.substr(gap + 2), tail, true) || head.size() + tail.size() > 7)
            return std::nullopt;
    }
    std::array<std::uint8_t, 16> address{};
    auto put = [&](std::size_t index, std::uint16_t group) {
        address[2 * index] = static_cast<std::uint8_t>(group >> 8);
        address[2 * index + 1] = static_cast<std::uint8_t>(group & 0xFF);
    };
    for (std::size_t i = 0; i < head.size(); ++i)
        put(i, head[i]);
    for (std::size_t i = 0; i < tail.size(); ++i)
        put(8 - tail.size() + i, tail[i]);
    if (address == std::array<std::uint8_t, 16>{}) return std::nullopt; // "::", no server
    return address;
}

std::wstring quoteArgument(std::wstring_view argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == argument.npos)
        return std::wstring(argument);
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        // Backslashes count double only before a quote, the written one or the closing one.
        out.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(2 * backslashes, L'\\');
    return out + L"\"";
}

std::wstring joinArguments(const std::vector<std::wstring>& args) {
    std::wstring out;
    for (const auto& arg : args) {
        if (!out.empty()) out += L' ';
        out += quoteArgument(arg);
    }
    return out;
}

std::variant<Command, ParseError> parse(const std::vector<std::wstring>& args) {
    Command command;
    std::optional<Verb> verb;
    std::vector<std::wstring> seen;
    const bool json = std::any_of(args.begin(), args.end(),
                                  [](const std::wstring& a) { return lower(a) == L"/json"; });
    auto fail = [&](std::wstring message) { return ParseError{std::move(message), json}; };

    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::wstring& arg = args[i];
        if (!isSwitch(arg)) return fail(L"Unexpected argument: " + arg);
        const std::wstring name = lower(std::wstring_view(arg).substr(1));
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
        } else if (name == L"set") {
            const auto value = next();
            if (!value) return fail(L"/set needs the name of a catalogue entry.");
            command.entry = *value;
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
                if (v6 ? !parseIPv6(*value) : !parseIPv4(*value))
                    return fail(L"Not an " + std::wstring(v6 ? L"IPv6" : L"IPv4") +
                                L" server address: " + *value);
                servers.push_back(*value);
            }
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
    const bool takesAdapter = changesSystem(*verb) && *verb != Verb::Flush;
    if (command.adapter && !takesAdapter)
        return fail(L"/adapter goes with /set, /custom, /default or /restore.");
    if (!command.servers6.empty() && *verb != Verb::Custom) return fail(L"/v6 goes with /custom.");
    if ((command.tries || command.timeoutMs || command.port) && *verb != Verb::Test)
        return fail(L"/tries, /timeout and /port go with /test.");
    if (command.channel && !changesSystem(*verb))
        return fail(L"/channel is only for commands that change something.");
    return command;
}

} // namespace cli
