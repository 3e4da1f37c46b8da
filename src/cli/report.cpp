#include "cli/report.h"
#include "toolkit/trim.h"

#include <algorithm>
#include <iterator>

#include "dns/address.h"
#include "toolkit/decimal.h"

namespace cli {

namespace {

std::wstring lowerTrimmed(std::wstring_view text) {
    return tk::foldAscii(tk::trimSpaces(text));
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

std::wstring serversOf(std::wstring_view list) {
    return dns::serversText(dns::serverList(list));
}

std::wstring_view kindCode(dns::AdapterKind kind) {
    switch (kind) {
    case dns::AdapterKind::Ethernet:
        return L"ethernet";
    case dns::AdapterKind::WiFi:
        return L"wifi";
    case dns::AdapterKind::Virtual:
        return L"virtual";
    case dns::AdapterKind::Tunnel:
        return L"tunnel";
    case dns::AdapterKind::Loopback:
        return L"loopback";
    case dns::AdapterKind::Other:
        break;
    }
    return L"other";
}

void warningsJson(tk::Json& j, const std::vector<dns::Warning>& warnings) {
    j.key(L"warnings").open(L'[');
    for (const auto& w : warnings)
        j.open(L'{').key(L"code").string(w.code).key(L"message").string(warningText(w)).close(L'}');
    j.close(L']');
}

// The change document's members, without its braces.
void changeMembers(tk::Json& j, const ChangeReport& report, std::wstring_view message);

std::wstring_view dohResultName(dns::DohResult result) {
    using enum dns::DohResult;
    switch (result) {
    case Encrypted:
        return L"encrypted";
    case OnReconnect:
        return L"on-reconnect";
    case Deferred:
        return L"deferred";
    case NoTemplate:
        return L"no-template";
    case Off:
        return L"off";
    case NotOffered:
        return L"not-offered";
    case Forbidden:
        return L"forbidden";
    case NotWritten:
        return L"not-written";
    case NotAsked:
        break;
    }
    return L"not-asked";
}

std::wstring_view dohPolicyName(dns::DohPolicy policy) {
    switch (policy) {
    case dns::DohPolicy::Forbidden:
        return L"forbidden";
    case dns::DohPolicy::Allowed:
        return L"allowed";
    case dns::DohPolicy::Required:
        return L"required";
    case dns::DohPolicy::NotConfigured:
        break;
    }
    return L"not-configured";
}

// Each server's DoH settings: its address, template and flags (null when absent).
void dohServersJson(tk::Json& j, const std::vector<dns::DohServer>& servers) {
    j.open(L'[');
    for (const auto& server : servers) {
        j.open(L'{').key(L"address").string(server.address).key(L"template");
        server.url ? j.string(*server.url) : j.null();
        j.key(L"flags");
        server.flags ? j.number(static_cast<long long>(*server.flags)) : j.null();
        j.close(L'}');
    }
    j.close(L']');
}

} // namespace

std::wstring usageText() {
    return L"Keldrast: sets the DNS servers of a network adapter.\n"
           L"\n"
           L"  keldrast                       opens the window\n"
           L"  keldrast /window               opens the window without asking for elevation\n"
           L"  keldrast /tray                 stays in the notification area, for changes in a "
           L"click\n"
           L"  keldrast /list                 adapters and their DNS servers\n"
           L"  keldrast /catalogue [/add-known]\n"
           L"                                 the catalogue's entries and their servers;\n"
           L"                                 /add-known adds well-known encrypted entries\n"
           L"  keldrast /set NAME [/adapter ADAPTER] [/doh off|on|only] [/force]\n"
           L"                                 applies catalogue entry NAME\n"
           L"  keldrast /custom SERVER [SERVER] [/v6 SERVER [SERVER]] [/template URL]\n"
           L"                 [/adapter ADAPTER] [/doh off|on|only] [/force]\n"
           L"                                 applies typed servers (IPv4, and IPv6 after /v6)\n"
           L"  keldrast /default [/adapter ADAPTER] [/force]\n"
           L"                                 back to automatic (DHCP) servers, both families\n"
           L"  keldrast /restore [/adapter ADAPTER]\n"
           L"                                 puts back the servers from before Keldrast changed "
           L"them\n"
           L"  keldrast /flush                empties the DNS resolver cache\n"
           L"  keldrast /test [/tries N] [/timeout MS] [/port N]\n"
           L"                                 measures the catalogue's servers, fastest first\n"
           L"  keldrast /check [/adapter A] [/direct] [/timeout MS] [/port N]\n"
           L"                                 which DNS really answers the adapter's queries;\n"
           L"                                 /direct asks only its servers, not Windows\n"
           L"  keldrast /networks             the connected networks and their rules\n"
           L"  keldrast /when NETWORK /use NAME, /when NETWORK /use /default\n"
           L"                                 keeps the rule: on that network, use NAME (or\n"
           L"                                 the automatic servers); /when NETWORK /forget\n"
           L"                                 drops it\n"
           L"  keldrast /apply-rules          applies each connected network's rule\n"
           L"  keldrast /rules-task on|off    creates or removes the scheduled task that applies\n"
           L"                                 the network rules without a prompt\n"
           L"  keldrast /version              the version and the settings file in use\n"
           L"  keldrast /?, /help             this text\n"
           L"\n"
           L"NAME is a catalogue entry's name, in quotes when it has spaces (\"Google DNS\").\n"
           L"SERVER is a server's address: preferred, then alternate. ADAPTER is an adapter's\n"
           L"description, its GUID, or its number in /list; it may be left out when there is\n"
           L"only one adapter. \"connected\" changes every connected adapter, \"default\" the\n"
           L"one the default route leaves through. NETWORK is a network's id or exact name in\n"
           L"/networks. /json after a command prints one JSON document.\n"
           L"A change first records the adapter's present servers for /restore; /force changes\n"
           L"them even when that record cannot be made.\n"
           L"Where Windows has its DoH client (Windows 11, Server 2022), servers with a DoH\n"
           L"template (https://...) are encrypted: /doh on\n"
           L"falls back to plain DNS when encryption fails, only never does, off does not\n"
           L"encrypt; without /doh the window's setting holds (on unless changed).\n"
           L"\n"
           L"Exit codes: 0 done (or saved, where Windows does not say which servers it uses),\n"
           L"1 bad arguments, 2 unknown adapter or entry, or nothing to restore, 3 not\n"
           L"administrator (elevation declined), 4 nothing written, 5 saved but Windows still\n"
           L"uses other servers (/check: a server is answered by someone else, or none\n"
           L"answered), 6 partly written, 7 no restore point (nothing written),\n"
           L"8 the report could not be printed, 9 the elevated copy did not finish,\n"
           L"10 internal error. Warnings (not connected, a policy rule...) never change it.\n";
}

std::wstring versionText(std::wstring_view version, std::wstring_view settingsFile,
                         catalogue::SettingsPlace place) {
    const wchar_t* why = L"beside the program";
    switch (place) {
    case catalogue::SettingsPlace::ExistingFile:
        why = L"beside the program, where it was found";
        break;
    case catalogue::SettingsPlace::ProgramFolder:
        break;
    case catalogue::SettingsPlace::PackageManager:
        why = L"in your profile: a package manager replaces the program's folder on upgrade";
        break;
    case catalogue::SettingsPlace::FolderNotWritable:
        why = L"in your profile: the program's folder cannot be written";
        break;
    }
    return L"Keldrast " + std::wstring(version) + L"\nSettings file: " +
           std::wstring(settingsFile) + L"\n  (" + why + L")\n";
}

std::wstring versionJson(std::wstring_view version, std::wstring_view settingsFile,
                         catalogue::SettingsPlace place) {
    tk::Json j;
    j.open(L'{').key(L"program").string(L"Keldrast").key(L"version").string(version);
    j.key(L"settingsFile").string(settingsFile);
    return j.key(L"settingsPlace").string(catalogue::settingsPlaceName(place)).close(L'}').text();
}

std::wstring listText(const std::vector<AdapterView>& adapters) {
    if (adapters.empty()) return L"No network adapters found.\n";
    std::wstring out;
    for (std::size_t i = 0; i < adapters.size(); ++i) {
        out += adapterLine(i, adapters[i].description, adapters[i].service) + L"\n";
        for (const auto& [label, value] : dns::currentDnsLines(adapters[i].current))
            out += L"   " + label + L": " + value + L"\n";
    }
    return out;
}

std::wstring listJson(const std::vector<AdapterView>& adapters) {
    tk::Json j;
    j.open(L'{').key(L"adapters").open(L'[');
    for (std::size_t i = 0; i < adapters.size(); ++i) {
        const auto& c = adapters[i].current;
        j.open(L'{')
            .key(L"index")
            .number(static_cast<long long>(i + 1))
            .key(L"description")
            .string(adapters[i].description)
            .key(L"guid")
            .string(adapters[i].service);
        j.key(L"static").open(L'{');
        j.key(L"ipv4").strings(dns::serverList(c.static4.value_or(L"")));
        j.key(L"ipv6").strings(dns::serverList(c.static6.value_or(L""))).close(L'}');
        j.key(L"dhcp").open(L'{');
        j.key(L"ipv4").strings(dns::serverList(c.dhcp4.value_or(L"")));
        j.key(L"ipv6").strings(dns::serverList(c.dhcp6.value_or(L""))).close(L'}');
        j.key(L"inUse");
        c.inUse ? j.strings(*c.inUse) : j.null();
        j.key(L"connection");
        if (c.status) {
            j.open(L'{').key(L"listed").boolean(c.status->listed);
            j.key(L"connected").boolean(c.status->connected);
            j.key(L"defaultRoute").boolean(c.status->defaultRoute).key(L"kind");
            c.status->listed ? j.string(kindCode(c.status->kind)) : j.null();
            j.close(L'}');
        } else {
            j.null();
        }
        dohServersJson(j.key(L"doh"), c.doh);
        j.key(L"dohInForce");
        c.dohInForce ? dohServersJson(j, *c.dohInForce) : void(j.null());
        dohServersJson(j.key(L"dohWellKnown"), c.wellKnown);
        j.key(L"encryption").string(dns::currentEncryptionText(c));
        j.close(L'}');
    }
    return j.close(L']').close(L'}').text();
}

std::wstring catalogueText(const std::vector<catalogue::CatalogueEntry>& entries) {
    if (entries.empty()) return L"The catalogue is empty.\n";
    std::size_t width = 0;
    for (const auto& e : entries)
        width = std::max(width, e.name.size());
    std::wstring out;
    for (const auto& e : entries) {
        const auto servers = dns::serverList(e.pair);
        out += e.name + std::wstring(width - e.name.size() + 2, L' ') +
               (servers.empty() ? L"(no servers)" : dns::serversText(servers)) +
               (e.pair6.empty() ? L"" : L"; " + serversOf(e.pair6)) +
               (e.doh.empty() ? L"" : L"; " + e.doh) + L"\n";
    }
    return out;
}

std::wstring catalogueJson(const std::vector<catalogue::CatalogueEntry>& entries) {
    tk::Json j;
    j.open(L'{').key(L"catalogue").open(L'[');
    for (const auto& e : entries) {
        j.open(L'{').key(L"name").string(e.name);
        j.key(L"ipv4").strings(dns::serverList(e.pair));
        j.key(L"ipv6").strings(dns::serverList(e.pair6)).key(L"template");
        e.doh.empty() ? j.null() : j.string(e.doh);
        j.close(L'}');
    }
    return j.close(L']').close(L'}').text();
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

AdapterChoices chooseAdapters(const std::vector<AdapterView>& adapters,
                              const std::optional<std::wstring>& wanted,
                              const dns::NetworkState& state) {
    const std::wstring key = wanted ? lowerTrimmed(*wanted) : L"";
    if (key != L"connected" && key != L"default") {
        auto one = chooseAdapter(adapters, wanted);
        if (!one.index) return {{}, false, one.exitCode, std::move(one.message)};
        return {{*one.index}, false, kDone, {}};
    }
    std::vector<dns::ListedAdapter> listed;
    for (const auto& a : adapters)
        listed.push_back({a.description, a.service});
    const std::wstring unknown =
        state.adapters ? L"" : L" Windows does not say which adapters are connected.";
    if (key == L"connected") {
        auto indices = dns::connectedAdapters(listed, state);
        if (indices.empty())
            return {{}, true, kUnknownTarget, L"No listed adapter is connected." + unknown};
        return {std::move(indices), true, kDone, {}};
    }
    if (const auto index = dns::defaultRouteAdapter(listed, state))
        return {{*index}, false, kDone, {}};
    return {{}, false, kUnknownTarget, L"No listed adapter carries the default route." + unknown};
}

std::optional<std::size_t> findEntry(const std::vector<catalogue::CatalogueEntry>& entries,
                                     std::wstring_view name, const catalogue::CaseFold& fold) {
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (tk::trimSpaces(entries[i].name) == tk::trimSpaces(name)) return i;
    const std::wstring folded = fold(tk::trimSpaces(name));
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (fold(tk::trimSpaces(entries[i].name)) == folded) return i;
    return std::nullopt;
}

namespace {

std::size_t editDistance(std::wstring_view a, std::wstring_view b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] =
                std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0u : 1u)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

} // namespace

std::vector<std::size_t> nearestEntries(const std::vector<catalogue::CatalogueEntry>& entries,
                                        std::wstring_view name, const catalogue::CaseFold& fold) {
    constexpr std::size_t kMost = 3;
    const std::wstring wanted = fold(tk::trimSpaces(name));
    std::vector<std::size_t> found;
    if (wanted.empty()) return found;
    for (std::size_t i = 0; i < entries.size() && found.size() < kMost; ++i)
        if (fold(tk::trimSpaces(entries[i].name)).starts_with(wanted)) found.push_back(i);
    if (!found.empty()) return found;
    std::size_t best = std::max<std::size_t>(2, wanted.size() / 3);
    std::vector<std::size_t> distances;
    for (const auto& entry : entries) {
        distances.push_back(editDistance(wanted, fold(tk::trimSpaces(entry.name))));
        best = std::min(best, distances.back());
    }
    for (std::size_t i = 0; i < entries.size() && found.size() < kMost; ++i)
        if (distances[i] == best) found.push_back(i);
    return found;
}

std::wstring unknownEntryMessage(const std::vector<catalogue::CatalogueEntry>& entries,
                                 std::wstring_view name, const catalogue::CaseFold& fold) {
    const std::wstring text = L"The catalogue has no entry called " + std::wstring(name) + L".";
    const auto nearest = nearestEntries(entries, name, fold);
    if (nearest.empty()) return text + L" Run keldrast /catalogue for its names.";
    std::wstring names;
    for (std::size_t k = 0; k < nearest.size(); ++k)
        names += (k == 0                    ? L""
                  : k + 1 == nearest.size() ? L" or "
                                            : L", ") +
                 std::wstring(L"\"") + entries[nearest[k]].name + L"\"";
    return text + L" Did you mean " + names + L"?";
}

std::wstring quotingHint(const std::vector<catalogue::CatalogueEntry>& entries,
                         const std::vector<std::wstring>& words, const catalogue::CaseFold& fold,
                         std::wstring_view command) {
    if (words.size() < 2) return {};
    std::wstring joined;
    for (const auto& word : words)
        joined += (joined.empty() ? L"" : L" ") + word;
    const auto index = findEntry(entries, joined, fold);
    if (!index) return {};
    return L"Put a name with spaces in quotes: /" + std::wstring(command) + L" \"" +
           entries[*index].name + L"\"";
}

int exitCode(dns::Result result) {
    using enum dns::Result;
    switch (result) {
    case Applied:
    case Saved:
        return kDone;
    case OtherServersInUse:
    case Refused:
        return kOtherServersInUse;
    case PartlyWritten:
        return kPartlyWritten;
    case NotWritten:
    case InvalidAdapter:
    case Busy:
        return kNotWritten;
    case NoRestorePoint:
        return kNoRestorePoint;
    case NothingToRestore:
    case BadRestoreRecord:
        return kUnknownTarget;
    case BadTemplate:
        return kBadArguments;
    case UnusableServer: // an entry's server; /custom's typed ones are bad arguments (cli.cpp)
        return kUnknownTarget;
    }
    return kInternalError;
}

int exitCode(const dns::ChangeOutcome& outcome) {
    return dns::otherServersInUse(outcome) ? kOtherServersInUse : exitCode(outcome.result);
}

std::wstring_view resultName(dns::Result result) {
    using enum dns::Result;
    switch (result) {
    case Applied:
        return L"applied";
    case Saved:
        return L"saved";
    case OtherServersInUse:
        return L"other-servers-in-use";
    case Refused:
        return L"refused-for-now";
    case PartlyWritten:
        return L"partly-written";
    case NotWritten:
    case InvalidAdapter:
        return L"not-written";
    case NoRestorePoint:
        return L"no-restore-point";
    case NothingToRestore:
        return L"nothing-to-restore";
    case BadRestoreRecord:
        return L"bad-restore-record";
    case BadTemplate:
        return L"bad-template";
    case UnusableServer:
        return L"unusable-server";
    case Busy:
        return L"busy";
    }
    return L"error";
}

std::wstring verdictMessage(const dns::ChangeOutcome& outcome, std::wstring_view settingsPath) {
    std::wstring text = dns::verdictText(outcome, settingsPath);
    for (auto at = text.find(L"\r\n"); at != text.npos; at = text.find(L"\r\n", at))
        text.replace(at, 2, L"\n");
    if (outcome.result == dns::Result::NoRestorePoint)
        text += L"\nAdd /force to change them without a way back.";
    return text;
}

std::wstring changeText(const ChangeReport& report) {
    std::wstring what;
    switch (report.verb) {
    case Verb::Set:
        what = report.entry;
        break;
    case Verb::Custom:
        what = std::wstring(dns::kCustomAppliedName);
        break;
    case Verb::Default:
        what = L"Automatic (DHCP)";
        break;
    default:
        what = L"Restore";
        break;
    }
    const auto& o = report.outcome;
    std::wstring text =
        what + L" -> " + adapterLine(report.adapterIndex, report.adapter, o.service) + L"\n";
    if (o.written.none()) return text;
    text += L"   IPv4: " + serversOf(o.servers) + L"\n   IPv6: " + serversOf(o.servers6) +
            L"\n   In use: " +
            (o.inUse ? dns::serversText(*o.inUse) : std::wstring(L"not reported by Windows")) +
            L"\n";
    if (const auto encrypted = dns::encryptionVerdict(o); !encrypted.empty())
        text += L"   Encrypted: " + encrypted + L"\n";
    return text;
}

std::wstring changeJson(const ChangeReport& report, std::wstring_view message) {
    tk::Json j;
    j.open(L'{');
    changeMembers(j, report, message);
    return j.close(L'}').text();
}

int worstExitCode(const std::vector<int>& codes) {
    // From least to most severe; any other code (an error of the command itself) is worse still.
    constexpr int kOrder[] = {kDone,          kOtherServersInUse, kPartlyWritten,
                              kUnknownTarget, kNoRestorePoint,    kNotWritten};
    const auto rank = [&](int code) {
        const auto at = std::find(std::begin(kOrder), std::end(kOrder), code);
        return at == std::end(kOrder) ? std::size(kOrder) + static_cast<std::size_t>(code)
                                      : static_cast<std::size_t>(at - std::begin(kOrder));
    };
    int worst = kDone;
    for (const int code : codes)
        if (rank(code) > rank(worst)) worst = code;
    return worst;
}

std::vector<dns::Warning> uniqueWarnings(const std::vector<ChangeReport>& reports) {
    std::vector<dns::Warning> warnings;
    for (const auto& r : reports)
        for (const auto& w : r.outcome.warnings)
            if (std::find(warnings.begin(), warnings.end(), w) == warnings.end())
                warnings.push_back(w);
    return warnings;
}

std::wstring warningText(const dns::Warning& warning) {
    if (warning.code != dns::kOtherAdapterWarning) return warning.text;
    return warning.text + L" \"/adapter connected\" changes them all.";
}

std::wstring changeEachJson(const std::vector<ChangeReport>& reports,
                            const std::vector<std::wstring>& messages) {
    std::vector<int> codes;
    for (const auto& r : reports)
        codes.push_back(exitCode(r.outcome));
    const int worst = worstExitCode(codes);
    tk::Json j;
    j.open(L'{').key(L"command").string(verbName(reports.empty() ? Verb::Set : reports[0].verb));
    j.key(L"exitCode").number(static_cast<long long>(worst)).key(L"result");
    const auto at = std::find(codes.begin(), codes.end(), worst);
    j.string(
        at == codes.end()
            ? L"applied"
            : resultName(reports[static_cast<std::size_t>(at - codes.begin())].outcome.result));
    j.key(L"changes").open(L'[');
    for (std::size_t i = 0; i < reports.size(); ++i) {
        j.open(L'{');
        changeMembers(j, reports[i], i < messages.size() ? messages[i] : L"");
        j.close(L'}');
    }
    j.close(L']');
    warningsJson(j, uniqueWarnings(reports));
    return j.close(L'}').text();
}

namespace {

void changeMembers(tk::Json& j, const ChangeReport& report, std::wstring_view message) {
    const auto& o = report.outcome;
    j.key(L"command")
        .string(verbName(report.verb))
        .key(L"exitCode")
        .number(static_cast<long long>(exitCode(o)))
        .key(L"result")
        .string(resultName(o.result));
    j.key(L"adapter")
        .open(L'{')
        .key(L"index")
        .number(static_cast<long long>(report.adapterIndex + 1))
        .key(L"description")
        .string(report.adapter)
        .key(L"guid")
        .string(o.service)
        .close(L'}');
    if (report.verb == Verb::Set) j.key(L"entry").string(report.entry);
    j.key(L"ipv4").strings(dns::serverList(o.servers));
    j.key(L"ipv6").strings(dns::serverList(o.servers6));
    j.key(L"written").open(L'{');
    for (const dns::Family family : dns::kFamilies) {
        j.key(family == dns::Family::V4 ? L"ipv4" : L"ipv6").open(L'{');
        for (std::size_t i = 0; i < dns::kInterfaceBasePaths.size(); ++i)
            j.key(dns::controlSetName(i)).boolean(o.written.of(family)[i]);
        j.close(L'}');
    }
    j.close(L'}');
    j.key(L"live").string(o.live == dns::InterfaceDnsResult::Applied  ? L"applied"
                          : o.live == dns::InterfaceDnsResult::Failed ? L"failed"
                                                                      : L"not-available");
    j.key(L"inUse");
    o.inUse ? j.strings(*o.inUse) : j.null();
    j.key(L"restoreRecordMade").boolean(o.recorded);
    j.key(L"encryption").open(L'{');
    j.key(L"result").string(dohResultName(o.doh.result));
    j.key(L"mode").string(dns::dohModeName(o.doh.mode));
    j.key(L"policy").string(dohPolicyName(o.doh.policy));
    j.key(L"template");
    o.doh.url.empty() ? j.null() : j.string(o.doh.url);
    dohServersJson(j.key(L"servers"), o.doh.servers);
    j.key(L"text").string(dns::encryptionVerdict(o)).close(L'}');
    warningsJson(j, o.warnings);
    j.key(L"message").string(message);
}

} // namespace

std::wstring errorJson(std::wstring_view command, int exitCode, std::wstring_view message) {
    tk::Json j;
    j.open(L'{').key(L"command");
    command.empty() ? j.null() : j.string(command);
    return j.key(L"exitCode")
        .number(static_cast<long long>(exitCode))
        .key(L"result")
        .string(L"error")
        .key(L"message")
        .string(message)
        .close(L'}')
        .text();
}

} // namespace cli
