// The speed test's DNS-over-HTTPS question (RFC 8484): where a template sends it, which server
// of an entry it is timed for, and what counts as an answer. An HTTP error, a TLS failure or a
// body that is not the DNS answer to the question is an error, never a time. Pure: the HTTPS
// exchange itself is in dohclient.cpp.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/catalogue.h"
#include "dns/speedresult.h"

namespace dns {

// What a POST is sent to: the template's host, port (443 unless given) and path with its query
// but without URI-template variables such as "{?dns}".
struct DohEndpoint {
    std::wstring host;
    bool hostIsAddress = false;
    unsigned short port = 443;
    std::wstring path;
    bool operator==(const DohEndpoint&) const = default;
};
std::optional<DohEndpoint> dohEndpoint(std::wstring_view url);

// The server of an entry its DoH figure belongs to: the first, in role order, that the template
// serves. Nothing without a usable template, or under the loopback guard unless the template's
// host is a loopback address (no host name is looked up then).
std::optional<ServerRole> dohRole(const catalogue::CatalogueEntry& entry, bool loopbackGuard);
// Whether any entry is asked over DoH (the window's DoH column).
bool anyDoh(const std::vector<catalogue::CatalogueEntry>& entries, bool loopbackGuard);

// What came back over HTTPS.
enum class HttpsResult { Response, TlsFailure, TimedOut, Failed };
struct DohExchange {
    HttpsResult result = HttpsResult::Failed;
    int status = 0;             // the HTTP status of a response
    std::wstring contentType{}; // its Content-Type, as sent
    std::vector<std::uint8_t> body{};
};

// Why the exchange is no answer to the query that had `id` and asked `name` ("HTTP 500", "TLS
// failure", "not a DNS answer", "no answer", or the DNS error's name); nothing when it is one.
// A DNS answer counts as one whatever its response code, as over UDP, unless that code is an
// error.
std::optional<std::wstring> dohProblem(const DohExchange& exchange, std::uint16_t id,
                                       std::string_view name);

} // namespace dns
