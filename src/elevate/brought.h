// What an elevated copy brings back to the copy that started it: its exit code, what it
// printed, and the engine's outcomes as data, so that each front end presents them in its own
// words and none reads another's printed text. Pure: the channel's bytes and their reading.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dns/dnsplan.h"

namespace elevate {

// Exit codes the broker itself gives when the copy brings nothing back.
inline constexpr int kDeclined = 3;  // elevation declined or impossible: nothing ran
inline constexpr int kTimedOut = 9;  // the copy did not finish in time
inline constexpr int kNoReport = 10; // the copy crashed or aborted

struct Brought {
    int exitCode = 0;
    std::wstring out{}, err{};                  // what the copy printed, for the command line
    std::vector<dns::ChangeOutcome> outcomes{}; // one per adapter changed
    std::optional<dns::FlushOutcome> flush{};
    std::wstring failure{}; // a command refused before anything ran: why, in words
    bool operator==(const Brought&) const;
};

// The channel's bytes: UTF-8 lines of a name, a tab and the value, with "\\", tab, CR and LF in
// values written as "\\\\", "\\t", "\\r" and "\\n".
std::string encode(const Brought& brought);
// Nothing when the bytes are not such a record (the copy never wrote it, or was cut short).
std::optional<Brought> decode(std::string_view bytes);

// One argument as it must be written so that CommandLineToArgvW gives it back unchanged.
std::wstring quoteArgument(std::wstring_view argument);
// The arguments joined, each quoted as needed, separated by single spaces.
std::wstring joinArguments(const std::vector<std::wstring>& args);

} // namespace elevate
