// Figures, order and the two text forms of the speed test's results.
#include "dns/speedresult.h"
#include "toolkit/decimal.h"

#include <algorithm>
#include <cmath>

namespace dns {

namespace {

constexpr const char* kRoleNames[kServerRoles] = {"preferred", "alternate", "preferred6",
                                                  "alternate6"};

// Fewer is better; "no answer" and an absent server sort after every figure.
double sortKey(const ServerResult& server) {
    const auto figure = server.medianMs();
    return figure ? *figure : INFINITY;
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

void appendNumber(std::string& out, double value) {
    out += tk::fixed<char>(value, 3);
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

std::optional<double> ServerResult::medianMs() const {
    if (timedOut) return std::nullopt;
    return tryFigure(samplesMs);
}

std::optional<double> tryFigure(const std::vector<double>& samplesMs) {
    if (samplesMs.empty()) return std::nullopt;
    std::vector<double> rest(samplesMs.begin() + (samplesMs.size() > 1 ? 1 : 0), samplesMs.end());
    std::sort(rest.begin(), rest.end());
    const std::size_t middle = rest.size() / 2;
    return rest.size() % 2 ? rest[middle] : (rest[middle - 1] + rest[middle]) / 2;
}

void sortFastestFirst(std::vector<EntryResult>& results) {
    std::stable_sort(results.begin(), results.end(), [](const auto& a, const auto& b) {
        for (int role = 0; role < kServerRoles; ++role) {
            const double ka = sortKey(a.servers[role]), kb = sortKey(b.servers[role]);
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
    return server.address.empty() ? std::wstring() : figureText(server.medianMs());
}

std::wstring resultsText(const std::vector<EntryResult>& results) {
    const bool anyIpv6 = std::any_of(results.begin(), results.end(), [](const auto& entry) {
        return !entry.server(ServerRole::Preferred6).address.empty() ||
               !entry.server(ServerRole::Alternate6).address.empty();
    });
    const int columns = anyIpv6 ? kServerRoles : 2;
    std::vector<std::vector<std::wstring>> cells;
    std::vector<std::size_t> widths(columns + 1, 0);
    for (const auto& entry : results) {
        auto& row = cells.emplace_back();
        row.push_back(entry.name);
        for (int role = 0; role < columns; ++role)
            row.push_back(serverText(entry.servers[role]));
        for (std::size_t i = 0; i < row.size(); ++i)
            widths[i] = std::max(widths[i], row[i].size());
    }
    std::wstring out;
    for (const auto& row : cells) {
        std::wstring line = row[0] + std::wstring(widths[0] - row[0].size(), L' ');
        // Figures are right-aligned so that the "ms" line up.
        for (std::size_t i = 1; i < row.size(); ++i)
            line += L"  " + std::wstring(widths[i] - row[i].size(), L' ') + row[i];
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
        out += e ? ",\n {\"name\": " : "\n {\"name\": ";
        appendJsonString(out, entry.name);
        out += ", \"servers\": [";
        bool first = true;
        for (int role = 0; role < kServerRoles; ++role) {
            const auto& server = entry.servers[role];
            if (server.address.empty()) continue;
            out += first ? "" : ", ";
            first = false;
            out += "{\"role\": \"";
            out += kRoleNames[role];
            out += "\", \"address\": ";
            appendJsonString(out, server.address);
            out += ", \"median_ms\": ";
            if (const auto figure = server.medianMs())
                appendNumber(out, *figure);
            else
                out += "null";
            out += ", \"timed_out\": ";
            out += server.timedOut ? "true" : "false";
            out += ", \"samples_ms\": [";
            for (std::size_t i = 0; i < server.samplesMs.size(); ++i) {
                if (i) out += ", ";
                appendNumber(out, server.samplesMs[i]);
            }
            out += "]}";
        }
        out += "]}";
    }
    out += results.empty() ? "]\n" : "\n]\n";
    return out;
}

} // namespace dns
