// The verdict on a change of an adapter's DNS servers, and the words both front ends use for
// it and for an adapter's present settings. Pure: the engine (change.h) gathers the facts, the
// window and the command line only present what is decided here.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dns/adapters.h"
#include "dns/doh.h"
#include "dns/nameserver_state.h"

namespace dns {

inline constexpr std::wstring_view kCustomAppliedName = L"Custom DNS...";

// Message box flags of the standard box.
inline constexpr unsigned kStopFlags = 16;
inline constexpr unsigned kInformationFlags = 64;
inline constexpr unsigned kWarningFlags = 48;
inline constexpr unsigned kQuestionFlags = 32 | 4 | 256; // question, Yes/No, No by default

enum class ChangeKind { Apply, Default, Restore };

// Whether the adapter took the servers at once (Windows 10 2004 and later can be told).
enum class InterfaceDnsResult { NotAvailable, Applied, Failed };

// The servers the system says the adapter uses, IPv4 and IPv6; nothing when it does not say
// (Wine, Windows without the functions, or an adapter it does not list).
using ServersInUse = std::optional<std::vector<std::wstring>>;

enum class Result {
    Applied,           // written everywhere, and Windows reports the servers in use
    Saved,             // written everywhere; Windows could not be told or does not say
    OtherServersInUse, // written everywhere and handed over, but Windows reports others
    Refused,           // written everywhere, but the running system refused them for now
    PartlyWritten,     // some writes failed
    NotWritten,        // no write succeeded
    InvalidAdapter,    // the adapter's name is no interface GUID: nothing written
    NoRestorePoint,    // the previous servers could not be recorded: nothing written
    NothingToRestore,  // Restore without a record
    BadRestoreRecord,  // a record that is no list of servers: nothing written
    BadTemplate,       // Apply with a DoH template Keldrast does not accept: nothing written
    Busy,              // another change kept the settings file too long: nothing written
    UnusableServer,    // Apply with an address no DNS server can have (why says which)
};

// What came of encrypted DNS in a change.
enum class DohResult {
    NotAsked,    // Default and Restore, which show no encryption line
    Encrypted,   // DoH settings written and handed to the running system
    OnReconnect, // written; the running system could not be told, so from the next connection
    Deferred,    // written; the running system refused them and took the servers without them
    NoTemplate,  // the servers publish no template: plain DNS, earlier DoH settings removed
    Off,         // the setting is off: plain DNS, earlier DoH settings removed
    NotOffered,  // this Windows offers no DoH per adapter: nothing DoH-related written
    Forbidden,   // the administrator's policy prohibits DoH: nothing DoH-related written
    NotWritten,  // the DoH settings could not be written (or removed)
};
struct DohOutcome {
    DohResult result = DohResult::NotAsked;
    DohMode mode = kDefaultDohMode;
    DohPolicy policy = DohPolicy::NotConfigured;
    std::wstring url{};               // the template asked for
    std::vector<DohServer> servers{}; // the servers written with it
};

// One change and what came of it: what the engine did, and its verdict.
struct ChangeOutcome {
    ChangeKind kind = ChangeKind::Apply;
    Result result = Result::NotWritten;
    std::wstring service{};
    Writes written{};
    InterfaceDnsResult live = InterfaceDnsResult::NotAvailable;
    std::wstring servers{}, servers6{}; // written; for Restore what CurrentControlSet now holds
    ServersInUse inUse{};               // read back after the change
    bool recorded = false;              // this change made the adapter's restore record
    std::wstring why{};                 // NoRestorePoint: what could not be read or written
    std::vector<Warning> warnings{};    // what may keep the change from taking effect
    DohOutcome doh{};
};

// What the read-back shows against what was applied. For Default (nothing applied) any
// reported list counts as applied: the servers then come from DHCP.
enum class ReadBack { AsApplied, Differs, NotReported };
ReadBack readBack(const std::vector<std::wstring>& applied, const ServersInUse& inUse);

// The verdict on a change whose writes were made.
Result judge(const Writes& written, InterfaceDnsResult live,
             const std::vector<std::wstring>& applied, const ServersInUse& inUse);
// Every server the outcome wrote, IPv4 then IPv6.
std::vector<std::wstring> appliedServers(const ChangeOutcome& outcome);

// The encryption of an Apply in words: "DNS over HTTPS (dns.google)" or why not. Empty for
// Default and Restore unless their DoH settings could not be written.
std::wstring encryptionVerdict(const ChangeOutcome& outcome);

// The outcome's verdict in words, as both front ends say it: one or two sentences.
std::wstring verdictText(const ChangeOutcome& outcome, std::wstring_view settingsPath = {});

// Whether the verdict says Windows uses other servers than the change wrote: the read-back
// differs, or the running system refused them for now.
bool otherServersInUse(const ChangeOutcome& outcome);
// Whether the change was saved but is not in force: other servers in use, the adapter is not
// connected (or bound to a virtual switch only), or a policy rule sends every name elsewhere.
bool savedNotInForce(const ChangeOutcome& outcome);
// For a change saved but not in force: what the user can do about it, one line each, in plain
// words for the window and the notification area; empty otherwise.
std::vector<std::wstring> nextSteps(const ChangeOutcome& outcome);

struct Notice {
    std::wstring text;
    unsigned flags = kInformationFlags;
    bool operator==(const Notice&) const = default;
};
// The window's message after a change. appliedName is the catalogue entry or "Custom DNS...".
Notice changeNotice(const ChangeOutcome& outcome, std::wstring_view adapterDescription,
                    std::wstring_view appliedName = {}, std::wstring_view settingsPath = {});
// The window's one message after a change of several adapters: a line per adapter (its
// description at the same index), then the warnings once.
Notice changeEachNotice(const std::vector<ChangeOutcome>& outcomes,
                        const std::vector<std::wstring>& adapterDescriptions,
                        std::wstring_view appliedName = {}, std::wstring_view settingsPath = {});
// Whether the change wrote anything, so that the adapter counts as changed.
bool changedAnything(const ChangeOutcome& outcome);
// The window's question before a change that cannot record the previous servers.
std::wstring noRestorePointQuestion(const ChangeOutcome& outcome);

// The adapter's DNS settings as the tool tip, "Current DNS servers" and /list show them.
struct CurrentDns {
    std::optional<std::wstring> static4, static6; // NameServer of CurrentControlSet
    std::optional<std::wstring> dhcp4, dhcp6;     // DhcpNameServer
    ServersInUse inUse;
    std::optional<AdapterStatus> status{};              // nothing when Windows does not say
    std::vector<DohServer> doh{};                       // DoH settings under Dnscache
    std::optional<std::vector<DohServer>> dohInForce{}; // as Windows reports them, where it does
    std::vector<DohServer>
        wellKnown{}; // the system's list entries of the automatic-template servers
};
// Label and value of each line: "Connection", "IPv4 servers set", "IPv6 servers set",
// "Automatic (DHCP)", "In use", "Encrypted".
std::vector<std::pair<std::wstring, std::wstring>> currentDnsLines(const CurrentDns& current);
std::wstring currentDnsText(std::wstring_view adapterDescription, const CurrentDns& current);
// The adapter's encryption (the tool tip, "Current DNS servers" and /list): the servers with a
// template, then encryptionText of its DoH settings and of those Windows reports in force.
std::wstring currentEncryptionText(const CurrentDns& current);
// "8.8.8.8, 8.8.4.4", or "none".
std::wstring serversText(const std::vector<std::wstring>& servers);

enum class FlushResult { Started, Flushed, NotStarted, Failed, TimedOut };
struct FlushOutcome {
    FlushResult result = FlushResult::NotStarted;
    unsigned long exitCode = 0; // Failed: ipconfig's exit code
};
// What came of it in words; Started and Flushed are successes.
std::wstring flushText(const FlushOutcome& outcome);

// The flush command: ipconfig.exe of the system directory by full path, never by bare
// name, so that a program file planted beside this one cannot run in its place. Empty
// when the system directory is unknown.
struct ProcessCommand {
    std::wstring application;
    std::wstring commandLine;
};
ProcessCommand flushCommand(std::wstring_view systemDirectory);

} // namespace dns
