// Non-blocking UDP sockets, one per server being measured, watched with select(). A server is
// asked its rounds one after another; up to maxInFlight servers are asked side by side, so the
// whole run takes about as long as the slowest server, at most tries x timeout.

// rand_s: the system's random numbers for the query IDs, without the C++ runtime's
// random_device and what it links in.
#define _CRT_RAND_S
#include "dns/speedtest.h"
#include "dns/address.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstring>

#include "dns/dnsmessage.h"
#include "dns/dohclient.h"
#include "toolkit/thread.h"

#include <algorithm>
#include <chrono>
#include <deque>
#include <optional>
#include <cstdlib>
#include <memory>
#include <random>
#include <utility>

namespace dns {

namespace {

constexpr int kCancelPollMs = 10;
constexpr int kReadsPerPass = 8;
// Windows reports an ICMP "port unreachable" on the next receive of an unconnected UDP socket
// unless told not to; mingw's headers do not all carry the constant.
constexpr DWORD kUdpConnReset = IOC_IN | IOC_VENDOR | 12;

constexpr unsigned short kDnsPort = 53;

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

struct Query {
    std::uint16_t id = 0;
    std::string name;
    LONGLONG sentAt = 0;
    bool open = false;
};

// One server being measured: its socket and the round it is in.
struct Flight {
    std::size_t target = 0;
    Socket socket;
    int round = 0;
    Query queries[2]; // the popular name, a fresh uncached name
    LONGLONG deadline = 0;
};

std::optional<Target> resolveTarget(std::size_t entry, int role, const std::wstring& text,
                                    unsigned short port) {
    Target target{entry, role};
    auto* v4 = reinterpret_cast<sockaddr_in*>(&target.address);
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&target.address);
    if (const auto address = parseIPv4(text)) {
        std::memcpy(&v4->sin_addr, address->data(), address->size());
        v4->sin_family = AF_INET;
        v4->sin_port = htons(port);
        target.addressLength = sizeof(sockaddr_in);
    } else if (const auto address6 = parseIPv6(text)) {
        std::memcpy(&v6->sin6_addr, address6->data(), address6->size());
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

// One entry's DoH rounds on a thread of their own, beside the UDP rounds and within the same
// bound; the figures go into `result`, which the run reads only once `done` is set.
struct DohJob {
    std::size_t entry = 0;
    int role = 0;
    DohEndpoint endpoint;
    ServerResult result;
    std::atomic<bool> done{false};
    tk::Thread thread;
};

void runDohRounds(DohJob& job, int tries, int timeoutMs, LONGLONG runEnd, double ticksPerMs,
                  const std::atomic<bool>* cancel) {
    DohClient client(job.endpoint);
    // RFC 8484 asks for ID 0, so that caches see the same message each time.
    const auto query = *buildQuery(0, kCachedName);
    for (int round = 0; round < tries && !(cancel && cancel->load()); ++round) {
        const LONGLONG left = runEnd - now();
        if (left <= 0) break;
        const int wait = static_cast<int>(
            std::min<double>(timeoutMs, static_cast<double>(left) / ticksPerMs + 1));
        const LONGLONG sentAt = now();
        const auto exchange = client.post(query, wait);
        const double ms = static_cast<double>(now() - sentAt) / ticksPerMs;
        if (const auto problem = dohProblem(exchange, 0, kCachedName)) {
            if (!job.result.dohError) job.result.dohError = *problem;
        } else {
            job.result.dohSamplesMs.push_back(ms);
        }
    }
    job.done = true;
}

} // namespace

bool loopbackOnly() {
    wchar_t value[2] = {};
    const DWORD length = GetEnvironmentVariableW(L"KELDRAST_LOOPBACK_ONLY", value, 2);
    if (length == 0) return loopbackGuardOn(std::nullopt); // not set, or set to ""
    // More than one character does not fit: the size it needs comes back. It is on then.
    return length >= 2 || loopbackGuardOn(std::wstring_view(value, 1));
}

std::vector<EntryResult> runSpeedTest(const std::vector<catalogue::CatalogueEntry>& entries,
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
    const bool guard = loopbackOnly();

    std::vector<EntryResult> results(entries.size());
    std::vector<int> pending(entries.size(), 0);
    std::vector<Target> targets;
    for (std::size_t e = 0; e < entries.size(); ++e) {
        results[e].name = entries[e].name;
        const auto addresses = serverAddresses(entries[e]);
        for (int role = 0; role < kServerRoles; ++role) {
            results[e].servers[role].address = addresses[role];
            if (addresses[role].empty()) continue;
            if (guard && !isLoopback(addresses[role])) continue;
            if (auto target = resolveTarget(e, role, addresses[role], portFor(e, role))) {
                targets.push_back(*target);
                ++pending[e];
            }
        }
    }
    // Each entry with a usable template is also asked over DoH, for one of its servers; that
    // counts as one more part of the entry to finish.
    std::vector<std::unique_ptr<DohJob>> dohJobs;
    for (std::size_t e = 0; e < entries.size(); ++e) {
        const auto role = dohRole(entries[e], guard);
        if (!role) continue;
        auto job = std::make_unique<DohJob>();
        job->entry = e;
        job->role = static_cast<int>(*role);
        job->endpoint = *dohEndpoint(entries[e].doh);
        results[e].servers[job->role].dohAsked = true;
        ++pending[e];
        dohJobs.push_back(std::move(job));
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
    const auto freshName = [&] {
        static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
        std::string name(kUncachedLabelLength, 'a');
        for (char& c : name)
            c = kLetters[random() % (sizeof kLetters - 1)];
        return name + "." + std::string(kUncachedZone);
    };
    std::deque<std::size_t> queue(targets.size());
    for (std::size_t i = 0; i < targets.size(); ++i)
        queue[i] = i;
    std::vector<Flight> flights;
    // Each server's rounds end by their own deadlines; this one only guards against a run
    // that falls behind them, one span of tries x timeout for each wave of servers.
    const std::size_t waves = std::max<std::size_t>(
        (targets.size() + maxInFlight - 1) / maxInFlight, dohJobs.empty() ? 0 : 1);
    const LONGLONG runEnd = now() + static_cast<LONGLONG>(waves) * tries * timeoutTicks;
    for (auto& job : dohJobs) {
        DohJob* j = job.get();
        const int timeoutMs = std::max(1, options.timeoutMs);
        if (!j->thread.start([j, tries, timeoutMs, runEnd, ticksPerMs, cancel] {
                runDohRounds(*j, tries, timeoutMs, runEnd, ticksPerMs, cancel);
            })) {
            j->result.dohError = L"no answer";
            j->done = true;
        }
    }
    // Takes in the DoH rounds that are over.
    const auto landDoh = [&] {
        for (auto it = dohJobs.begin(); it != dohJobs.end();) {
            DohJob& job = **it;
            if (!job.done) {
                ++it;
                continue;
            }
            job.thread.join();
            ServerResult& server = results[job.entry].servers[job.role];
            server.dohSamplesMs = std::move(job.result.dohSamplesMs);
            server.dohError = std::move(job.result.dohError);
            const std::size_t entry = job.entry;
            it = dohJobs.erase(it);
            finishServer(entry);
        }
    };

    const auto serverOf = [&](const Flight& flight) -> ServerResult& {
        const Target& target = targets[flight.target];
        return results[target.entry].servers[target.role];
    };
    // Sends both queries of the flight's round; false when neither could be sent.
    const auto startRound = [&](Flight& flight) {
        ServerResult& server = serverOf(flight);
        const Target& target = targets[flight.target];
        bool any = false;
        for (int k = 0; k < 2; ++k) {
            Query& query = flight.queries[k];
            query.id = static_cast<std::uint16_t>(random());
            if (k == 1 && query.id == flight.queries[0].id) query.id ^= 1;
            query.name = k == 0 ? std::string(kCachedName) : freshName();
            const auto message = *buildQuery(query.id, query.name);
            ++server.asked;
            query.sentAt = now();
            query.open = sendto(flight.socket.get(), reinterpret_cast<const char*>(message.data()),
                                static_cast<int>(message.size()), 0,
                                reinterpret_cast<const sockaddr*>(&target.address),
                                target.addressLength) != SOCKET_ERROR;
            if (!query.open) server.timedOut = true;
            any = any || query.open;
        }
        flight.deadline = now() + timeoutTicks;
        return any;
    };
    // Ends a server's measurement; its socket closes with the flight.
    const auto land = [&](std::size_t index) {
        const std::size_t entry = targets[flights[index].target].entry;
        flights.erase(flights.begin() + static_cast<std::ptrdiff_t>(index));
        finishServer(entry);
    };
    // Closes the round (what is still open went unanswered) and starts the next, or lands.
    const auto endRound = [&](std::size_t index) {
        Flight& flight = flights[index];
        for (Query& query : flight.queries) {
            if (query.open) serverOf(flight).timedOut = true;
            query.open = false;
        }
        if (++flight.round >= tries || now() >= runEnd || !startRound(flight)) land(index);
    };
    const auto take = [&](Flight& flight, const Reply& reply, int k, LONGLONG arrived) {
        ServerResult& server = serverOf(flight);
        Query& query = flight.queries[k];
        query.open = false;
        if (reply.rcode != kNoError && reply.rcode != kNameError) {
            if (!server.errorRcode) server.errorRcode = reply.rcode;
            return;
        }
        ++server.answered;
        const double ms = static_cast<double>(arrived - query.sentAt) / ticksPerMs;
        if (k == 1) {
            server.uncachedSamplesMs.push_back(ms);
            if (reply.rcode == kNoError && !reply.ipv4.empty()) server.redirects = true;
        } else if (flight.round == 0) {
            server.warmUpMs = ms;
        } else {
            server.samplesMs.push_back(ms);
        }
    };

    std::vector<std::uint8_t> buffer(4096);
    while (winsock.ok && !cancelled() && (!queue.empty() || !flights.empty() || !dohJobs.empty())) {
        landDoh();
        while (flights.size() < maxInFlight && !queue.empty() && now() < runEnd) {
            const std::size_t t = queue.front();
            queue.pop_front();
            Flight flight;
            flight.target = t;
            flight.socket = Socket(socket(targets[t].address.ss_family, SOCK_DGRAM, IPPROTO_UDP));
            u_long nonBlocking = 1;
            BOOL off = FALSE;
            DWORD returned = 0;
            bool started =
                flight.socket && ioctlsocket(flight.socket.get(), FIONBIO, &nonBlocking) == 0;
            if (started) {
                WSAIoctl(flight.socket.get(), kUdpConnReset, &off, sizeof off, nullptr, 0,
                         &returned, nullptr, nullptr);
                started = startRound(flight);
            }
            if (!started) {
                results[targets[t].entry].servers[targets[t].role].timedOut = true;
                finishServer(targets[t].entry);
                continue;
            }
            flights.push_back(std::move(flight));
        }
        if (now() >= runEnd) {
            // Past every deadline: what is in flight went unanswered, what waits is not asked.
            for (std::size_t i = flights.size(); i-- > 0;) {
                flights[i].round = tries;
                endRound(i);
            }
            for (const std::size_t t : queue)
                finishServer(targets[t].entry);
            queue.clear();
            if (dohJobs.empty()) break;
        }
        if (flights.empty()) {
            if (!dohJobs.empty()) Sleep(kCancelPollMs);
            continue;
        }

        fd_set readable;
        FD_ZERO(&readable);
        LONGLONG earliest = flights.front().deadline;
        for (const auto& flight : flights) {
            FD_SET(flight.socket.get(), &readable);
            earliest = std::min(earliest, flight.deadline);
        }
        const double waitMs = std::clamp(static_cast<double>(earliest - now()) / ticksPerMs, 0.0,
                                         static_cast<double>(kCancelPollMs));
        timeval wait{0, static_cast<long>(waitMs * 1000)};
        const int ready = select(0, &readable, nullptr, nullptr, &wait);

        for (std::size_t i = flights.size(); i-- > 0 && !cancelled();) {
            Flight& flight = flights[i];
            const Target& target = targets[flight.target];
            // A few datagrams from each socket per pass, so a flood at one neither holds up the
            // others nor keeps the loop from its deadlines.
            for (int read = 0; ready > 0 && FD_ISSET(flight.socket.get(), &readable) &&
                               read < kReadsPerPass && now() < flight.deadline;
                 ++read) {
                sockaddr_storage from{};
                int fromLength = sizeof from;
                const int got =
                    recvfrom(flight.socket.get(), reinterpret_cast<char*>(buffer.data()),
                             static_cast<int>(buffer.size()), 0, reinterpret_cast<sockaddr*>(&from),
                             &fromLength);
                const LONGLONG arrived = now();
                if (got < 0) break; // nothing more for now (or a refused send: wait it out)
                if (!sameSender(target, from, fromLength)) continue;
                const std::span message(buffer.data(), static_cast<std::size_t>(got));
                for (int k = 0; k < 2; ++k) {
                    const Query& query = flight.queries[k];
                    if (!query.open) continue;
                    const auto reply = parseReply(message, query.id, query.name);
                    if (reply.check != ReplyCheck::Answer) continue;
                    take(flight, reply, k, arrived);
                    break;
                }
                if (!flight.queries[0].open && !flight.queries[1].open) break;
            }
            if ((!flight.queries[0].open && !flight.queries[1].open) || now() >= flight.deadline)
                endRound(i);
        }
    }
    // A cancelled run waits for the DoH rounds in flight (at most one timeout) and leaves their
    // entries unfinished.
    for (auto& job : dohJobs)
        job->thread.join();
    return results;
}

std::vector<std::vector<std::optional<Reply>>> askOnce(const std::vector<AskedServer>& servers,
                                                       const std::vector<AskedQuestion>& questions,
                                                       int timeoutMs) {
    std::vector<std::vector<std::optional<Reply>>> replies(
        servers.size(), std::vector<std::optional<Reply>>(questions.size()));
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    const LONGLONG deadline =
        now() + static_cast<LONGLONG>(std::max(1, timeoutMs) *
                                      (static_cast<double>(frequency.QuadPart) / 1000.0));
    const bool guard = loopbackOnly();
    WinsockSession winsock;
    if (!winsock.ok) return replies;
    unsigned seed = 0;
    if (rand_s(&seed) != 0) seed = static_cast<unsigned>(now());
    std::mt19937 random(seed);

    struct Asking {
        std::size_t server;
        Target target;
        Socket socket;
        std::vector<std::uint16_t> ids; // by question
        std::size_t open = 0;
    };
    std::vector<Asking> asking;
    for (std::size_t i = 0;
         i < servers.size() && asking.size() < static_cast<std::size_t>(FD_SETSIZE); ++i) {
        const auto& server = servers[i];
        if (guard && !isLoopback(server.address)) continue;
        auto target = resolveTarget(i, 0, server.address, server.port ? server.port : kDnsPort);
        if (!target) continue;
        Asking a{
            i, *target, Socket(socket(target->address.ss_family, SOCK_DGRAM, IPPROTO_UDP)), {}, 0};
        u_long nonBlocking = 1;
        BOOL off = FALSE;
        DWORD returned = 0;
        if (!a.socket || ioctlsocket(a.socket.get(), FIONBIO, &nonBlocking) != 0) continue;
        WSAIoctl(a.socket.get(), kUdpConnReset, &off, sizeof off, nullptr, 0, &returned, nullptr,
                 nullptr);
        for (const auto& question : questions) {
            // IDs differ within a socket, so each reply finds its question.
            std::uint16_t id = static_cast<std::uint16_t>(random());
            while (std::find(a.ids.begin(), a.ids.end(), id) != a.ids.end())
                ++id;
            a.ids.push_back(id);
            const auto message = buildQuery(id, question.name, question.type);
            if (message && sendto(a.socket.get(), reinterpret_cast<const char*>(message->data()),
                                  static_cast<int>(message->size()), 0,
                                  reinterpret_cast<const sockaddr*>(&a.target.address),
                                  a.target.addressLength) != SOCKET_ERROR)
                ++a.open;
        }
        if (a.open) asking.push_back(std::move(a));
    }

    std::vector<std::uint8_t> buffer(4096);
    while (!asking.empty() && now() < deadline) {
        fd_set readable;
        FD_ZERO(&readable);
        for (const auto& a : asking)
            FD_SET(a.socket.get(), &readable);
        const double waitMs = std::clamp(static_cast<double>(deadline - now()) /
                                             (static_cast<double>(frequency.QuadPart) / 1000.0),
                                         0.0, static_cast<double>(kCancelPollMs));
        timeval wait{0, static_cast<long>(waitMs * 1000)};
        if (select(0, &readable, nullptr, nullptr, &wait) <= 0) continue;
        for (std::size_t i = asking.size(); i-- > 0;) {
            Asking& a = asking[i];
            for (int read = 0; FD_ISSET(a.socket.get(), &readable) && read < kReadsPerPass;
                 ++read) {
                sockaddr_storage from{};
                int fromLength = sizeof from;
                const int got = recvfrom(a.socket.get(), reinterpret_cast<char*>(buffer.data()),
                                         static_cast<int>(buffer.size()), 0,
                                         reinterpret_cast<sockaddr*>(&from), &fromLength);
                if (got < 0) break;
                if (!sameSender(a.target, from, fromLength)) continue;
                const std::span message(buffer.data(), static_cast<std::size_t>(got));
                for (std::size_t q = 0; q < questions.size(); ++q) {
                    auto& slot = replies[a.server][q];
                    if (slot) continue;
                    auto reply =
                        parseReply(message, a.ids[q], questions[q].name, questions[q].type);
                    if (reply.check != ReplyCheck::Answer) continue;
                    slot = std::move(reply);
                    --a.open;
                    break;
                }
            }
            if (a.open == 0) asking.erase(asking.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
    return replies;
}

} // namespace dns
