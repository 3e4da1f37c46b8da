// The speed test itself: real DNS queries over UDP to every server of the given catalogue
// entries, at most 16 servers in flight, each reply timed from its send with the performance
// counter. Runs on the calling thread until done or cancelled; the window runs it on a worker
// thread, the command line on its own.
#pragma once

#include "catalogue/catalogue.h"
#include "dns/speedresult.h"
#include "toolkit/platform.h"

#include <atomic>
#include <functional>
#include <vector>

namespace dns {

struct SpeedOptions {
    int tries = 5;           // queries per server; the first may only warm its cache
    int timeoutMs = 1000;    // per query; a server that lets one pass is not asked again
    int maxInFlight = 16;    // servers being measured at once
    unsigned short port = 0; // every server on this port; 0: 53 (or the port handler's)
};

// Called on the running thread as each entry finishes, with its index in `entries`.
using SpeedProgress = std::function<void(std::size_t index, const EntryResult& result)>;

// Measures every server of every entry. The results are in the order of `entries`; an entry
// without servers finishes at once with none. When `cancel` turns true the run stops within a
// few milliseconds, sockets closed, and entries not yet done come back with finished == false.
std::vector<EntryResult> runSpeedTest(const std::vector<app::CatalogueEntry>& entries,
                                      const SpeedOptions& options,
                                      const SpeedProgress& progress = {},
                                      const std::atomic<bool>* cancel = nullptr);

// The port of each server when the options name none: 53, unless a handler set here gives
// another for that entry's server (0 from it means 53). Tests reach their loopback responders,
// each on a port of its own, this way.
using ServerPortHandler = std::function<unsigned short(std::size_t entry, ServerRole role)>;
inline tk::Seam<ServerPortHandler> serverPortSeam;
using ScopedServerPorts = tk::ScopedHandler<serverPortSeam>;

// While on, servers outside loopback (isLoopbackAddress) are never sent anything and show
// "no answer". The test programs turn it on for their whole run. Returns the previous setting.
bool setLoopbackOnly(bool on);

} // namespace dns
