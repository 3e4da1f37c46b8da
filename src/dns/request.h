// The one way from what the user picked to what the engine runs: a catalogue entry, typed
// servers, DNS Default or Restore become a ChangeRequest here, for the window, the command line
// and the notification area alike, and checkRequest is the engine's own look at every server it
// is handed before anything is recorded or written. Pure.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/catalogue.h"
#include "dns/dnsplan.h"

namespace dns {

struct ChangeRequest {
    ChangeKind kind = ChangeKind::Apply;
    std::wstring service{};             // the adapter's interface GUID
    std::wstring servers{}, servers6{}; // Apply: comma-separated; empty: none of the family
    // Go ahead when the previous servers cannot be recorded (the user said so).
    bool withoutRestorePoint = false;
    // Apply: the entry's DoH template (empty: none) and the encrypted-DNS setting to use.
    std::wstring dohTemplate{};
    DohMode doh = kDefaultDohMode;
};

// A catalogue entry with its IPv6 pair and template. Nothing when the entry lacks its preferred
// IPv4 server (a missing or unset part): the window asks for the addresses then. An entry
// without an alternate server (or with an unset one) applies its preferred server alone.
// Each part is cleaned as the address fields clean it (catalogue::gtIP); whether it is a server
// at all is the engine's question.
std::optional<ChangeRequest> entryRequest(const catalogue::CatalogueEntry& entry, DohMode mode);
// Servers typed by the user or given on the command line, without IPv6 servers unless given
// (so earlier static IPv6 servers are cleared) and with a template only when given.
ChangeRequest typedRequest(const std::vector<std::wstring>& servers,
                           const std::vector<std::wstring>& servers6, std::wstring dohTemplate,
                           DohMode mode);
ChangeRequest defaultRequest();
ChangeRequest restoreRequest();

// Checks every server of an Apply (dns::checkServer) and puts them in canonical text. Empty
// when the request may go ahead; otherwise the refusal, naming the address and the reason.
std::wstring checkRequest(ChangeRequest& request);

// The servers an entry's request writes, in canonical text, IPv4 then IPv6 lists; nothing when
// the entry's request would be refused.
struct EntryServers {
    std::vector<std::wstring> v4, v6;
    bool operator==(const EntryServers&) const = default;
};
std::optional<EntryServers> entryServers(const catalogue::CatalogueEntry& entry);

// The window's question before an Apply to every connected adapter: each adapter that will
// change, and the servers the request gives them (IPv6 only when it has some). appliedName is
// the catalogue entry, or "Custom DNS..." for typed servers.
std::wstring changeEachQuestion(const ChangeRequest& request,
                                const std::vector<std::wstring>& adapterDescriptions,
                                std::wstring_view appliedName);

} // namespace dns
