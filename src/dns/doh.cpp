#include "dns/doh.h"
#include "toolkit/trim.h"

#include <algorithm>

namespace dns {

namespace {

constexpr std::wstring_view kScheme = L"https://";

// The parts of a template's authority; nothing when it is not "host[:port]" or "[v6][:port]".
struct Authority {
    std::wstring host;
    bool literal6 = false; // written in brackets
};
std::optional<Authority> authorityOf(std::wstring_view url) {
    if (url.size() < kScheme.size() || tk::foldAscii(url.substr(0, kScheme.size())) != kScheme)
        return std::nullopt;
    url.remove_prefix(kScheme.size());
    std::wstring_view authority = url.substr(0, url.find_first_of(L"/?#"));
    if (authority.find(L'@') != authority.npos) return std::nullopt; // no user names
    Authority parsed;
    std::wstring_view port;
    if (authority.starts_with(L'[')) {
        const auto close = authority.find(L']');
        if (close == authority.npos) return std::nullopt;
        parsed.host = authority.substr(1, close - 1);
        parsed.literal6 = true;
        authority.remove_prefix(close + 1);
        if (!authority.empty() && authority.front() != L':') return std::nullopt;
        if (!authority.empty()) port = authority.substr(1);
        if (!authority.empty() && port.empty()) return std::nullopt;
    } else {
        const auto colon = authority.find(L':');
        parsed.host = authority.substr(0, colon);
        if (colon != authority.npos) {
            port = authority.substr(colon + 1);
            if (port.empty()) return std::nullopt;
        }
    }
    if (!port.empty()) {
        if (port.size() > 5 || !std::all_of(port.begin(), port.end(),
                                            [](wchar_t c) { return c >= L'0' && c <= L'9'; }))
            return std::nullopt;
        if (std::stoul(std::wstring(port)) - 1 >= 65535) return std::nullopt;
    }
    if (parsed.host.empty()) return std::nullopt;
    return parsed;
}

// A DNS host name: labels of letters, digits and hyphens, not all digits (that is an address).
bool isHostName(std::wstring_view host) {
    if (host.size() > 253) return false;
    bool onlyDigits = true;
    std::size_t start = 0;
    for (;;) {
        const auto end = std::min(host.find(L'.', start), host.size());
        const auto label = host.substr(start, end - start);
        if (label.empty() || label.size() > 63 || label.front() == L'-' || label.back() == L'-')
            return false;
        for (const wchar_t c : label) {
            const bool digit = c >= L'0' && c <= L'9';
            onlyDigits = onlyDigits && digit;
            if (!digit && !(c >= L'a' && c <= L'z') && !(c >= L'A' && c <= L'Z') && c != L'-')
                return false;
        }
        if (end == host.size()) break;
        start = end + 1;
    }
    return !onlyDigits;
}

// Whether a URL parser reads the host as an IPv4 address: its last label (a trailing dot
// aside) is a number, decimal or 0x hexadecimal. "0x08080808", "0x8.8.8.8", "010.8.8.8" and
// "8.8" are all addresses to it, whatever a DNS name check would say.
bool endsInNumber(std::wstring_view host) {
    if (host.ends_with(L'.')) host.remove_suffix(1);
    const auto last = host.substr(host.rfind(L'.') + 1);
    if (last.empty()) return false;
    const auto digits = [](std::wstring_view s, bool hex) {
        return std::all_of(s.begin(), s.end(), [hex](wchar_t c) {
            return (c >= L'0' && c <= L'9') ||
                   (hex && ((c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F')));
        });
    };
    if (digits(last, false)) return true;
    return last.size() >= 2 && last[0] == L'0' && (last[1] == L'x' || last[1] == L'X') &&
           digits(last.substr(2), true);
}

// The host as an address, canonical, read as a URL parser reads it; nothing when it is a name.
// A host that ends in a number but is no address gives "0.0.0.0", which serves no server.
std::optional<std::wstring> hostAddress(const Authority& authority) {
    if (authority.literal6) return canonicalAddress(Family::V6, authority.host);
    std::wstring_view host = authority.host;
    if (!endsInNumber(host)) return std::nullopt;
    if (host.ends_with(L'.')) host.remove_suffix(1);
    const auto number = classicIPv4(host).value_or(0);
    return ipv4Text({static_cast<std::uint8_t>(number >> 24),
                     static_cast<std::uint8_t>(number >> 16),
                     static_cast<std::uint8_t>(number >> 8), static_cast<std::uint8_t>(number)});
}

bool sameAddress(std::wstring_view a, std::wstring_view b) {
    const auto family = familyOf(a);
    return family && canonicalAddress(*family, a) == canonicalAddress(*family, b);
}

} // namespace

DohPolicy dohPolicyOf(std::optional<std::uint32_t> dohPolicy,
                      std::optional<std::uint32_t> dohPolicySetting) {
    if (dohPolicySetting == 1u) return DohPolicy::Forbidden;
    if (!dohPolicy) return DohPolicy::NotConfigured;
    switch (*dohPolicy) {
    case 1:
        return DohPolicy::Forbidden;
    case 2:
        return DohPolicy::Allowed;
    case 3:
        return DohPolicy::Required;
    default:
        return DohPolicy::NotConfigured;
    }
}

bool offersDohPerAdapter(std::optional<bool> probe, std::uint32_t build) {
    return probe ? *probe : build >= kFirstDohBuild;
}

std::uint64_t dohFlags(DohMode mode) {
    return kDohTemplateGiven | (mode == DohMode::Fallback ? kDohFallbackToPlain : 0);
}

std::wstring templateProblem(std::wstring_view url) {
    if (url.size() > kMaxTemplateLength) return L"A DoH template has at most 512 characters.";
    // Printable ASCII only: no control characters (C0, DEL, C1), no spaces of any kind, no
    // bidirectional or invisible marks, and no host names outside ASCII (punycode is ASCII).
    if (std::any_of(url.begin(), url.end(), [](wchar_t c) { return c <= 0x20 || c >= 0x7F; }))
        return L"A DoH template has only printable ASCII characters: no spaces or control "
               L"characters.";
    const auto authority = authorityOf(url);
    if (!authority)
        return L"A DoH template is an https:// address, such as https://dns.example/dns-query.";
    const bool numberNoAddress = !authority->literal6 && endsInNumber(authority->host) &&
                                 hostAddress(*authority) == L"0.0.0.0";
    if (numberNoAddress || (!hostAddress(*authority) && !isHostName(authority->host)))
        return L"The host of a DoH template is a name, such as dns.example, or the server's own "
               L"address.";
    return {};
}

bool validTemplate(std::wstring_view url, std::wstring_view server) {
    if (!templateProblem(url).empty()) return false;
    const auto address = hostAddress(*authorityOf(url));
    return !address || (!server.empty() && sameAddress(server, *address));
}

std::wstring templateHost(std::wstring_view url) {
    const auto authority = authorityOf(url);
    return authority ? authority->host : std::wstring();
}

bool templateServes(std::wstring_view url, std::wstring_view server) {
    const auto authority = authorityOf(url);
    if (!authority) return false;
    const auto address = hostAddress(*authority);
    return !address || sameAddress(server, *address);
}

DohSettings dohSettingsFor(std::wstring_view url, DohMode mode, std::wstring_view servers4,
                           std::wstring_view servers6) {
    DohSettings settings;
    if (url.empty() || mode == DohMode::Off) return settings;
    settings.present = true;
    for (const Family family : kFamilies)
        for (const auto& server : serverList(family == Family::V4 ? servers4 : servers6)) {
            const auto address = canonicalAddress(family, server);
            if (address && templateServes(url, *address))
                settings.servers.push_back({family, *address, dohFlags(mode), std::wstring(url)});
        }
    return settings;
}

std::vector<IndexedDohServer> dohServersOf(const DohSettings& settings, Family family,
                                           std::wstring_view servers) {
    std::vector<IndexedDohServer> found;
    const auto list = serverList(servers);
    for (std::size_t i = 0; i < list.size(); ++i)
        for (const auto& server : settings.servers)
            if (server.family == family && sameAddress(list[i], server.address) && server.flags) {
                found.push_back({i, server});
                break;
            }
    return found;
}

bool encrypts(const DohServer& server) {
    return server.flags && ((server.url && (*server.flags & kDohTemplateGiven)) ||
                            (*server.flags & kDohAutomaticTemplate));
}

bool anyEncrypted(const std::vector<DohServer>& configured) {
    return std::any_of(configured.begin(), configured.end(), encrypts);
}

std::wstring encryptionText(const std::vector<DohServer>& configured,
                            const std::optional<std::vector<DohServer>>& inForce,
                            const std::vector<DohServer>& wellKnown) {
    // A given template wins over the automatic one when both flags are set.
    const auto automaticHost = [&](const DohServer& server) {
        std::wstring text = L"automatic template";
        for (const auto& known : wellKnown)
            if (known.url && known.family == server.family &&
                sameAddress(known.address, server.address)) {
                const auto host = templateHost(*known.url);
                if (!host.empty()) return text + L": " + host;
            }
        return text;
    };
    std::vector<std::wstring> hosts;
    bool fallback = false, strict = false;
    for (const auto& server : configured) {
        if (!encrypts(server)) continue;
        const std::wstring host = server.url && (*server.flags & kDohTemplateGiven)
                                      ? templateHost(*server.url)
                                      : automaticHost(server);
        if (std::find(hosts.begin(), hosts.end(), host) == hosts.end()) hosts.push_back(host);
        (*server.flags & kDohFallbackToPlain ? fallback : strict) = true;
    }
    if (hosts.empty()) return L"no";
    std::wstring text = L"DNS over HTTPS (";
    for (std::size_t i = 0; i < hosts.size(); ++i)
        text += (i ? L", " : L"") + hosts[i];
    text += L")";
    if (fallback && !strict) text += L", plain when it fails";
    if (strict && !fallback) text += L", encrypted only";
    if (inForce) text += anyEncrypted(*inForce) ? L"; in force" : L"; not in force yet";
    return text;
}

} // namespace dns
