// Figures, order, columns and the two text forms of the speed test's results.
#include "dns/speedresult.h"
#include "toolkit/json.h"

#include "dns/dnsmessage.h"
#include "toolkit/decimal.h"

#include <algorithm>
#include <cmath>

namespace dns {

namespace {

constexpr const wchar_t* kRoleNames[kServerRoles] = {L"preferred", L"alternate", L"preferred6",
                                                     L"alternate6"};

// Fewer is better; "no answer", an error and an absent server sort after every figure.
double sortKey(std::optional<double> figure) {
    return figure ? *figure : INFINITY;
}

std::optional<double> share(int answered, int asked) {
    if (asked <= 0) return std::nullopt;
    return static_cast<double>(answered) / asked;
}

std::wstring percentText(std::optional<double> share) {
    return share ? tk::fixed(*share * 100, 0) + L"%" : std::wstring();
}

std::wstring widen(const std::string& ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

// A figure to three places, or null.
void figure(tk::Json& json, const wchar_t* key, std::optional<double> value) {
    json.key(key);
    value ? json.number(*value, 3) : json.null();
}

void samples(tk::Json& json, const wchar_t* key, const std::vector<double>& values) {
    json.key(key).open(L'[');
    for (const double value : values)
        json.number(value, 3);
    json.close(L']');
}

} // namespace

std::array<std::wstring, kServerRoles> serverAddresses(const catalogue::CatalogueEntry& entry) {
    std::array<std::wstring, kServerRoles> out;
    const auto take = [](const std::optional<std::wstring>& half) {
        const std::wstring address = half ? tk::trimSpaces(*half) : std::wstring();
        return address == catalogue::kUnsetAddress ? std::wstring() : address;
    };
    const auto v4 = catalogue::splitPair(entry.pair);
    const auto v6 = catalogue::splitPair(entry.pair6);
    out[0] = take(v4.preferred);
    out[1] = take(v4.alternate);
    out[2] = take(v6.preferred);
    out[3] = take(v6.alternate);
    return out;
}

bool loopbackGuardOn(std::optional<std::wstring_view> value) {
    return value && !value->empty() && *value != L"0";
}

std::optional<double> median(std::vector<double> samplesMs) {
    if (samplesMs.empty()) return std::nullopt;
    std::sort(samplesMs.begin(), samplesMs.end());
    const std::size_t middle = samplesMs.size() / 2;
    return samplesMs.size() % 2 ? samplesMs[middle]
                                : (samplesMs[middle - 1] + samplesMs[middle]) / 2;
}

std::optional<double> ServerResult::medianMs() const {
    if (samplesMs.empty()) return warmUpMs;
    return median(samplesMs);
}

std::optional<double> ServerResult::p90Ms() const {
    if (samplesMs.empty()) return warmUpMs;
    std::vector<double> sorted = samplesMs;
    std::sort(sorted.begin(), sorted.end());
    // Nearest rank: the smallest time at or above 90% of the tries.
    const std::size_t rank = (sorted.size() * 9 + 9) / 10;
    return sorted[rank - 1];
}

std::optional<double> ServerResult::uncachedMs() const {
    return median(uncachedSamplesMs);
}

std::optional<double> ServerResult::dohMs() const {
    return median(dohSamplesMs);
}

std::optional<double> ServerResult::reliability() const {
    return share(answered, asked);
}

const ServerResult& EntryResult::lead() const {
    for (const auto& server : servers)
        if (!server.address.empty()) return server;
    return servers[0];
}

std::optional<double> EntryResult::reliability() const {
    int answered = 0, asked = 0;
    for (const auto& server : servers) {
        answered += server.answered;
        asked += server.asked;
    }
    return share(answered, asked);
}

void sortFastestFirst(std::vector<EntryResult>& results) {
    std::stable_sort(results.begin(), results.end(), [](const auto& a, const auto& b) {
        for (int role = 0; role < kServerRoles; ++role) {
            const double ka = sortKey(a.servers[role].medianMs());
            const double kb = sortKey(b.servers[role].medianMs());
            if (ka != kb) return ka < kb;
        }
        return false;
    });
}

std::wstring figureText(std::optional<double> ms) {
    if (!ms) return L"no answer";
    return tk::fixed(*ms, *ms < 9.95 ? 1 : 0) + L" ms";
}

std::wstring serverText(const ServerResult& server) {
    if (server.address.empty()) return {};
    if (const auto figure = server.medianMs()) return figureText(figure);
    if (server.errorRcode) return L"error: " + widen(rcodeName(*server.errorRcode));
    return figureText(std::nullopt);
}

std::wstring dohText(const ServerResult& server) {
    if (!server.dohAsked) return {};
    if (const auto figure = server.dohMs()) return figureText(figure);
    if (server.dohError) return L"error: " + *server.dohError;
    return figureText(std::nullopt);
}

std::vector<Column> resultColumns(bool ipv6, bool doh) {
    std::vector<Column> out{Column::Name, Column::Preferred, Column::Alternate};
    if (ipv6) out.insert(out.end(), {Column::Preferred6, Column::Alternate6});
    out.insert(out.end(), {Column::Percentile90, Column::Uncached});
    if (doh) out.push_back(Column::Doh);
    out.insert(out.end(), {Column::Reliability, Column::Notes});
    return out;
}

std::vector<Column> windowColumns(bool ipv6, bool doh) {
    std::vector<Column> out{Column::Name, Column::Preferred, Column::Alternate, Column::Reliability,
                            Column::Notes};
    for (const Column column : resultColumns(ipv6, doh))
        if (std::find(out.begin(), out.end(), column) == out.end()) out.push_back(column);
    return out;
}

bool anyIpv6(const std::vector<catalogue::CatalogueEntry>& entries) {
    return std::any_of(entries.begin(), entries.end(), [](const auto& entry) {
        const auto addresses = serverAddresses(entry);
        return !addresses[2].empty() || !addresses[3].empty();
    });
}

std::wstring columnHeading(Column column) {
    switch (column) {
    case Column::Name:
        return L"DNS server";
    case Column::Preferred:
        return L"Preferred";
    case Column::Alternate:
        return L"Alternate";
    case Column::Preferred6:
        return L"IPv6 pref.";
    case Column::Alternate6:
        return L"IPv6 alt.";
    case Column::Percentile90:
        return L"90th pct";
    case Column::Uncached:
        return L"Uncached";
    case Column::Doh:
        return L"DoH";
    case Column::Reliability:
        return L"Reliability";
    case Column::Notes:
        return L"Notes";
    }
    return {};
}

std::wstring cellText(const EntryResult& entry, Column column) {
    const ServerResult& lead = entry.lead();
    switch (column) {
    case Column::Name:
        return entry.name;
    case Column::Preferred:
    case Column::Alternate:
    case Column::Preferred6:
    case Column::Alternate6:
        return serverText(entry.servers[static_cast<int>(column) - 1]);
    case Column::Percentile90:
        return lead.address.empty() || !lead.medianMs() ? std::wstring() : figureText(lead.p90Ms());
    case Column::Uncached:
        if (lead.address.empty() || lead.asked == 0) return {};
        if (const auto figure = lead.uncachedMs()) return figureText(figure);
        return lead.errorRcode ? L"error: " + widen(rcodeName(*lead.errorRcode))
                               : figureText(std::nullopt);
    case Column::Doh:
        for (const auto& server : entry.servers)
            if (server.dohAsked) return dohText(server);
        return {};
    case Column::Reliability:
        return percentText(entry.reliability());
    case Column::Notes:
        for (const auto& server : entry.servers)
            if (server.redirects) return L"redirects unknown names";
        return {};
    }
    return {};
}

std::optional<double> sortFigure(const EntryResult& entry, Column column) {
    switch (column) {
    case Column::Preferred:
    case Column::Alternate:
    case Column::Preferred6:
    case Column::Alternate6:
        return entry.servers[static_cast<int>(column) - 1].medianMs();
    case Column::Percentile90:
        return entry.lead().medianMs() ? entry.lead().p90Ms() : std::nullopt;
    case Column::Uncached:
        return entry.lead().uncachedMs();
    case Column::Doh:
        for (const auto& server : entry.servers)
            if (server.dohAsked) return server.dohMs();
        return std::nullopt;
    case Column::Reliability:
        if (const auto r = entry.reliability()) return 1 - *r;
        return std::nullopt;
    default:
        return std::nullopt;
    }
}

std::wstring resultsText(const std::vector<EntryResult>& results) {
    const bool ipv6 = std::any_of(results.begin(), results.end(), [](const auto& entry) {
        return !entry.server(ServerRole::Preferred6).address.empty() ||
               !entry.server(ServerRole::Alternate6).address.empty();
    });
    const bool doh = std::any_of(results.begin(), results.end(), [](const auto& entry) {
        return std::any_of(std::begin(entry.servers), std::end(entry.servers),
                           [](const ServerResult& server) { return server.dohAsked; });
    });
    const auto columns = resultColumns(ipv6, doh);
    std::vector<std::vector<std::wstring>> cells;
    std::vector<std::size_t> widths(columns.size(), 0);
    auto& headings = cells.emplace_back();
    for (Column column : columns)
        headings.push_back(columnHeading(column));
    for (const auto& entry : results) {
        auto& row = cells.emplace_back();
        for (Column column : columns)
            row.push_back(cellText(entry, column));
    }
    for (const auto& row : cells)
        for (std::size_t i = 0; i < row.size(); ++i)
            widths[i] = std::max(widths[i], row[i].size());
    std::wstring out;
    for (const auto& row : cells) {
        std::wstring line;
        for (std::size_t i = 0; i < row.size(); ++i) {
            const std::wstring pad(widths[i] - row[i].size(), L' ');
            if (i) line += L"  ";
            // Figures are right-aligned so that the "ms" line up; text is left-aligned.
            const bool text = columns[i] == Column::Name || columns[i] == Column::Notes;
            line += text ? row[i] + pad : pad + row[i];
        }
        while (!line.empty() && line.back() == L' ')
            line.pop_back();
        out += line + L"\n";
    }
    return out;
}

std::wstring resultsJson(const std::vector<EntryResult>& results) {
    tk::Json json;
    json.open(L'[');
    for (const auto& entry : results) {
        json.open(L'{').key(L"name").string(entry.name).key(L"finished").boolean(entry.finished);
        figure(json, L"reliability", entry.reliability());
        json.key(L"servers").open(L'[');
        for (int role = 0; role < kServerRoles; ++role) {
            const auto& server = entry.servers[role];
            if (server.address.empty()) continue;
            json.open(L'{').key(L"role").string(kRoleNames[role]);
            json.key(L"address").string(server.address);
            figure(json, L"medianMs", server.medianMs());
            figure(json, L"p90Ms", server.medianMs() ? server.p90Ms() : std::nullopt);
            figure(json, L"uncachedMs", server.uncachedMs());
            figure(json, L"dohMs", server.dohMs());
            json.key(L"dohError");
            server.dohError && !server.dohMs() ? json.string(*server.dohError) : json.null();
            figure(json, L"reliability", server.reliability());
            json.key(L"asked").number(static_cast<long long>(server.asked));
            json.key(L"answered").number(static_cast<long long>(server.answered));
            json.key(L"timedOut").boolean(server.timedOut).key(L"error");
            server.errorRcode ? json.string(widen(rcodeName(*server.errorRcode))) : json.null();
            json.key(L"redirectsUnknownNames").boolean(server.redirects);
            figure(json, L"warmUpMs", server.warmUpMs);
            samples(json, L"samplesMs", server.samplesMs);
            samples(json, L"uncachedSamplesMs", server.uncachedSamplesMs);
            samples(json, L"dohSamplesMs", server.dohSamplesMs);
            json.close(L'}');
        }
        json.close(L']').close(L'}');
    }
    return json.close(L']').text();
}

} // namespace dns
