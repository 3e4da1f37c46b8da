// The speed test itself: real DNS queries over UDP to every server of the given catalogue
// entries, the servers side by side, each reply timed from its send with the performance
// counter. Runs on the calling thread until done or cancelled; the window runs it on a worker
// thread, the command line on its own.
#pragma once

#include "catalogue/catalogue.h"
#include "dns/dnsmessage.h"
#include "dns/speedresult.h"
#include "toolkit/platform.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dns {

// The only names the test asks. The popular name is asked once to warm the cache, then timed.
// The uncached names are a fresh random label of kUncachedLabelLength letters and digits under
// the uncached zone: a zone of this program's own domain that is kept unsigned and without a
// wildcard, so a resolver can neither answer from a cached denial nor from a wildcard, and must
// ask the zone's servers, which say the name does not exist.
inline constexpr std::string_view kCachedName = "example.com";
inline constexpr std::string_view kUncachedZone = "speed.keldrast.example";
inline constexpr std::size_t kUncachedLabelLength = 16;

struct SpeedOptions {
    // Rounds per server: each asks the popular name and a fresh uncached name side by side,
    // and ends when both are answered or after timeoutMs; the first round's popular name only
    // warms the cache. A server thus takes at most tries x timeoutMs.
    int tries = 5;
    int timeoutMs = 1000;
    int maxInFlight = 64;    // servers being measured at once (a socket each)
    unsigned short port = 0; // every server on this port; 0: 53 (or the port handler's)
};

// Called on the running thread as each entry finishes, with its index in `entries`.
using SpeedProgress = std::function<void(std::size_t index, const EntryResult& result)>;

// Measures every server of every entry. The results are in the order of `entries`; an entry
// without servers finishes at once with none. When `cancel` turns true the run stops within a
// few milliseconds, sockets closed, and entries not yet done come back with finished == false.
// However many datagrams arrive, the run ends by tries x timeoutMs (per wave of maxInFlight
// servers) plus the time to read one batch of them.
std::vector<EntryResult> runSpeedTest(const std::vector<catalogue::CatalogueEntry>& entries,
                                      const SpeedOptions& options,
                                      const SpeedProgress& progress = {},
                                      const std::atomic<bool>* cancel = nullptr);

// The port of each server when the options name none: 53, unless a handler set here gives
// another for that entry's server (0 from it means 53). Tests reach their loopback responders,
// each on a port of its own, this way.
using ServerPortHandler = std::function<unsigned short(std::size_t entry, ServerRole role)>;
inline tk::Seam<ServerPortHandler> serverPortSeam;
using ScopedServerPorts = tk::ScopedHandler<serverPortSeam>;

// The same sockets asked once each, for the check: every question to every server side by side,
// one socket per server, until all are answered or timeoutMs has passed. replies[server][question]
// is nothing when no reply came in time (or the server could not be asked: more servers than
// one select() watches, an address that is not one, or one outside loopback while
// loopbackOnly()). A reply counts whatever its code.
struct AskedServer {
    std::wstring address;
    unsigned short port = 0; // 0: 53
};
struct AskedQuestion {
    std::string name;
    std::uint16_t type = kTypeA;
};
std::vector<std::vector<std::optional<Reply>>> askOnce(const std::vector<AskedServer>& servers,
                                                       const std::vector<AskedQuestion>& questions,
                                                       int timeoutMs);

// The test machines' guard: while KELDRAST_LOOPBACK_ONLY is set to anything but "" or "0",
// servers outside loopback (isLoopbackAddress) are never sent anything and show "no answer".
bool loopbackOnly();

} // namespace dns
