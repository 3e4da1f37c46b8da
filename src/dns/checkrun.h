// The check run for real: each of an adapter's servers asked directly with the speed test's
// sockets, then Windows' resolver asked on the adapter's interface (DnsQueryEx, from the system
// folder's dnsapi.dll), and the answers judged by check.h. Changes nothing; needs no elevation.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dns/check.h"
#include "toolkit/platform.h"

namespace dns {

struct CheckOptions {
    bool direct = false;     // the servers only, not Windows' resolver
    int timeoutMs = 2000;    // for every server at once
    unsigned short port = 0; // every server on this UDP port; 0: 53 (or the route's)
};

// The check of a listed adapter (its interface GUID), its servers read as currentDns reads them.
CheckReport runCheck(std::wstring_view description, std::wstring_view service,
                     const CheckOptions& options);
// The same for given servers and interface index (0: any).
CheckReport runCheck(std::wstring_view description, const std::vector<std::wstring>& servers,
                     unsigned long ifIndex, const CheckOptions& options);

// Where a server is sent its questions: tests send a service address to a loopback responder.
// Nothing: the address itself, on options.port.
struct CheckRoute {
    std::wstring address;
    unsigned short port = 0;
};
using CheckRouteHandler = std::function<std::optional<CheckRoute>(const std::wstring& server)>;
inline tk::Seam<CheckRouteHandler> checkRouteSeam;
using ScopedCheckRoute = tk::ScopedHandler<checkRouteSeam>;

// One question to Windows' resolver on an interface. failure: the system's error when it gave
// no DNS answer at all (DnsQueryEx missing, timed out...).
struct ResolverReply {
    CheckAnswer answer{};
    std::optional<unsigned long> failure{};
};
using ResolverQueryHandler =
    std::function<ResolverReply(std::string_view name, std::uint16_t type, unsigned long ifIndex)>;
// The real one asks this machine's resolver, which may send anywhere: while
// KELDRAST_LOOPBACK_ONLY is on and no handler is installed, the resolver is not asked at all.
inline tk::Seam<ResolverQueryHandler> resolverQuerySeam;
using ScopedResolverQuery = tk::ScopedHandler<resolverQuerySeam>;

} // namespace dns
