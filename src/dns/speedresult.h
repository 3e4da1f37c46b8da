// What the speed test measured and how it is shown: the figure of one server from its tries,
// the order of the entries, the text table and the JSON form. Pure; the window and the command
// line both show results through these.
#pragma once

#include "catalogue/catalogue.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dns {

enum class ServerRole { Preferred, Alternate, Preferred6, Alternate6 };
inline constexpr int kServerRoles = 4;

struct ServerResult {
    std::wstring address;          // empty: the entry has no server in this role
    std::vector<double> samplesMs; // every answered try, in order
    bool timedOut = false;         // a try went unanswered: the server was not asked again
    // The server's figure: nothing when it timed out or never answered ("no answer").
    std::optional<double> medianMs() const;
};

struct EntryResult {
    std::wstring name;
    bool finished = false; // every server of the entry was measured (false after a cancel)
    ServerResult servers[kServerRoles]; // by ServerRole
    const ServerResult& server(ServerRole role) const { return servers[static_cast<int>(role)]; }
    ServerResult& server(ServerRole role) { return servers[static_cast<int>(role)]; }
};

// The addresses to measure for an entry, by ServerRole: both halves of its pair and of its IPv6
// pair, with unset ("0.0.0.0") and missing halves left empty.
std::array<std::wstring, kServerRoles> serverAddresses(const app::CatalogueEntry& entry);

// Whether an address text is on this machine's loopback: 127.0.0.0/8 in dotted decimal, or ::1
// (written "::1" or in any longer form of it).
bool isLoopbackAddress(std::wstring_view address);

// The figure of a run of tries: the first may only have warmed the server's cache, so it is
// left out when there are more; the median of the rest (the mean of the middle two when they
// are even). Nothing for no samples.
std::optional<double> tryFigure(const std::vector<double>& samplesMs);

// Fastest first: by the preferred server's figure, then the alternate's, IPv4 before IPv6;
// "no answer" after every number; equal entries keep their catalogue order.
void sortFastestFirst(std::vector<EntryResult>& results);

// "23 ms" (whole milliseconds from 10 up, one decimal below: "0.4 ms"), or "no answer".
std::wstring figureText(std::optional<double> ms);
// A server's cell: its figure, or "" when the entry has no server there.
std::wstring serverText(const ServerResult& server);

// One line per entry in the order given, columns padded to line up: the name, the preferred
// and alternate figures, and, when any entry has IPv6 servers, the two IPv6 figures. Lines end
// with "\n".
std::wstring resultsText(const std::vector<EntryResult>& results);
// Every figure and sample as JSON (ASCII only: other characters are \u escapes); "median_ms"
// is null for "no answer"; roles an entry has no server for are left out.
std::string resultsJson(const std::vector<EntryResult>& results);

} // namespace dns
