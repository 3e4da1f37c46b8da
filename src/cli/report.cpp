#include "cli/report.h"

#include <algorithm>
#include <cwctype>

#include "dns/nameserver_state.h"
#include "toolkit/decimal.h"

namespace cli {

namespace {

std::wstring lowerTrimmed(std::wstring_view text) {
    std::wstring out = tk::trimSpaces(text);
    for (auto& c : out)
        c = static_cast<wchar_t>(std::towlower(c));
    return out;
}

std::wstring joined(const std::vector<std::wstring>& items, std::wstring_view separator) {
    std::wstring out;
    for (const auto& item : items) {
        if (!out.empty()) out += separator;
        out += item;
    }
    return out;
}

// "8.8.8.8, 8.8.4.4", or what an empty list means.
std::wstring serversText(std::wstring_view list, std::wstring_view whenEmpty = L"automatic") {
    const auto servers = app::serverList(list);
    return servers.empty() ? std::wstring(whenEmpty) : joined(servers, L", ");
}

std::wstring jsonArray(const std::vector<std::wstring>& items) {
    std::wstring out = L"[";
    for (const auto& item : items) {
        if (out.size() > 1) out += L',';
        out += jsonString(item);
    }
    return out + L"]";
}
std::wstring jsonServers(std::wstring_view list) {
    return jsonArray(app::serverList(list));
}

std::wstring adapterLine(std::size_t index, std::wstring_view description,
                         std::wstring_view service) {
    return tk::decimal(index + 1) + L". " + std::wstring(description) + L"  " +
           std::wstring(service);
}

std::wstring adapterChoices(const std::vector<AdapterView>& adapters) {
    std::wstring out;
    for (std::size_t i = 0; i < adapters.size(); ++i)
        out += L"\n  " + adapterLine(i, adapters[i].description, adapters[i].service);
    return out;
}

std::wstring controlSets(const app::ControlSetWrites& written, bool which) {
    std::vector<std::wstring> names;
    for (std::size_t i = 0; i < written.size(); ++i)
        if (written[i] == which) names.emplace_back(app::controlSetName(i));
    return names.empty() ? L"none" : joined(names, L", ");
}

std::vector<std::wstring> appliedServers(const ChangeResult& change) {
    auto applied = app::serverList(change.servers);
    for (auto& server : app::serverList(change.servers6))
        applied.push_back(std::move(server));
    return applied;
}

constexpr std::wstring_view kRunAsAdministrator = L"Run Keldrast as administrator and try again.";

} // namespace

std::string toUtf8(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = static_cast<char32_t>(text[i]);
        if (sizeof(wchar_t) == 2 && c >= 0xD800 && c <= 0xDFFF) {
            const bool pair =
                c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
            c = pair ? 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00) : 0xFFFD;
        } else if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | c >> 6);
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | c >> 12);
            out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | c >> 18);
            out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
            out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::wstring fromUtf8(std::string_view bytes) {
    std::wstring out;
    for (std::size_t i = 0; i < bytes.size();) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        const int extra = b < 0x80   ? 0
                          : b < 0xC2 ? -1
                          : b < 0xE0 ? 1
                          : b < 0xF0 ? 2
                          : b < 0xF5 ? 3
                                     : -1;
        char32_t c = extra == 0 ? b : extra == 1 ? b & 0x1F : extra == 2 ? b & 0x0F : b & 0x07;
        bool ok = extra >= 0 && i + extra < bytes.size() + (extra == 0);
        for (int k = 1; ok && k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + k]);
            ok = (next & 0xC0) == 0x80;
            c = c << 6 | (next & 0x3F);
        }
        constexpr char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
        if (!ok || c < kMin[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            out += static_cast<wchar_t>(0xFFFD);
            ++i;
            continue;
        }
        i += 1 + extra;
        if (sizeof(wchar_t) == 2 && c >= 0x10000) {
            out += static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
            out += static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out += static_cast<wchar_t>(c);
        }
    }
    return out;
}

std::wstring jsonString(std::wstring_view text) {
    static constexpr wchar_t kHex[] = L"0123456789abcdef";
    std::wstring out = L"\"";
    for (std::size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        const auto u = static_cast<char32_t>(c);
        const bool high = u >= 0xD800 && u < 0xDC00, low = u >= 0xDC00 && u <= 0xDFFF;
        const bool pairedHigh = high && i + 1 < text.size() &&
                                static_cast<char32_t>(text[i + 1]) >= 0xDC00 &&
                                static_cast<char32_t>(text[i + 1]) <= 0xDFFF;
        if (c == L'"' || c == L'\\') {
            out += L'\\';
            out += c;
        } else if (c == L'\n') {
            out += L"\\n";
        } else if (c == L'\r') {
            out += L"\\r";
        } else if (c == L'\t') {
            out += L"\\t";
        } else if (u < 0x20 || (high && !pairedHigh) || low) {
            // Control characters and lone surrogates: escaped, so the document stays valid.
            out += L"\\u";
            for (int shift = 12; shift >= 0; shift -= 4)
                out += kHex[(u >> shift) & 0xF];
        } else {
            out += c;
            if (pairedHigh) out += text[++i];
        }
    }
    return out + L"\"";
}

