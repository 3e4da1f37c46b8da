#include "toolkit/decimal.h"
#include "dns/dnsplan.h"
#include "toolkit/trim.h"

#include <algorithm>

namespace dns {

namespace {

constexpr std::wstring_view kRunAsAdministrator = L"Run Keldrast as administrator and try again...";
constexpr std::wstring_view kTakesEffect =
    L"They take effect when the adapter reconnects or Windows restarts...";

std::wstring joined(const std::vector<std::wstring>& items) {
    std::wstring text;
    for (const auto& item : items)
        text += (text.empty() ? L"" : L", ") + item;
    return text;
}

// The control sets that did (which = true) or did not take the change; a set where only one
// family did is named with that family.
std::wstring controlSets(const Writes& written, bool which) {
    std::vector<std::wstring> names;
    for (std::size_t i = 0; i < kInterfaceBasePaths.size(); ++i) {
        const bool v4 = written.v4[i] == which, v6 = written.v6[i] == which;
        if (v4 || v6)
            names.push_back(std::wstring(controlSetName(i)) + (v4 && v6 ? L""
                                                               : v4     ? L" (IPv4)"
                                                                        : L" (IPv6)"));
    }
    return joined(names);
}

std::wstring inUseText(const ServersInUse& inUse) {
    if (!inUse) return L"not reported by Windows";
    return serversText(*inUse);
}

// The window's lines: the other adapters' line names the window's own way to change them all.
std::wstring warningLines(const std::vector<Warning>& warnings) {
    std::wstring text;
    for (const auto& warning : warnings) {
        text += L"\r\n" + warning.text;
        if (warning.code == kOtherAdapterWarning)
            text += L" \"Apply to every connected adapter\" in the window menu changes them all.";
    }
    return warnings.empty() ? text : L"\r\n" + text;
}

// One adapter's verdict in a few words, for the message on several adapters.
std::wstring shortVerdict(const ChangeOutcome& outcome) {
    switch (outcome.result) {
    case Result::Applied:
        return L"done, in use now";
    case Result::Saved:
        if (outcome.inUse) return L"saved, but Windows still uses " + serversText(*outcome.inUse);
        return L"saved, takes effect when the adapter reconnects";
    case Result::OtherServersInUse:
        return L"saved, but Windows still uses " + serversText(*outcome.inUse);
    case Result::Refused:
        return L"saved, but not in use yet";
    case Result::PartlyWritten:
        return L"changed only in part (not written: " + controlSets(outcome.written, false) + L")";
    case Result::NotWritten:
        return L"not changed: the registry could not be written";
    case Result::InvalidAdapter:
        return L"not changed: its interface name is not a GUID";
    case Result::NoRestorePoint:
        return L"not changed: its present servers could not be recorded";
    case Result::NothingToRestore:
        return L"nothing to restore";
    case Result::BadRestoreRecord:
        return L"not changed: its restore record is not one Keldrast puts back";
    case Result::BadTemplate:
        return L"not changed: the DoH template is not accepted";
    case Result::UnusableServer:
        return L"not changed: " + outcome.why;
    case Result::Busy:
        return L"not changed: another change was running";
    }
    return {};
}

std::wstring serversOf(const std::optional<std::wstring>& value) {
    return serversText(serverList(value.value_or(L"")));
}

std::wstring policyNote(const DohOutcome& doh) {
    if (doh.policy != DohPolicy::Required) return {};
    const bool plain = doh.result == DohResult::NoTemplate || doh.result == DohResult::Off;
    return plain ? L"; your administrator's policy (DoHPolicy) requires encrypted DNS, so Windows "
                   L"may not use these servers"
                 : L"; your administrator's policy (DoHPolicy) requires encrypted DNS";
}

} // namespace

std::wstring encryptionVerdict(const ChangeOutcome& outcome) {
    const auto& doh = outcome.doh;
    std::wstring text;
    switch (doh.result) {
    case DohResult::NotAsked:
        return {};
    case DohResult::Encrypted:
        text = encryptionText(doh.servers);
        break;
    case DohResult::OnReconnect:
        text = encryptionText(doh.servers) + L", from when the adapter reconnects";
        break;
    case DohResult::Deferred:
        text = encryptionText(doh.servers) +
               L", from when the adapter reconnects: Windows took the servers now but not their "
               L"encryption settings";
        break;
    case DohResult::NoTemplate:
        text = L"no, because these servers have no DoH template";
        break;
    case DohResult::Off:
        text = L"no, because encrypted DNS is off in the window menu";
        break;
    case DohResult::NotOffered:
        text = L"no, because this Windows does not offer encryption per adapter: the servers are "
               L"applied without it";
        break;
    case DohResult::Forbidden:
        text = L"no, because your administrator blocks DNS over HTTPS by policy (DoHPolicy or "
               L"DohPolicySetting)";
        break;
    case DohResult::NotWritten:
        text = L"no, because the encrypted DNS settings could not be written";
        break;
    }
    return text + policyNote(doh);
}

std::wstring currentEncryptionText(const CurrentDns& current) {
    // In the order of the adapter's servers, then any others.
    std::vector<std::wstring> order = serverList(current.static4.value_or(L""));
    for (auto& server : serverList(current.static6.value_or(L"")))
        order.push_back(std::move(server));
    for (const auto& server : current.doh)
        order.push_back(server.address);
    std::vector<std::wstring> servers;
    for (const auto& address : order) {
        const auto family = familyOf(address);
        const auto canonical = family ? canonicalAddress(*family, address) : std::nullopt;
        for (const auto& server : current.doh)
            if (encrypts(server) && canonical &&
                canonicalAddress(server.family, server.address) == canonical &&
                std::find(servers.begin(), servers.end(), *canonical) == servers.end())
                servers.push_back(*canonical);
    }
    const std::wstring text = encryptionText(current.doh, current.dohInForce, current.wellKnown);
    return servers.empty() ? text : joined(servers) + L": " + text;
}

std::wstring serversText(const std::vector<std::wstring>& servers) {
    return servers.empty() ? L"none" : joined(servers);
}

ReadBack readBack(const std::vector<std::wstring>& applied, const ServersInUse& inUse) {
    if (!inUse) return ReadBack::NotReported;
    if (applied.empty()) return ReadBack::AsApplied;
    return sameServers(applied, *inUse) ? ReadBack::AsApplied : ReadBack::Differs;
}

Result judge(const Writes& written, InterfaceDnsResult live,
             const std::vector<std::wstring>& applied, const ServersInUse& inUse) {
    if (written.none()) return Result::NotWritten;
    if (!written.all()) return Result::PartlyWritten;
    const ReadBack seen = readBack(applied, inUse);
    if (seen == ReadBack::AsApplied) return Result::Applied;
    if (live == InterfaceDnsResult::Failed) return Result::Refused;
    // Told nothing, Windows of course still uses the old servers until the adapter reconnects.
    if (seen == ReadBack::Differs && live == InterfaceDnsResult::Applied)
        return Result::OtherServersInUse;
    return Result::Saved;
}

bool otherServersInUse(const ChangeOutcome& outcome) {
    switch (outcome.result) {
    case Result::OtherServersInUse:
    case Result::Refused:
        return true;
    case Result::Saved:
        return outcome.inUse.has_value(); // "saved, but Windows still uses ..."
    default:
        return false;
    }
}

namespace {

bool hasWarning(const ChangeOutcome& outcome, std::wstring_view code) {
    return std::any_of(outcome.warnings.begin(), outcome.warnings.end(),
                       [&](const Warning& w) { return w.code == code; });
}

} // namespace

bool savedNotInForce(const ChangeOutcome& outcome) {
    switch (outcome.result) {
    case Result::Applied:
    case Result::Saved:
    case Result::OtherServersInUse:
    case Result::Refused:
        break;
    default:
        return false;
    }
    return otherServersInUse(outcome) || hasWarning(outcome, kNotConnectedWarning) ||
           hasWarning(outcome, kVirtualSwitchWarning) || hasWarning(outcome, kPolicyRuleWarning);
}

std::vector<std::wstring> nextSteps(const ChangeOutcome& outcome) {
    std::vector<std::wstring> steps;
    if (!savedNotInForce(outcome)) return steps;
    if (hasWarning(outcome, kNotConnectedWarning))
        steps.emplace_back(L"Connect the adapter to use them, or choose the connected adapter "
                           L"and try again.");
    else if (hasWarning(outcome, kVirtualSwitchWarning))
        steps.emplace_back(L"Choose the adapter named above and try again.");
    else if (otherServersInUse(outcome))
        steps.emplace_back(L"Reconnect the adapter (unplug its cable, or turn Wi-Fi off and on) "
                           L"or restart Windows, then check \"Current DNS servers\" in the "
                           L"window menu.");
    if (hasWarning(outcome, kPolicyRuleWarning))
        steps.emplace_back(L"Your VPN or your administrator decides which servers answer while "
                           L"that rule is in place: disconnect the VPN to use these servers.");
    return steps;
}

std::vector<std::wstring> appliedServers(const ChangeOutcome& outcome) {
    auto applied = serverList(outcome.servers);
    for (auto& server : serverList(outcome.servers6))
        applied.push_back(std::move(server));
    return applied;
}

std::wstring verdictText(const ChangeOutcome& outcome, std::wstring_view settingsPath) {
    const std::wstring keptForRestore =
        outcome.kind == ChangeKind::Restore
            ? L"\r\nThe previous settings stay recorded, so Restore can be tried again."
            : L"";
    switch (outcome.result) {
    case Result::Applied:
        return L"Done: the adapter uses them now.";
    case Result::Saved:
        if (outcome.inUse)
            return L"The DNS servers were saved, but Windows still uses " +
                   serversText(*outcome.inUse) + L".\r\n" + std::wstring(kTakesEffect);
        if (outcome.live == InterfaceDnsResult::Applied)
            return L"The DNS servers were saved and handed to the adapter. Windows does not say "
                   L"which servers it uses now...";
        return L"The DNS servers were saved. Windows does not say which servers the adapter uses "
               L"now;\r\nthey take effect when the adapter reconnects or Windows restarts...";
    case Result::OtherServersInUse:
        return L"The DNS servers were saved, but Windows still uses " +
               serversText(*outcome.inUse) + L".\r\n" + std::wstring(kTakesEffect);
    case Result::Refused:
        return L"The DNS servers were saved, but the adapter is not using them yet.\r\n" +
               std::wstring(kTakesEffect);
    case Result::PartlyWritten:
        return L"The DNS servers were changed only in part.\r\nWritten: " +
               controlSets(outcome.written, true) + L"\r\nNot written: " +
               controlSets(outcome.written, false) +
               (outcome.doh.result != DohResult::NotWritten ? L""
                : outcome.written.all()                     ? L"the encrypted DNS settings"
                                                            : L", the encrypted DNS settings") +
               L"\r\n" + std::wstring(kRunAsAdministrator) + keptForRestore;
    case Result::NotWritten:
        return L"The DNS servers were not changed: the registry could not be written.\r\n" +
               std::wstring(kRunAsAdministrator) + keptForRestore;
    case Result::InvalidAdapter:
        return L"The DNS servers were not changed: the selected adapter's interface name \"" +
               outcome.service + L"\" is not an interface GUID...";
    case Result::NoRestorePoint:
        return L"The DNS servers were not changed: Keldrast could not record the present ones, "
               L"so there would be no way back.\r\n" +
               outcome.why;
    case Result::NothingToRestore:
        return L"There is nothing to restore for this adapter: Keldrast has not changed its DNS "
               L"servers...";
    case Result::BadRestoreRecord:
        return L"The DNS servers were not changed: the restore record of this adapter in " +
               std::wstring(settingsPath) +
               L" is not one Keldrast puts back (servers, and DoH settings as Apply writes "
               L"them).\r\nCorrect or delete that line of the [kRestore] "
               L"section...";
    case Result::BadTemplate: {
        const std::wstring problem = templateProblem(outcome.doh.url);
        return L"The DNS servers were not changed: \"" + outcome.doh.url +
               L"\" is not a DoH template Keldrast accepts.\r\n" +
               (problem.empty() ? L"Its host is an address that is not one of the servers."
                                : problem);
    }
    case Result::UnusableServer:
        return L"The DNS servers were not changed: " + outcome.why;
    case Result::Busy:
        return L"The DNS servers were not changed: another Keldrast change is running and did not "
               L"finish in time.\r\nTry again when it has finished.";
    }
    return {};
}

Notice changeNotice(const ChangeOutcome& outcome, std::wstring_view adapterDescription,
                    std::wstring_view appliedName, std::wstring_view settingsPath) {
    switch (outcome.result) {
    case Result::Applied:
    case Result::Saved:
    case Result::OtherServersInUse:
    case Result::Refused:
        break;
    case Result::NothingToRestore:
        return {verdictText(outcome, settingsPath), kInformationFlags};
    default:
        return {verdictText(outcome, settingsPath) + warningLines(outcome.warnings), kStopFlags};
    }
    std::wstring text;
    switch (outcome.kind) {
    case ChangeKind::Apply:
        text = L"Operation completed successfully...\r\nDNS has changed...\r\n\r\n\u00BB " +
               std::wstring(adapterDescription) + L"\r\n\u00BB " + std::wstring(appliedName) +
               L"\r\n\u00BB Servers: " + serversText(appliedServers(outcome));
        if (const auto encrypted = encryptionVerdict(outcome); !encrypted.empty())
            text += L"\r\n\u00BB Encrypted: " + encrypted;
        break;
    case ChangeKind::Default:
        text = L"DNS has set to default...";
        break;
    case ChangeKind::Restore:
        text = L"The previous DNS servers were restored...\r\n\r\n\u00BB " +
               std::wstring(adapterDescription);
        break;
    }
    text += L"\r\n\u00BB In use: " + inUseText(outcome.inUse);
    if (outcome.result != Result::Applied) text += L"\r\n\r\n" + verdictText(outcome);
    text += warningLines(outcome.warnings);
    const auto steps = nextSteps(outcome);
    for (std::size_t i = 0; i < steps.size(); ++i)
        text += (i == 0 ? L"\r\n\r\n" : L"\r\n") + steps[i];
    if (outcome.recorded)
        text += L"\r\n\r\nTo undo this, choose \"Restore previous DNS\" in the window menu "
                L"(right-click the window, or Alt+Space).";
    return {text, steps.empty() ? kInformationFlags : kWarningFlags};
}

bool changedAnything(const ChangeOutcome& outcome) {
    return !outcome.written.none();
}

Notice changeEachNotice(const std::vector<ChangeOutcome>& outcomes,
                        const std::vector<std::wstring>& adapterDescriptions,
                        std::wstring_view appliedName, std::wstring_view settingsPath) {
    if (outcomes.empty()) return {L"No adapter is connected: nothing was changed...", kStopFlags};
    std::wstring text;
    switch (outcomes.front().kind) {
    case ChangeKind::Apply:
        text = L"DNS was applied to every connected adapter...\r\n\r\n\u00BB " +
               std::wstring(appliedName) + L"\r\n\u00BB Servers: " +
               serversText(appliedServers(outcomes.front())) + L"\r\n";
        break;
    case ChangeKind::Default:
        text = L"Every connected adapter went back to automatic (DHCP) servers...\r\n\r\n";
        break;
    case ChangeKind::Restore:
        text = L"Restore on every connected adapter...\r\n\r\n";
        break;
    }
    unsigned flags = kInformationFlags;
    bool recorded = false;
    std::vector<Warning> warnings;
    std::vector<std::wstring> steps;
    for (std::size_t i = 0; i < outcomes.size(); ++i) {
        const auto& o = outcomes[i];
        const std::wstring name =
            i < adapterDescriptions.size() ? adapterDescriptions[i] : o.service;
        text += L"\r\n\u00BB " + name + L": " + shortVerdict(o);
        if (o.result == Result::BadRestoreRecord) text += L" (" + std::wstring(settingsPath) + L")";
        if (!changedAnything(o) && o.result != Result::NothingToRestore) flags = kStopFlags;
        if (o.result == Result::PartlyWritten) flags = kStopFlags;
        if (flags == kInformationFlags && savedNotInForce(o)) flags = kWarningFlags;
        for (auto& step : nextSteps(o))
            if (std::find(steps.begin(), steps.end(), step) == steps.end())
                steps.push_back(std::move(step));
        recorded = recorded || o.recorded;
        for (const auto& w : o.warnings)
            if (std::find(warnings.begin(), warnings.end(), w) == warnings.end())
                warnings.push_back(w);
    }
    text += warningLines(warnings);
    for (std::size_t i = 0; i < steps.size(); ++i)
        text += (i == 0 ? L"\r\n\r\n" : L"\r\n") + steps[i];
    if (recorded)
        text += L"\r\n\r\nTo undo this, choose \"Restore previous DNS\" in the window menu "
                L"(right-click the window, or Alt+Space).";
    return {text, flags};
}

std::wstring noRestorePointQuestion(const ChangeOutcome& outcome) {
    return L"Keldrast could not record the adapter's present DNS servers, so \"Restore previous "
           L"DNS\" could not bring them back.\r\n" +
           outcome.why + L"\r\n\r\nChange the DNS servers anyway?";
}

std::vector<std::pair<std::wstring, std::wstring>> currentDnsLines(const CurrentDns& current) {
    std::vector<std::wstring> dhcp = serverList(current.dhcp4.value_or(L""));
    for (auto& server : serverList(current.dhcp6.value_or(L"")))
        dhcp.push_back(std::move(server));
    return {{L"Connection", statusText(current.status)},
            {L"IPv4 servers set", serversOf(current.static4)},
            {L"IPv6 servers set", serversOf(current.static6)},
            {L"Automatic (DHCP)", serversText(dhcp)},
            {L"In use", inUseText(current.inUse)},
            {L"Encrypted", currentEncryptionText(current)}};
}

std::wstring currentDnsText(std::wstring_view adapterDescription, const CurrentDns& current) {
    std::wstring text = L"\u00BB " + std::wstring(adapterDescription);
    for (const auto& [label, value] : currentDnsLines(current))
        text += L"\r\n" + label + L": " + value;
    return text;
}

std::wstring flushText(const FlushOutcome& outcome) {
    switch (outcome.result) {
    case FlushResult::Started:
    case FlushResult::Flushed:
        return L"The DNS resolver cache was flushed.";
    case FlushResult::NotStarted:
        break;
    case FlushResult::Failed:
        return L"\"ipconfig /flushdns\" did not flush the DNS cache: it ended with exit code " +
               tk::decimal(outcome.exitCode) + L".";
    case FlushResult::TimedOut:
        return L"\"ipconfig /flushdns\" did not flush the DNS cache: it did not finish in time.";
    }
    return L"Could not start \"ipconfig /flushdns\". The DNS cache was not flushed...";
}

ProcessCommand flushCommand(std::wstring_view systemDirectory) {
    if (systemDirectory.empty()) return {}; // never fall back to a search by bare name
    std::wstring application(systemDirectory);
    if (application.back() != L'\\') application += L'\\';
    application += L"ipconfig.exe";
    return {application, L"\"" + application + L"\" /flushdns"};
}

} // namespace dns
