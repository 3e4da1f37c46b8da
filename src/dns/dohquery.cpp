#include "dns/dohquery.h"

#include "dns/address.h"
#include "dns/dnsmessage.h"
#include "dns/doh.h"
#include "toolkit/trim.h"

namespace dns {

std::optional<DohEndpoint> dohEndpoint(std::wstring_view url) {
    if (!templateProblem(url).empty()) return std::nullopt;
    DohEndpoint endpoint;
    endpoint.host = templateHost(url);
    endpoint.hostIsAddress = familyOf(endpoint.host).has_value();
    std::wstring_view rest = url.substr(8); // after "https://"
    const auto pathStart = rest.find_first_of(L"/?#");
    std::wstring_view authority = rest.substr(0, pathStart);
    const auto close = authority.rfind(L']');
    const auto colon = authority.rfind(L':');
    if (colon != authority.npos && (close == authority.npos || colon > close))
        endpoint.port =
            static_cast<unsigned short>(std::stoul(std::wstring(authority.substr(colon + 1))));
    std::wstring path(pathStart == rest.npos ? L"/" : rest.substr(pathStart));
    if (const auto hash = path.find(L'#'); hash != path.npos) path.erase(hash);
    // URI-template variables ("{?dns}") are for GET; a POST leaves them out.
    for (auto open = path.find(L'{'); open != path.npos; open = path.find(L'{')) {
        const auto end = path.find(L'}', open);
        if (end == path.npos) return std::nullopt;
        path.erase(open, end - open + 1);
    }
    if (path.empty() || path.front() != L'/') path.insert(path.begin(), L'/');
    endpoint.path = std::move(path);
    return endpoint;
}

std::optional<ServerRole> dohRole(const catalogue::CatalogueEntry& entry, bool loopbackGuard) {
    const auto endpoint = dohEndpoint(entry.doh);
    if (!endpoint) return std::nullopt;
    if (loopbackGuard && !(endpoint->hostIsAddress && isLoopback(endpoint->host)))
        return std::nullopt;
    const auto addresses = serverAddresses(entry);
    for (int role = 0; role < kServerRoles; ++role)
        if (!addresses[role].empty() && validTemplate(entry.doh, addresses[role]))
            return static_cast<ServerRole>(role);
    return std::nullopt;
}

bool anyDoh(const std::vector<catalogue::CatalogueEntry>& entries, bool loopbackGuard) {
    for (const auto& entry : entries)
        if (dohRole(entry, loopbackGuard)) return true;
    return false;
}

std::optional<std::wstring> dohProblem(const DohExchange& exchange, std::uint16_t id,
                                       std::string_view name) {
    switch (exchange.result) {
    case HttpsResult::TlsFailure:
        return L"TLS failure";
    case HttpsResult::TimedOut:
    case HttpsResult::Failed:
        return L"no answer";
    case HttpsResult::Response:
        break;
    }
    if (exchange.status != 200) return L"HTTP " + std::to_wstring(exchange.status);
    const auto type = tk::foldAscii(exchange.contentType);
    if (type.substr(0, type.find(L';')) != L"application/dns-message")
        return std::wstring(L"not a DNS answer");
    const auto reply = parseReply(exchange.body, id, name);
    if (reply.check != ReplyCheck::Answer) return std::wstring(L"not a DNS answer");
    if (reply.rcode != kNoError && reply.rcode != kNameError) {
        const auto code = rcodeName(reply.rcode);
        return std::wstring(code.begin(), code.end());
    }
    return std::nullopt;
}

} // namespace dns
