// What the command line prints and which exit code it gives: usage, the adapter list, the
// catalogue and the result of a change, each as text and as one JSON document; choosing the
// adapter and the catalogue entry a command names. Pure: the shell gathers the facts.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/catalogue.h"
#include "catalogue/settings_location.h"
#include "cli/command.h"
#include "dns/dnsplan.h"
#include "dns/netrules.h"
#include "toolkit/json.h"

namespace cli {

// The exit codes, as the README lists them.
enum Exit : int {
    kDone = 0,
    kBadArguments = 1,
    kUnknownTarget = 2,
    kNotAdministrator = 3,
    kNotWritten = 4,
    kOtherServersInUse = 5,
    kPartlyWritten = 6,
    kNoRestorePoint = 7, // the previous servers could not be recorded; nothing changed
    kOutputFailed = 8,   // done, but the report could not be written to the standard output
    kCopyTimedOut = 9,   // the elevated copy did not finish in time
    kInternalError = 10, // a crash or abort, here or in the elevated copy
};

std::wstring usageText();

// /version: the version, the settings file in use and why it is there.
std::wstring versionText(std::wstring_view version, std::wstring_view settingsFile,
                         catalogue::SettingsPlace place);
std::wstring versionJson(std::wstring_view version, std::wstring_view settingsFile,
                         catalogue::SettingsPlace place);

// An adapter as /list shows it: its static, DHCP and in-use servers as the window's
// "Current DNS servers" reads them.
struct AdapterView {
    std::wstring description{};
    std::wstring service{};
    dns::CurrentDns current{};
};
std::wstring listText(const std::vector<AdapterView>& adapters);
std::wstring listJson(const std::vector<AdapterView>& adapters);

std::wstring catalogueText(const std::vector<catalogue::CatalogueEntry>& entries);
std::wstring catalogueJson(const std::vector<catalogue::CatalogueEntry>& entries);

// The adapter that /adapter A names (a 1-based position, a GUID, or a description, compared
// without regard to case or surrounding spaces), or the only one when A is not given.
struct AdapterChoice {
    std::optional<std::size_t> index{};
    int exitCode = kDone;
    std::wstring message{}; // when no index: why, naming the choices
};
AdapterChoice chooseAdapter(const std::vector<AdapterView>& adapters,
                            const std::optional<std::wstring>& wanted);
// As chooseAdapter, and also "/adapter connected" (every connected adapter: several) and
// "/adapter default" (the one the default route leaves through), from what Windows reports.
struct AdapterChoices {
    std::vector<std::size_t> indices{};
    bool several = false; // the command names every connected adapter
    int exitCode = kDone;
    std::wstring message{}; // when no index: why
};
AdapterChoices chooseAdapters(const std::vector<AdapterView>& adapters,
                              const std::optional<std::wstring>& wanted,
                              const dns::NetworkState& state);

// The entry /set NAME names: equal after trimming, or else equal but for letter case, as the
// settings file's keys compare.
std::optional<std::size_t> findEntry(const std::vector<catalogue::CatalogueEntry>& entries,
                                     std::wstring_view name, const catalogue::CaseFold& fold);

// The entries nearest to a name the catalogue lacks: those whose names start with it, letter
// case aside; failing those, the ones fewest edits away, if that is at most a third of its
// length (two for short names). At most three, in catalogue order.
std::vector<std::size_t> nearestEntries(const std::vector<catalogue::CatalogueEntry>& entries,
                                        std::wstring_view name, const catalogue::CaseFold& fold);
// Why /set NAME found no entry, with the nearest ones: Did you mean "Google DNS"?
std::wstring unknownEntryMessage(const std::vector<catalogue::CatalogueEntry>& entries,
                                 std::wstring_view name, const catalogue::CaseFold& fold);
// When the words after /set (ParseError::setWords) make one entry's name: how to quote it.
// Empty when they do not.
std::wstring quotingHint(const std::vector<catalogue::CatalogueEntry>& entries,
                         const std::vector<std::wstring>& words, const catalogue::CaseFold& fold,
                         std::wstring_view command = L"set");

// A change made to one adapter and its outcome, as the engine gave it.
struct ChangeReport {
    Verb verb = Verb::Set;
    std::size_t adapterIndex = 0; // 0-based
    std::wstring adapter{};       // description
    std::wstring entry{};         // /set: the entry's name
    dns::ChangeOutcome outcome{};
};
int exitCode(dns::Result result);
// The change's exit code as its text reads: 5 whenever the verdict says Windows still uses other
// servers, also for "saved" with a read-back that differs. Warnings never change it.
int exitCode(const dns::ChangeOutcome& outcome);
// "applied", "saved", "other-servers-in-use"...: the verdict's name in JSON.
std::wstring_view resultName(dns::Result result);
// The engine's verdict in the command line's words, one line per sentence.
std::wstring verdictMessage(const dns::ChangeOutcome& outcome, std::wstring_view settingsPath);
// What was changed: the entry and adapter, then the servers written and in use.
std::wstring changeText(const ChangeReport& report);
std::wstring changeJson(const ChangeReport& report, std::wstring_view message);
// The same change to several adapters: the worst exit code of them all (nothing changed is
// worse than a partial write, which is worse than servers not yet in use), and one document
// with each adapter's change and the warnings once.
int worstExitCode(const std::vector<int>& codes);
std::wstring changeEachJson(const std::vector<ChangeReport>& reports,
                            const std::vector<std::wstring>& messages);
// Each warning once, in order of first appearance.
std::vector<dns::Warning> uniqueWarnings(const std::vector<ChangeReport>& reports);

// /networks: each connected network, its listed adapters and its rule. In JSON a rule is the
// entry's name, {"automatic":true} for the automatic servers, or null without one.
std::wstring networksText(const std::vector<dns::Network>& networks,
                          const dns::CheckedRules& rules);
std::wstring networksJson(const std::vector<dns::Network>& networks,
                          const dns::CheckedRules& rules);

// /apply-rules: what each network's rule did to each of its adapters.
struct RuleChange {
    dns::Network network{};
    dns::NetworkRule rule{};
    std::vector<ChangeReport> reports{};
    std::vector<std::wstring> messages{};
};
std::wstring applyRulesText(const std::vector<RuleChange>& changes);
std::wstring applyRulesJson(const std::vector<RuleChange>& changes,
                            const std::vector<dns::RefusedRule>& refused, int exitCode,
                            std::wstring_view message);

// A failed command as one JSON line.
std::wstring errorJson(std::wstring_view command, int exitCode, std::wstring_view message);

} // namespace cli
