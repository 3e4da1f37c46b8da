// What the speed test measured and how it is shown: the figures of one server from its queries,
// the order of the entries, the columns of the window and the table, and the JSON form. Pure;
// the window and the command line both show results through these.
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
    std::wstring address; // empty: the entry has no server in this role
    // The popular name: the first try only warms the cache and is kept apart; then every
    // answered try, in order.
    std::optional<double> warmUpMs;
    std::vector<double> samplesMs;
    // A fresh name under the uncached zone each try: every answered try, in order.
    std::vector<double> uncachedSamplesMs;
    int asked = 0;         // queries sent
    int answered = 0;      // replies with NOERROR or NXDOMAIN; error replies and silence are not
    bool timedOut = false; // some query went unanswered
    std::optional<int> errorRcode; // the first error reply's code (REFUSED, SERVFAIL, ...)
    bool redirects = false;        // gave an address for a name that does not exist
    // The popular name over DNS over HTTPS, each round, for the server an entry's template is
    // timed for (dohquery.h): every answered try, and the first error.
    bool dohAsked = false;
    std::vector<double> dohSamplesMs;
    std::optional<std::wstring> dohError;

    // The cached figure: the median of the tries after the warm-up (the warm-up itself when it
    // is the only one); nothing when none was answered ("no answer" or the error).
    std::optional<double> medianMs() const;
    // The 90th percentile of the same tries (nearest rank).
    std::optional<double> p90Ms() const;
    // The median of the fresh names' times.
    std::optional<double> uncachedMs() const;
    // The median of the DoH times.
    std::optional<double> dohMs() const;
    // answered / asked; nothing when nothing was asked.
    std::optional<double> reliability() const;
};

struct EntryResult {
    std::wstring name;
    bool finished = false; // every server of the entry was measured (false after a cancel)
    ServerResult servers[kServerRoles]; // by ServerRole
    const ServerResult& server(ServerRole role) const { return servers[static_cast<int>(role)]; }
    ServerResult& server(ServerRole role) { return servers[static_cast<int>(role)]; }
    // The server the entry is used through first: the preferred one, or the first it has.
    const ServerResult& lead() const;
    // The share of all its servers' queries answered.
    std::optional<double> reliability() const;
};

// The addresses to measure for an entry, by ServerRole: both halves of its pair and of its IPv6
// pair, with unset ("0.0.0.0") and missing halves left empty.
std::array<std::wstring, kServerRoles> serverAddresses(const catalogue::CatalogueEntry& entry);

// The loopback guard of the test machines from the value of KELDRAST_LOOPBACK_ONLY (nothing:
// not set). It fails closed: any value but "" and "0" turns it on.
bool loopbackGuardOn(std::optional<std::wstring_view> value);

// The median of some times; nothing for none.
std::optional<double> median(std::vector<double> samplesMs);

// Fastest first: by the preferred server's cached figure, then the alternate's, IPv4 before
// IPv6; "no answer" and error replies after every number; equal entries keep their order.
void sortFastestFirst(std::vector<EntryResult>& results);

// "23 ms" (whole milliseconds from 10 up, one decimal below: "0.4 ms"), or "no answer".
std::wstring figureText(std::optional<double> ms);
// A server's cached figure: the time, "error: REFUSED", "no answer", or "" when the entry has
// no server there.
std::wstring serverText(const ServerResult& server);
// A server's DoH figure: the time, "error: HTTP 500" and the like, "no answer", or "" when it
// was not asked over DoH.
std::wstring dohText(const ServerResult& server);

// The columns of the window and the table.
enum class Column {
    Name,
    Preferred,
    Alternate,
    Preferred6,
    Alternate6,
    Percentile90, // the lead server's
    Uncached,     // the lead server's
    Doh,          // the DoH figure of the server the entry's template is timed for
    Reliability,  // all the entry's servers
    Notes,
};
// The columns shown: the IPv6 pair's only when some entry has one, DoH's only when some entry
// is asked over DoH.
std::vector<Column> resultColumns(bool anyIpv6, bool anyDoh = false);
// The same columns in the window's order: what a user picks by (the name, the IPv4 figures,
// the reliability and the notes) first, so they stay in view; the IPv6 and detail figures
// after them.
std::vector<Column> windowColumns(bool anyIpv6, bool anyDoh = false);
bool anyIpv6(const std::vector<catalogue::CatalogueEntry>& entries);
std::wstring columnHeading(Column column);
std::wstring cellText(const EntryResult& entry, Column column);
// For sorting by a figure column, best first: smaller is better; nothing sorts last. Nothing
// for the name and notes columns.
std::optional<double> sortFigure(const EntryResult& entry, Column column);

// A heading line, then one line per entry in the order given, columns padded to line up
// (figures right-aligned). Lines end with "\n".
std::wstring resultsText(const std::vector<EntryResult>& results);
// Every figure and sample as one line of JSON (ASCII only: other characters are \u escapes);
// figures are null when there is none; roles an entry has no server for are left out.
std::wstring resultsJson(const std::vector<EntryResult>& results);

} // namespace dns
