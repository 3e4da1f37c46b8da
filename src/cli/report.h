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
};

// UTF-8 of a wide text; a lone surrogate becomes U+FFFD.
std::string toUtf8(std::wstring_view text);
// The inverse, for the elevated copy's output; malformed bytes become U+FFFD.
std::wstring fromUtf8(std::string_view bytes);
// A JSON string literal, quotes included.
std::wstring jsonString(std::wstring_view text);

std::wstring usageText();

// /version: the version, the settings file in use and why it is there.
std::wstring versionText(std::wstring_view version, std::wstring_view settingsFile,
                         app::SettingsPlace place);
std::wstring versionJson(std::wstring_view version, std::wstring_view settingsFile,
                         app::SettingsPlace place);

// An adapter as /list shows it: its static, DHCP and in-use servers as the window's
// "Current DNS servers" reads them.
struct AdapterView {
    std::wstring description{};
    std::wstring service{};
    app::CurrentDns current{};
};
std::wstring listText(const std::vector<AdapterView>& adapters);
std::wstring listJson(const std::vector<AdapterView>& adapters);

std::wstring catalogueText(const std::vector<app::CatalogueEntry>& entries);
std::wstring catalogueJson(const std::vector<app::CatalogueEntry>& entries);

// The adapter that /adapter A names (a 1-based position, a GUID, or a description, compared
// without regard to case or surrounding spaces), or the only one when A is not given.
struct AdapterChoice {
    std::optional<std::size_t> index{};
    int exitCode = kDone;
    std::wstring message{}; // when no index: why, naming the choices
};
AdapterChoice chooseAdapter(const std::vector<AdapterView>& adapters,
                            const std::optional<std::wstring>& wanted);

// The entry /set NAME names: equal after trimming, or else equal but for letter case, as the
// settings file's keys compare.
std::optional<std::size_t> findEntry(const std::vector<app::CatalogueEntry>& entries,
                                     std::wstring_view name,
                                     const app::CaseFold& fold = app::foldAscii);

// A change made to one adapter and what the system then reported.
struct ChangeResult {
    Verb verb = Verb::Set;
    std::size_t adapterIndex = 0; // 0-based
    std::wstring adapter{};       // description
    std::wstring service{};
    std::wstring entry{};   // /set: the entry's name
    std::wstring servers{}; // what was written, comma-separated; empty: automatic
    std::wstring servers6{};
    bool validService = true;
    app::ControlSetWrites written{};
    app::InterfaceDnsResult live = app::InterfaceDnsResult::NotAvailable;
    std::optional<std::vector<std::wstring>> inUse{}; // read back after the change
};
struct Verdict {
    int exitCode = kDone;
    std::wstring result{}; // "applied", "saved", "other-servers-in-use", "partly-written"...
    std::wstring message{};
    bool operator==(const Verdict&) const = default;
};
Verdict judge(const ChangeResult& change);
std::wstring changeText(const ChangeResult& change, const Verdict& verdict);
std::wstring changeJson(const ChangeResult& change, const Verdict& verdict);

// What an elevated copy printed, as it hands it back through its channel file: a header line
// with the byte counts of both streams, then both streams in UTF-8.
struct Printed {
    std::wstring out{}, err{};
    bool operator==(const Printed&) const = default;
};
std::string encodeChannel(const Printed& printed);
// Nothing when the bytes are not such a record (the copy never wrote it, or was cut short).
std::optional<Printed> decodeChannel(std::string_view bytes);

// A failed command as one JSON line.
std::wstring errorJson(std::wstring_view command, int exitCode, std::wstring_view message);

} // namespace cli
