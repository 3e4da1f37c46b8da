// Non-blocking UDP sockets, one per server being measured, watched with select(). A server is
// asked its tries one after another; up to maxInFlight servers are asked side by side, so a
// silent one costs one timeout of wall time, not one per server.

// rand_s: the system's random numbers for the query IDs, without the C++ runtime's
// random_device and what it links in.
#define _CRT_RAND_S
#include "dns/speedtest.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include "dns/dnsmessage.h"
#include "toolkit/thread.h"

#include <algorithm>
#include <chrono>
#include <deque>
#include <optional>
#include <cstdlib>
#include <random>
#include <utility>

namespace dns {

namespace {

// A name every resolver can answer, and one a resolver keeps cached once asked: the figure is
// then the resolver's own round trip, which is what the user waits for on popular names.
constexpr std::string_view kQueryName = "example.com";
constexpr int kCancelPollMs = 10;
// Windows reports an ICMP "port unreachable" on the next receive of an unconnected UDP socket
// unless told not to; mingw's headers do not all carry the constant.
constexpr DWORD kUdpConnReset = IOC_IN | IOC_VENDOR | 12;

constexpr unsigned short kDnsPort = 53;
std::atomic<bool> g_loopbackOnly{false};

struct WinsockSession {
    bool ok;
    WinsockSession() {
        WSADATA data;
        ok = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }
    ~WinsockSession() {
        if (ok) WSACleanup();
    }
};

class Socket {
  public:
    Socket() = default;
    explicit Socket(SOCKET s) : s_(s) {}
    Socket(Socket&& other) noexcept : s_(std::exchange(other.s_, INVALID_SOCKET)) {}
    Socket& operator=(Socket&& other) noexcept {
        std::swap(s_, other.s_);
        return *this;
    }
    ~Socket() {
        if (s_ != INVALID_SOCKET) closesocket(s_);
    }
    SOCKET get() const { return s_; }
    explicit operator bool() const { return s_ != INVALID_SOCKET; }