std::wstring usageText() {
    return L"Keldrast: sets the DNS servers of a network adapter.\n"
           L"\n"
           L"  keldrast                       opens the window\n"
           L"  keldrast /window               opens the window without asking for elevation\n"
           L"  keldrast /list                 adapters and their DNS servers\n"
           L"  keldrast /catalogue            the catalogue's entries and their servers\n"
           L"  keldrast /set NAME [/adapter A]\n"
           L"                                 applies catalogue entry NAME\n"
           L"  keldrast /custom P [A] [/v6 P6 [A6]] [/adapter A]\n"
           L"                                 applies typed servers (IPv4, and IPv6 after /v6)\n"
           L"  keldrast /default [/adapter A] back to automatic servers (DHCP), both families\n"
           L"  keldrast /restore [/adapter A] puts back the servers from before Keldrast changed "
           L"them\n"
           L"  keldrast /flush                empties the DNS resolver cache\n"
           L"  keldrast /test [/tries N] [/timeout MS] [/port N]\n"
           L"                                 measures the catalogue's servers, fastest first\n"
           L"  keldrast /version              the version and the settings file in use\n"
           L"  keldrast /?, /help             this text\n"
           L"\n"
           L"A is an adapter's description, its GUID, or its number in /list; it may be left out\n"
           L"when there is only one adapter. /json after a command prints one JSON document.\n"
           L"\n"
           L"Exit codes: 0 done (or saved, taking effect when the adapter reconnects),\n"
           L"1 bad arguments, 2 unknown adapter or entry, 3 not administrator (elevation\n"
           L"declined), 4 nothing written, 5 saved but other servers in use, 6 partly written.\n";
}

std::wstring versionText(std::wstring_view version, std::wstring_view settingsFile,
                         app::SettingsPlace place) {
    const wchar_t* why = L"beside the program";
    switch (place) {
    case app::SettingsPlace::ExistingFile:
        why = L"beside the program, where it was found";
        break;
    case app::SettingsPlace::ProgramFolder:
        break;
    case app::SettingsPlace::PackageManager:
        why = L"in your profile: a package manager replaces the program's folder on upgrade";
        break;
    case app::SettingsPlace::FolderNotWritable:
        why = L"in your profile: the program's folder cannot be written";
        break;
    }
    return L"Keldrast " + std::wstring(version) + L"\nSettings file: " +
           std::wstring(settingsFile) + L"\n  (" + why + L")\n";
}

std::wstring versionJson(std::wstring_view version, std::wstring_view settingsFile,
                         app::SettingsPlace place) {
    return L"{\"program\":\"Keldrast\",\"version\":" + jsonString(version) + L",\"settingsFile\":" +
           jsonString(settingsFile) + L",\"settingsPlace\":" +
           jsonString(app::settingsPlaceName(place)) + L"}";
}

std::wstring listText(const std::vector<AdapterView>& adapters) {
    if (adapters.empty()) return L"No network adapters found.\n";
    std::wstring out;
    for (std::size_t i = 0; i < adapters.size(); ++i) {
        const auto& a = adapters[i];
        const auto& c = a.current;
        out += adapterLine(i, a.description, a.service) + L"\n";
        out += L"   IPv4 static: " + serversText(c.static4.value_or(L"")) + L"\n";
        out += L"   IPv6 static: " + serversText(c.static6.value_or(L"")) + L"\n";
        out += L"   From DHCP:   " +
               serversText(c.dhcp4.value_or(L"") + L"," + c.dhcp6.value_or(L""), L"none") + L"\n";
        out +=
            L"   In use:      " +
            (c.inUse ? (c.inUse->empty() ? L"none" : joined(*c.inUse, L", ")) : L"not reported") +
            L"\n";
    }
    return out;
}

