// Encrypted DNS (DNS over HTTPS) per adapter: the user's setting, the administrator's policy,
// which servers a template serves, what Windows keeps per server, and the words every front
// end uses for an adapter's encryption. Pure: the registry and the system calls are in
// change.cpp and readback.cpp.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/catalogue.h"
#include "dns/address.h"

namespace dns {

// The encrypted-DNS setting is the settings file's (catalogue.h); the engine uses it by name.
using catalogue::DohMode;
using catalogue::dohModeName;
using catalogue::dohModeNamed;
using catalogue::kDefaultDohMode;

// The administrator's encrypted-DNS policy under HKLM\SOFTWARE\Policies\Microsoft\Windows
// NT\DNSClient: DoHPolicy 1 prohibits, 2 allows, 3 requires; the newer template's
// DohPolicySetting 1 blocks DoH whatever DoHPolicy says (it may leave DoT allowed or required).
enum class DohPolicy { NotConfigured, Forbidden, Allowed, Required };
DohPolicy dohPolicyOf(std::optional<std::uint32_t> dohPolicy,
                      std::optional<std::uint32_t> dohPolicySetting = std::nullopt);

// Whether Windows has the DoH client per adapter: GetInterfaceDnsSettings' answer to a version-3
// record where it has one (probe), otherwise the build: Windows Server 2022 (20348) and later.
inline constexpr std::uint32_t kFirstDohBuild = 20348;
bool offersDohPerAdapter(std::optional<bool> probe, std::uint32_t build);

// DohFlags of a server (the values of DNS_DOH_SERVER_SETTINGS.Flags): the template taken from
// the system's list of known servers (no DohTemplate; Settings' "automatic template"), the
// template given, and plain DNS allowed when the encrypted query fails.
inline constexpr std::uint64_t kDohAutomaticTemplate = 0x1;
inline constexpr std::uint64_t kDohTemplateGiven = 0x2;
inline constexpr std::uint64_t kDohFallbackToPlain = 0x4;
std::uint64_t dohFlags(DohMode mode);
// Every flag Windows defines: template from the system list, template given, fallback, and
// upgrade of a name resolution policy rule's server of the same address.
inline constexpr std::uint64_t kKnownDohFlags = 0x1 | kDohTemplateGiven | kDohFallbackToPlain | 0x8;
// The most DoH servers a restore record may hold per family: Windows asks a family's servers
// in turn, and no adapter's list comes near this, so more is a forged record, not a state.
inline constexpr std::size_t kMaxDohServersPerFamily = 16;

inline constexpr std::size_t kMaxTemplateLength = 512;
// A template Keldrast accepts: "https://" then a host that is a name (or, when server is given,
// that server's own address, IPv6 in brackets), an optional port and path; no spaces or control
// characters; at most kMaxTemplateLength characters.
bool validTemplate(std::wstring_view url, std::wstring_view server = {});
// Why a template is refused, in one sentence; empty when it is accepted.
std::wstring templateProblem(std::wstring_view url);
// The host of a template ("dns.google"); empty when there is none.
std::wstring templateHost(std::wstring_view url);
// Whether the template serves that server: a named host serves every server, an address only
// itself (Windows refuses a template whose host is another server's address).
bool templateServes(std::wstring_view url, std::wstring_view server);

// One server's DoH settings as Windows keeps them: the key named after the address under Doh
// (IPv4) or Doh6 (IPv6), with DohFlags (REG_QWORD) and DohTemplate (REG_SZ), each may be absent.
struct DohServer {
    Family family = Family::V4;
    std::wstring address{};
    std::optional<std::uint64_t> flags{};
    std::optional<std::wstring> url{};
    bool operator==(const DohServer&) const = default;
};
// An adapter's DohInterfaceSettings key: absent, or present with its servers.
struct DohSettings {
    bool present = false;
    std::vector<DohServer> servers{};
    bool operator==(const DohSettings&) const = default;
};
// The settings an Apply writes: every server of the lists that the template serves, with the
// mode's flags; absent when there is no template or the mode is off.
DohSettings dohSettingsFor(std::wstring_view url, DohMode mode, std::wstring_view servers4,
                           std::wstring_view servers6);
// The servers of a family's list that have DoH settings, with their index in the list.
struct IndexedDohServer {
    std::size_t index = 0;
    DohServer server;
};
std::vector<IndexedDohServer> dohServersOf(const DohSettings& settings, Family family,
                                           std::wstring_view servers);

// Whether the server's settings ask for encryption: a template with the "template given" flag,
// or the automatic template.
bool encrypts(const DohServer& server);
// An adapter's encryption as a front end shows it, one short phrase: "DNS over HTTPS
// (dns.google)", "DNS over HTTPS (dns.google), plain when it fails", "DNS over HTTPS (automatic
// template: dns.google)", "no". inForce: what Windows reports in force, when it
// reports it; wellKnown: the system's list entries (DohWellKnownServers) of the servers with the
// automatic template, which name its host.
std::wstring encryptionText(const std::vector<DohServer>& configured,
                            const std::optional<std::vector<DohServer>>& inForce = std::nullopt,
                            const std::vector<DohServer>& wellKnown = {});
// Whether any configured server asks for encryption.
bool anyEncrypted(const std::vector<DohServer>& configured);

} // namespace dns
