// The command line: what a list of arguments asks for, the address forms it accepts, and
// how an argument is quoted so that the system's parser gives it back unchanged. Pure.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "dns/doh.h"
#include "elevate/brought.h"

namespace cli {

// Window: open the window as without arguments, but without asking for elevation. Tray: stay
// in the notification area.
enum class Verb {
    Help,
    List,
    Catalogue,
    Set,
    Custom,
    Default,
    Restore,
    Flush,
    Test,
    Window,
    Version,
    Tray,
    Check,
    Networks,
    When,
    ApplyRules,
    RulesTask
};

struct Command {
    Verb verb = Verb::Help;
    bool json = false;
    std::wstring entry{};                  // /set NAME, /use NAME
    std::wstring network{};                // /when NETWORK
    bool useDefault = false;               // /use /default (with /when)
    bool forget = false;                   // /forget (with /when)
    std::vector<std::wstring> servers{};   // /custom P [A]
    std::vector<std::wstring> servers6{};  // /v6 P6 [A6]
    std::optional<std::wstring> adapter{}; // /adapter A
    std::optional<std::wstring> channel{}; // /channel FILE: an elevated copy's output file
    std::optional<int> tries{};            // /tries N (with /test)
    std::optional<int> timeoutMs{};        // /timeout MS (with /test)
    std::optional<int> port{};             // /port N (with /test): servers on another UDP port
    bool force = false; // /force: change even when the previous servers cannot be recorded
    std::optional<dns::DohMode> doh{};         // /doh off|on|only (with /set, /custom)
    std::optional<std::wstring> dohTemplate{}; // /template URL (with /custom)
    bool addKnown = false;                     // /add-known (with /catalogue)
    bool direct = false; // /direct (with /check): the servers only, not Windows' resolver
    bool taskOn = false; // /rules-task on (else off)
    bool operator==(const Command&) const = default;
};

struct ParseError {
    std::wstring message{};
    bool json = false;      // /json was among the arguments, so the error is wanted as JSON too
    std::wstring command{}; // the first command among the arguments ("set"), empty when none
    // /set NAME followed by more words: NAME and those words, which may be one name whose
    // quotes were left out.
    std::vector<std::wstring> setWords{};
    bool operator==(const ParseError&) const = default;
};

// The arguments after the program's name. Switches start with "/" or "-" and are compared
// without regard to letter case; an unknown or repeated switch, a missing value or a value
// that is not an address is an error.
std::variant<Command, ParseError> parse(const std::vector<std::wstring>& args);

// Whether the command changes the system and so needs an administrator.
bool changesSystem(Verb verb);
// "set", "custom"...: the command's name in JSON output.
std::wstring_view verbName(Verb verb);

using elevate::joinArguments;
using elevate::quoteArgument;

} // namespace cli