  private:
    SOCKET s_ = INVALID_SOCKET;
};

struct Target {
    std::size_t entry;
    int role;
    sockaddr_storage address{};
    int addressLength = 0;
};

struct Flight {
    std::size_t target = 0;
    Socket socket;
    std::uint16_t id = 0;
    std::vector<std::uint8_t> query;
    LONGLONG sentAt = 0;
    LONGLONG deadline = 0;
    int answered = 0;
};

std::optional<Target> resolveTarget(std::size_t entry, int role, const std::wstring& text,
                                    unsigned short port) {
    Target target{entry, role};
    auto* v4 = reinterpret_cast<sockaddr_in*>(&target.address);
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&target.address);
    if (InetPtonW(AF_INET, text.c_str(), &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        v4->sin_port = htons(port);
        target.addressLength = sizeof(sockaddr_in);
    } else if (InetPtonW(AF_INET6, text.c_str(), &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(port);
        target.addressLength = sizeof(sockaddr_in6);
    } else {
        return std::nullopt;
    }
    return target;
}

bool sameSender(const Target& target, const sockaddr_storage& from, int fromLength) {
    if (fromLength < target.addressLength || from.ss_family != target.address.ss_family)
        return false;
    if (from.ss_family == AF_INET) {
        const auto& a = reinterpret_cast<const sockaddr_in&>(target.address);
        const auto& b = reinterpret_cast<const sockaddr_in&>(from);
        return a.sin_port == b.sin_port && a.sin_addr.s_addr == b.sin_addr.s_addr;
    }
    const auto& a = reinterpret_cast<const sockaddr_in6&>(target.address);
    const auto& b = reinterpret_cast<const sockaddr_in6&>(from);
    return a.sin6_port == b.sin6_port &&
           std::equal(std::begin(a.sin6_addr.s6_addr), std::end(a.sin6_addr.s6_addr),
                      std::begin(b.sin6_addr.s6_addr));
}

LONGLONG now() {
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return counter.QuadPart;
}

} // namespace

bool setLoopbackOnly(bool on) {
    return g_loopbackOnly.exchange(on);
}

std::vector<EntryResult> runSpeedTest(const std::vector<app::CatalogueEntry>& entries,
                                      const SpeedOptions& options, const SpeedProgress& progress,
                                      const std::atomic<bool>* cancel) {
    const auto cancelled = [&] { return cancel && cancel->load(); };
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    const double ticksPerMs = static_cast<double>(frequency.QuadPart) / 1000.0;
    const int tries = std::max(1, options.tries);
    const LONGLONG timeoutTicks =
        static_cast<LONGLONG>(std::max(1, options.timeoutMs) * ticksPerMs);
    const std::size_t maxInFlight =
        static_cast<std::size_t>(std::clamp(options.maxInFlight, 1, FD_SETSIZE));
    const ServerPortHandler portOf = serverPortSeam.get();
    const auto portFor = [&](std::size_t entry, int role) -> unsigned short {
        if (options.port) return options.port;
        const unsigned short mapped = portOf ? portOf(entry, static_cast<ServerRole>(role)) : 0;
        return mapped ? mapped : kDnsPort;
    };
    // The test machines of this program may send nothing beyond loopback: their scripts set
    // KELDRAST_LOOPBACK_ONLY=1 for every program they start, this one included.
    wchar_t guard[2] = {};
    const bool loopbackOnly =
        g_loopbackOnly.load() ||
        (GetEnvironmentVariableW(L"KELDRAST_LOOPBACK_ONLY", guard, 2) == 1 && guard[0] == L'1');

    std::vector<EntryResult> results(entries.size());
    std::vector<int> pending(entries.size(), 0);
    std::vector<Target> targets;
    for (std::size_t e = 0; e < entries.size(); ++e) {
        results[e].name = entries[e].name;
        const auto addresses = serverAddresses(entries[e]);
        for (int role = 0; role < kServerRoles; ++role) {
            results[e].servers[role].address = addresses[role];
            if (addresses[role].empty()) continue;
            if (loopbackOnly && !isLoopbackAddress(addresses[role])) continue;
            if (auto target = resolveTarget(e, role, addresses[role], portFor(e, role))) {
                targets.push_back(*target);
                ++pending[e];
            }
        }
    }
    const auto finishServer = [&](std::size_t entry) {
        if (--pending[entry] > 0) return;
        results[entry].finished = true;
        if (progress) progress(entry, results[entry]);
    };
    for (std::size_t e = 0; e < entries.size(); ++e) {
        if (pending[e] == 0) {
            results[e].finished = true;
            if (progress) progress(e, results[e]);
        }
    }

    WinsockSession winsock;
    unsigned seed = 0;
    if (rand_s(&seed) != 0) seed = static_cast<unsigned>(now());
    std::mt19937 random(seed);
    std::deque<std::size_t> queue(targets.size());
    for (std::size_t i = 0; i < targets.size(); ++i)
        queue[i] = i;
    std::vector<Flight> flights;

    const auto send = [&](Flight& flight) {
        flight.id = static_cast<std::uint16_t>(random());
        flight.query = *buildQuery(flight.id, kQueryName);
        const Target& target = targets[flight.target];
        flight.sentAt = now();
        flight.deadline = flight.sentAt + timeoutTicks;
        return sendto(flight.socket.get(), reinterpret_cast<const char*>(flight.query.data()),
                      static_cast<int>(flight.query.size()), 0,
                      reinterpret_cast<const sockaddr*>(&target.address),
                      target.addressLength) != SOCKET_ERROR;
    };
    // Ends a server's measurement; its socket closes with the flight.
    const auto land = [&](std::size_t index, bool timedOut) {
        const Target& target = targets[flights[index].target];
        results[target.entry].servers[target.role].timedOut = timedOut;
        flights.erase(flights.begin() + static_cast<std::ptrdiff_t>(index));
        finishServer(target.entry);
    };

    std::vector<std::uint8_t> buffer(4096);
    while (winsock.ok && !cancelled() && (!queue.empty() || !flights.empty())) {
        while (flights.size() < maxInFlight && !queue.empty()) {
            const std::size_t t = queue.front();
            queue.pop_front();
            Flight flight;
            flight.target = t;
            flight.socket = Socket(socket(targets[t].address.ss_family, SOCK_DGRAM, IPPROTO_UDP));
            u_long nonBlocking = 1;
            BOOL off = FALSE;
            DWORD returned = 0;
            if (!flight.socket || ioctlsocket(flight.socket.get(), FIONBIO, &nonBlocking) != 0) {
                results[targets[t].entry].servers[targets[t].role].timedOut = true;
                finishServer(targets[t].entry);
                continue;
            }
            WSAIoctl(flight.socket.get(), kUdpConnReset, &off, sizeof off, nullptr, 0, &returned,
                     nullptr, nullptr);
            if (!send(flight)) {
                results[targets[t].entry].servers[targets[t].role].timedOut = true;
                finishServer(targets[t].entry);
                continue;
            }
            flights.push_back(std::move(flight));
        }
        if (flights.empty()) continue;

        fd_set readable;
        FD_ZERO(&readable);
        LONGLONG earliest = flights.front().deadline;
        for (const auto& flight : flights) {
            FD_SET(flight.socket.get(), &readable);
            earliest = std::min(earliest, flight.deadline);
        }
        const double waitMs =
            std::clamp((earliest - now()) / ticksPerMs, 0.0, static_cast<double>(kCancelPollMs));
        timeval wait{0, static_cast<long>(waitMs * 1000)};
        const int ready = select(0, &readable, nullptr, nullptr, &wait);
        const LONGLONG arrived = now();

        for (std::size_t i = flights.size(); i-- > 0;) {
            Flight& flight = flights[i];
            const Target& target = targets[flight.target];
            bool landed = false;
            if (ready > 0 && FD_ISSET(flight.socket.get(), &readable)) {
                for (;;) {
                    sockaddr_storage from{};
                    int fromLength = sizeof from;
                    const int got =
                        recvfrom(flight.socket.get(), reinterpret_cast<char*>(buffer.data()),
                                 static_cast<int>(buffer.size()), 0,
                                 reinterpret_cast<sockaddr*>(&from), &fromLength);
                    if (got < 0) break; // nothing more for now (or a refused send: wait it out)
                    if (!sameSender(target, from, fromLength)) continue;
                    const auto reply =
                        parseReply(std::span(buffer.data(), static_cast<std::size_t>(got)),
                                   flight.id, kQueryName);
                    if (reply.check != ReplyCheck::Answer) continue;
                    results[target.entry].servers[target.role].samplesMs.push_back(
                        static_cast<double>(arrived - flight.sentAt) / ticksPerMs);
                    if (++flight.answered >= tries || !send(flight)) {
                        land(i, flight.answered < tries);
                        landed = true;
                    }
                    break;
                }
            }
            if (!landed && now() >= flight.deadline) land(i, true);
        }
    }
    return results;
}

} // namespace dns