std::wstring listJson(const std::vector<AdapterView>& adapters) {
    std::wstring out = L"{\"adapters\":[";
    for (std::size_t i = 0; i < adapters.size(); ++i) {
        const auto& a = adapters[i];
        const auto& c = a.current;
        if (i) out += L',';
        out += L"{\"index\":" + tk::decimal(i + 1) + L",\"description\":" +
               jsonString(a.description) + L",\"guid\":" + jsonString(a.service) +
               L",\"static\":{\"ipv4\":" + jsonServers(c.static4.value_or(L"")) + L",\"ipv6\":" +
               jsonServers(c.static6.value_or(L"")) + L"}" + L",\"dhcp\":{\"ipv4\":" +
               jsonServers(c.dhcp4.value_or(L"")) + L",\"ipv6\":" +
               jsonServers(c.dhcp6.value_or(L"")) + L"}" + L",\"inUse\":" +
               (c.inUse ? jsonArray(*c.inUse) : L"null") + L"}";
    }
    return out + L"]}";
}

std::wstring catalogueText(const std::vector<app::CatalogueEntry>& entries) {
    if (entries.empty()) return L"The catalogue is empty.\n";
    std::size_t width = 0;
    for (const auto& e : entries)
        width = std::max(width, e.name.size());
    std::wstring out;
    for (const auto& e : entries)
        out += e.name + std::wstring(width - e.name.size() + 2, L' ') +
               serversText(e.pair, L"(no servers)") +
               (e.pair6.empty() ? L"" : L"; " + serversText(e.pair6)) + L"\n";
    return out;
}

std::wstring catalogueJson(const std::vector<app::CatalogueEntry>& entries) {
    std::wstring out = L"{\"catalogue\":[";
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (i) out += L',';
        out += L"{\"name\":" + jsonString(entries[i].name) + L",\"ipv4\":" +
               jsonServers(entries[i].pair) + L",\"ipv6\":" + jsonServers(entries[i].pair6) + L"}";
    }
    return out + L"]}";
}

AdapterChoice chooseAdapter(const std::vector<AdapterView>& adapters,
                            const std::optional<std::wstring>& wanted) {
    AdapterChoice choice;
    const std::wstring choices =
        adapters.empty() ? L"" : L" The adapters are:" + adapterChoices(adapters);
    if (adapters.empty()) return {std::nullopt, kUnknownTarget, L"No network adapters found."};
    if (!wanted) {
        if (adapters.size() == 1) return {0, kDone, {}};
        return {std::nullopt, kBadArguments,
                L"There is more than one adapter: name one with /adapter." + choices};
    }
    const std::wstring key = lowerTrimmed(*wanted);
    if (!key.empty() &&
        std::all_of(key.begin(), key.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; })) {
        const std::size_t position = key.size() > 6 ? 0 : std::stoul(key);
        if (position >= 1 && position <= adapters.size()) return {position - 1, kDone, {}};
        return {std::nullopt, kUnknownTarget,
                L"There is no adapter number " + *wanted + L"." + choices};
    }
    std::vector<std::size_t> matches;
    for (std::size_t i = 0; i < adapters.size(); ++i)
        if (lowerTrimmed(adapters[i].service) == key) matches.push_back(i);
    if (matches.empty())
        for (std::size_t i = 0; i < adapters.size(); ++i)
            if (lowerTrimmed(adapters[i].description) == key) matches.push_back(i);
    if (matches.size() == 1) return {matches[0], kDone, {}};
    if (matches.empty())
        return {std::nullopt, kUnknownTarget, L"No adapter is called " + *wanted + L"." + choices};
    return {std::nullopt, kUnknownTarget,
            L"More than one adapter is called " + *wanted + L": name it by number or GUID." +
                choices};
}

std::optional<std::size_t> findEntry(const std::vector<app::CatalogueEntry>& entries,
                                     std::wstring_view name, const app::CaseFold& fold) {
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (tk::trimSpaces(entries[i].name) == tk::trimSpaces(name)) return i;
    const std::wstring folded = fold(tk::trimSpaces(name));
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (fold(tk::trimSpaces(entries[i].name)) == folded) return i;
    return std::nullopt;
}

