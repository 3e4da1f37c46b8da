// Figures, order, columns and the two text forms of the speed test's results.
#include "dns/speedresult.h"

#include "dns/dnsmessage.h"
#include "toolkit/decimal.h"

#include <algorithm>
#include <cmath>

namespace dns {

namespace {

constexpr const char* kRoleNames[kServerRoles] = {"preferred", "alternate", "preferred6",
                                                  "alternate6"};

// Fewer is better; "no answer", an error and an absent server sort after every figure.
void appendNumber(std::string& out, double value) {
    out += tk::fixed<char>(value, 3);
}

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

void appendFigure(std::string& out, const char* key, std::optional<double> value) {
    out += ",\"";
    out += key;
    out += "\":";
    if (value)
        appendNumber(out, *value);
    else
        out += "null";
}

void appendSamples(std::string& out, const char* key, const std::vector<double>& samples) {
    out += ",\"";
    out += key;
    out += "\":[";
    for (std::size_t i = 0; i < samples.size(); ++i) {
        if (i) out += ",";
        appendNumber(out, samples[i]);
    }
    out += "]";
}

void appendJsonString(std::string& out, std::wstring_view text) {
    out.push_back('"');
    for (wchar_t c : text) {
        if (c == L'"' || c == L'\\') {
            out.push_back('\\');
            out.push_back(static_cast<char>(c));
        } else if (c >= 0x20 && c < 0x7F) {
            out.push_back(static_cast<char>(c));
        } else {
            static constexpr char kHex[] = "0123456789abcdef";
            const auto unit = static_cast<unsigned>(c) & 0xFFFF;
            out += "\\u";
            for (int shift = 12; shift >= 0; shift -= 4)
                out.push_back(kHex[(unit >> shift) & 0xF]);
        }
    }
    out.push_back('"');
}

} // namespace

std::array<std::wstring, kServerRoles> serverAddresses(const app::CatalogueEntry& entry) {
    std::array<std::wstring, kServerRoles> out;
    const auto take = [](const std::optional<std::wstring>& half) {
        const std::wstring address = half ? tk::trimSpaces(*half) : std::wstring();
        return address == app::kUnsetAddress ? std::wstring() : address;
    };
    const auto v4 = app::splitPair(entry.pair);
    const auto v6 = app::splitPair(entry.pair6);
    out[0] = take(v4.preferred);
    out[1] = take(v4.alternate);
    out[2] = take(v6.preferred);
    out[3] = take(v6.alternate);
    return out;
}

bool isLoopbackAddress(std::wstring_view address) {
    // IPv4: four decimal parts of at most three digits, the first 127, each at most 255.
    int parts = 0, value = -1, first = -1;
    bool ipv4 = !address.empty();
    for (std::size_t i = 0; i <= address.size() && ipv4; ++i) {
        const wchar_t c = i < address.size() ? address[i] : L'.';
        if (c >= L'0' && c <= L'9') {
            value = (value < 0 ? 0 : value) * 10 + (c - L'0');
            ipv4 = value <= 255;
        } else if (c == L'.' && value >= 0) {
            if (parts++ == 0) first = value;
            value = -1;
        } else {
            ipv4 = false;
        }
    }
    if (ipv4) return parts == 4 && first == 127;
    // IPv6: groups of hexadecimal digits, all zero but a last 1, with at most one "::".
    std::vector<unsigned> groups;
    std::size_t elided = std::wstring_view::npos;
    std::size_t i = 0;
    if (address.starts_with(L"::")) {
        elided = 0;
        i = 2;
    }
    while (i < address.size()) {
        unsigned group = 0;
        std::size_t digits = 0;
        for (; i < address.size() && digits < 5; ++i, ++digits) {
            const wchar_t c = address[i];
            const int d = c >= L'0' && c <= L'9'   ? c - L'0'
                          : c >= L'a' && c <= L'f' ? c - L'a' + 10
                          : c >= L'A' && c <= L'F' ? c - L'A' + 10
                                                   : -1;
            if (d < 0) break;
            group = group * 16 + static_cast<unsigned>(d);
        }
        if (digits == 0 || digits > 4) return false;
        groups.push_back(group);
        if (i == address.size()) break;
        if (address[i] != L':') return false;
        ++i;
        if (i < address.size() && address[i] == L':') {
            if (elided != std::wstring_view::npos) return false;
            elided = groups.size();
            ++i;
        } else if (i == address.size()) {
            return false;
        }
    }
    if (groups.size() > 8 || (elided == std::wstring_view::npos && groups.size() != 8) ||
        (elided != std::wstring_view::npos && groups.size() == 8))
        return false;
    const bool endsInOne = !groups.empty() && groups.back() == 1 &&
                           (elided == std::wstring_view::npos || elided < groups.size());
    return endsInOne &&
           std::all_of(groups.begin(), groups.end() - 1, [](unsigned g) { return g == 0; });
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

std::vector<Column> resultColumns(bool ipv6) {
    std::vector<Column> out{Column::Name, Column::Preferred, Column::Alternate};
    if (ipv6) out.insert(out.end(), {Column::Preferred6, Column::Alternate6});
    out.insert(out.end(),
               {Column::Percentile90, Column::Uncached, Column::Reliability, Column::Notes});
    return out;
}

bool anyIpv6(const std::vector<app::CatalogueEntry>& entries) {
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
    const auto columns = resultColumns(ipv6);
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

std::string resultsJson(const std::vector<EntryResult>& results) {
    std::string out = "[";
    for (std::size_t e = 0; e < results.size(); ++e) {
        const auto& entry = results[e];
        out += e ? ",{\"name\":" : "{\"name\":";
        appendJsonString(out, entry.name);
        out += entry.finished ? ",\"finished\":true" : ",\"finished\":false";
        appendFigure(out, "reliability", entry.reliability());
        out += ",\"servers\":[";
        bool first = true;
        for (int role = 0; role < kServerRoles; ++role) {
            const auto& server = entry.servers[role];
            if (server.address.empty()) continue;
            out += first ? "{\"role\":\"" : ",{\"role\":\"";
            first = false;
            out += kRoleNames[role];
            out += "\",\"address\":";
            appendJsonString(out, server.address);
            appendFigure(out, "medianMs", server.medianMs());
            appendFigure(out, "p90Ms", server.medianMs() ? server.p90Ms() : std::nullopt);
            appendFigure(out, "uncachedMs", server.uncachedMs());
            appendFigure(out, "reliability", server.reliability());
            out += ",\"asked\":" + std::to_string(server.asked);
            out += ",\"answered\":" + std::to_string(server.answered);
            out += server.timedOut ? ",\"timedOut\":true" : ",\"timedOut\":false";
            out += ",\"error\":";
            if (server.errorRcode)
                out += "\"" + rcodeName(*server.errorRcode) + "\"";
            else
                out += "null";
            out += server.redirects ? ",\"redirectsUnknownNames\":true"
                                    : ",\"redirectsUnknownNames\":false";
            appendFigure(out, "warmUpMs", server.warmUpMs);
            appendSamples(out, "samplesMs", server.samplesMs);
            appendSamples(out, "uncachedSamplesMs", server.uncachedSamplesMs);
            out += "}";
        }
        out += "]}";
    }
    out += "]\n";
    return out;
}

} // namespace dns