Verdict judge(const ChangeResult& change) {
    using enum app::InterfaceDnsResult;
    if (!change.validService)
        return {kNotWritten, L"not-written", app::invalidAdapterMessage(change.service)};
    const auto count = std::count(change.written.begin(), change.written.end(), true);
    if (count == 0)
        return {kNotWritten, L"not-written",
                L"Nothing was written. " + std::wstring(kRunAsAdministrator)};
    if (count < static_cast<long>(change.written.size()))
        return {kPartlyWritten, L"partly-written",
                L"Partly written: written to " + controlSets(change.written, true) +
                    L"; not written to " + controlSets(change.written, false) + L". " +
                    std::wstring(kRunAsAdministrator)};
    if (change.live == Failed)
        return {kOtherServersInUse, L"other-servers-in-use",
                L"Saved, but the adapter refused the change for now; it takes effect when the "
                L"adapter reconnects."};
    if (change.live == NotAvailable)
        return {kDone, L"saved", L"Saved. It takes effect when the adapter reconnects."};
    switch (app::readBack(appliedServers(change), change.inUse)) {
    case app::ReadBack::NotReported:
        return {kDone, L"saved",
                L"Saved and handed to the adapter; the servers in use could not be read back."};
    case app::ReadBack::Differs:
        return {kOtherServersInUse, L"other-servers-in-use",
                L"Saved, but the adapter uses other servers: " +
                    (change.inUse->empty() ? L"none" : joined(*change.inUse, L", ")) + L"."};
    case app::ReadBack::AsApplied:
        break;
    }
    return {kDone, L"applied", L"Done: the adapter uses them now."};
}

std::wstring changeText(const ChangeResult& change, const Verdict& verdict) {
    std::wstring what;
    switch (change.verb) {
    case Verb::Set:
        what = change.entry;
        break;
    case Verb::Custom:
        what = std::wstring(app::kCustomAppliedName);
        break;
    case Verb::Default:
        what = L"Default (automatic)";
        break;
    default:
        what = L"Restore";
        break;
    }
    return what + L" -> " + adapterLine(change.adapterIndex, change.adapter, change.service) +
           L"\n   IPv4: " + serversText(change.servers) + L"\n   IPv6: " +
           serversText(change.servers6) + L"\n" + verdict.message + L"\n";
}

std::wstring changeJson(const ChangeResult& change, const Verdict& verdict) {
    std::wstring written;
    for (std::size_t i = 0; i < change.written.size(); ++i)
        written += (i ? L"," : L"") + jsonString(app::controlSetName(i)) + L":" +
                   (change.written[i] ? L"true" : L"false");
    const wchar_t* live = change.live == app::InterfaceDnsResult::Applied  ? L"applied"
                          : change.live == app::InterfaceDnsResult::Failed ? L"failed"
                                                                           : L"not-available";
    return L"{\"command\":" + jsonString(verbName(change.verb)) + L",\"exitCode\":" +
           tk::decimal(verdict.exitCode) + L",\"result\":" + jsonString(verdict.result) +
           L",\"adapter\":{\"index\":" + tk::decimal(change.adapterIndex + 1) +
           L",\"description\":" + jsonString(change.adapter) + L",\"guid\":" +
           jsonString(change.service) + L"}" +
           (change.verb == Verb::Set ? L",\"entry\":" + jsonString(change.entry) : L"") +
           L",\"ipv4\":" + jsonServers(change.servers) + L",\"ipv6\":" +
           jsonServers(change.servers6) + L",\"written\":{" + written + L"},\"live\":\"" + live +
           L"\"" + L",\"inUse\":" + (change.inUse ? jsonArray(*change.inUse) : L"null") +
           L",\"message\":" + jsonString(verdict.message) + L"}";
}

std::string encodeChannel(const Printed& printed) {
    const std::string out = toUtf8(printed.out), err = toUtf8(printed.err);
    return std::to_string(out.size()) + " " + std::to_string(err.size()) + "\n" + out + err;
}

std::optional<Printed> decodeChannel(std::string_view bytes) {
    const auto space = bytes.find(' '), newline = bytes.find('\n');
    if (space == bytes.npos || newline == bytes.npos || space > newline) return std::nullopt;
    auto number = [](std::string_view digits) -> std::optional<std::size_t> {
        if (digits.empty() || digits.size() > 9) return std::nullopt;
        std::size_t value = 0;
        for (char c : digits) {
            if (c < '0' || c > '9') return std::nullopt;
            value = value * 10 + static_cast<std::size_t>(c - '0');
        }
        return value;
    };
    const auto outSize = number(bytes.substr(0, space));
    const auto errSize = number(bytes.substr(space + 1, newline - space - 1));
    const auto body = bytes.substr(newline + 1);
    if (!outSize || !errSize || body.size() != *outSize + *errSize) return std::nullopt;
    return Printed{fromUtf8(body.substr(0, *outSize)), fromUtf8(body.substr(*outSize))};
}

std::wstring errorJson(std::wstring_view command, int exitCode, std::wstring_view message) {
    return L"{\"command\":" + (command.empty() ? L"null" : jsonString(command)) +
           L",\"exitCode\":" + tk::decimal(exitCode) + L",\"result\":\"error\",\"message\":" +
           jsonString(message) + L"}";
}

} // namespace cli
