// Small DNS responders on loopback addresses, for the speed test's and the check's tests and the
// benchmark: each answers the A query it receives after its own delay (an address for the
// popular name, "no such name" under the uncached zone), or not at all, or with an error, or
// sends noise first; or, given an identity, answers the check's "who is asking" names with it.
// All listen on 127.0.0.1 or ::1, each on a port of its own: Wine binds any other 127.0.0.x as
// 127.0.0.1, so replies would not come from the address asked. A catalogue names the responders
// by index; catalogue() writes it out and ports() tells the speed test where each server is.
// Only loopback is ever bound.
#pragma once

#include <winsock2.h>
#include <ws2tcpip.h>

#include "catalogue/catalogue.h"
#include "dns/speedtest.h"
#include "dns/address.h"
#include "dns/check.h"
#include "dns/speedresult.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <utility>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace loopback {

struct Plan {
    int delayMs = 0;
    bool silent = false;
    int rcode = 0;                   // not 0: every reply carries this code and no records
    bool redirects = false;          // gives an address for the uncached names too
    bool flood = false;              // once asked, streams stray replies (other IDs) back
    bool wrongIdFirst = false;       // a reply with another ID at once, the real one after delayMs
    bool wrongQuestionFirst = false; // likewise with another name in the question
    bool shortFirst = false;         // likewise with only half a header
    bool strangerOnly = false;       // the reply comes from another socket only
    bool ipv6 = false;               // listens on ::1 instead of 127.0.0.1
    // Not empty: the address this resolver asks from, as o-o.myaddr's TXT and whoami's A
    // give it; every other name is REFUSED.
    std::string identity = {};
};

// A test catalogue entry: its name and the responder of each server role in ServerRole order;
// -1 or a missing role: none.
struct Entry {
    std::wstring name;
    std::vector<int> servers = {};
    int at(int role) const { return role < static_cast<int>(servers.size()) ? servers[role] : -1; }
};

// One responder per plan.
class Responders {
  public:
    using Clock = std::chrono::steady_clock;

    explicit Responders(const std::vector<Plan>& plans) {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        for (const auto& plan : plans)
            add(plan.ipv6 ? L"::1" : L"127.0.0.1", plan);
        stranger_ = bindUdp(L"127.0.0.1").first;
        if (stranger_ == INVALID_SOCKET) throw std::runtime_error("cannot bind on loopback");
        thread_ = std::thread([this] { serve(); });
        if (std::any_of(plans.begin(), plans.end(), [](const Plan& p) { return p.flood; }))
            flooder_ = std::thread([this] { flood(); });
    }
    ~Responders() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        if (flooder_.joinable()) flooder_.join();
        closeAll();
        WSACleanup();
    }

    std::wstring address(std::size_t i) const { return servers_[i].address; }
    unsigned short port(std::size_t i) const { return servers_[i].port; }
    // The settings-file form of the entries.
    std::vector<catalogue::CatalogueEntry> catalogue(const std::vector<Entry>& entries) const {
        std::vector<catalogue::CatalogueEntry> out;
        const auto at = [&](int i) { return i < 0 ? std::wstring() : address(i); };
        for (const auto& e : entries) {
            const auto pair = [&](int a, int b) {
                return a < 0 && b < 0 ? std::wstring() : at(a) + L"," + at(b);
            };
            out.push_back({e.name, pair(e.at(0), e.at(1)), pair(e.at(2), e.at(3))});
        }
        return out;
    }
    // For dns::ScopedServerPorts: the port of each entry's servers.
    dns::ServerPortHandler ports(const std::vector<Entry>& entries) const {
        return [this, entries](std::size_t entry, dns::ServerRole role) -> unsigned short {
            const int i = entry < entries.size() ? entries[entry].at(static_cast<int>(role)) : -1;
            return i < 0 ? 0 : port(static_cast<std::size_t>(i));
        };
    }
    // When each query reached responder i, since the responders started.
    std::vector<double> arrivalsMs(std::size_t i) const {
        std::lock_guard lock(mutex_);
        return servers_[i].arrivalsMs;
    }

  private:
    struct Server {
        std::wstring address;
        Plan plan;
        SOCKET socket = INVALID_SOCKET;
        unsigned short port = 0;
        std::vector<double> arrivalsMs;
    };
    struct Pending {
        Clock::time_point due;
        SOCKET from;
        sockaddr_storage to;
        int toLength;
        std::vector<char> message;
    };

    void add(const std::wstring& address, const Plan& plan) {
        const auto [s, port] = bindUdp(address);
        if (s == INVALID_SOCKET) throw std::runtime_error("cannot bind on loopback");
        servers_.push_back({address, plan, s, port, {}});
    }
    // A socket on a free port of `address`, and that port.
    static std::pair<SOCKET, unsigned short> bindUdp(const std::wstring& address) {
        // Refuses anything but loopback, so no test can serve (or ask) the outside world.
        if (!dns::isLoopback(address)) return {INVALID_SOCKET, 0};
        sockaddr_storage where{};
        int length = 0;
        auto* v4 = reinterpret_cast<sockaddr_in*>(&where);
        auto* v6 = reinterpret_cast<sockaddr_in6*>(&where);
        if (InetPtonW(AF_INET, address.c_str(), &v4->sin_addr) == 1) {
            v4->sin_family = AF_INET;
            length = sizeof *v4;
        } else if (InetPtonW(AF_INET6, address.c_str(), &v6->sin6_addr) == 1) {
            v6->sin6_family = AF_INET6;
            length = sizeof *v6;
        }
        const SOCKET s = socket(where.ss_family, SOCK_DGRAM, IPPROTO_UDP);
        if (s == INVALID_SOCKET) return {s, 0};
        int named = length;
        if (bind(s, reinterpret_cast<sockaddr*>(&where), length) != 0 ||
            getsockname(s, reinterpret_cast<sockaddr*>(&where), &named) != 0) {
            closesocket(s);
            return {INVALID_SOCKET, 0};
        }
        const auto port = where.ss_family == AF_INET ? v4->sin_port : v6->sin6_port;
        return {s, ntohs(port)};
    }
    void closeAll() {
        for (auto& server : servers_)
            closesocket(server.socket);
        servers_.clear();
        if (stranger_ != INVALID_SOCKET) closesocket(stranger_);
        stranger_ = INVALID_SOCKET;
    }

    // Whether the query asks a name under the speed test's uncached zone.
    static bool asksUncached(const std::vector<char>& query) {
        std::string name;
        for (std::size_t at = 12; at < query.size() && query[at] > 0 && query[at] < 64;
             at += 1 + static_cast<unsigned char>(query[at])) {
            if (at + 1 + static_cast<unsigned char>(query[at]) > query.size()) return false;
            if (!name.empty()) name += '.';
            name.append(&query[at + 1], static_cast<unsigned char>(query[at]));
        }
        const std::string zone = "." + std::string(dns::kUncachedZone);
        return name.size() > zone.size() && name.ends_with(zone);
    }

    static std::string questionName(const std::vector<char>& query) {
        std::string name;
        for (std::size_t at = 12; at < query.size() && query[at] > 0 && query[at] < 64;
             at += 1 + static_cast<unsigned char>(query[at])) {
            if (at + 1 + static_cast<unsigned char>(query[at]) > query.size()) return {};
            if (!name.empty()) name += '.';
            name.append(&query[at + 1], static_cast<unsigned char>(query[at]));
        }
        return name;
    }
    static std::vector<char> identityReply(std::vector<char> reply, const std::string& identity) {
        const std::string name = questionName(reply);
        const bool txt = name == dns::kMyAddrName, a = name == dns::kWhoAmIName;
        reply[2] = static_cast<char>(0x81);
        reply[3] = static_cast<char>(txt || a ? 0x80 : 0x85);
        if (!txt && !a) return reply;
        reply[7] = 1;
        std::vector<char> record = {'\xC0', 12, 0, txt ? char(16) : char(1), 0, 1, 0, 0, 0, 60, 0};
        if (txt) {
            record.push_back(static_cast<char>(identity.size() + 1));
            record.push_back(static_cast<char>(identity.size()));
            record.insert(record.end(), identity.begin(), identity.end());
        } else {
            IN_ADDR address{};
            InetPtonA(AF_INET, identity.c_str(), &address);
            record.push_back(4);
            const auto* bytes = reinterpret_cast<const char*>(&address);
            record.insert(record.end(), bytes, bytes + 4);
        }
        reply.insert(reply.end(), record.begin(), record.end());
        return reply;
    }

    void serve() {
        const auto start = Clock::now();
        std::vector<Pending> pending;
        char buffer[1500];
        while (!stop_) {
            fd_set readable;
            FD_ZERO(&readable);
            for (const auto& server : servers_)
                FD_SET(server.socket, &readable);
            timeval wait{0, 2000};
            if (select(0, &readable, nullptr, nullptr, &wait) > 0) {
                for (auto& server : servers_) {
                    if (!FD_ISSET(server.socket, &readable)) continue;
                    sockaddr_storage from{};
                    int fromLength = sizeof from;
                    const int got = recvfrom(server.socket, buffer, sizeof buffer, 0,
                                             reinterpret_cast<sockaddr*>(&from), &fromLength);
                    if (got < 12) continue;
                    {
                        std::lock_guard lock(mutex_);
                        server.arrivalsMs.push_back(
                            std::chrono::duration<double, std::milli>(Clock::now() - start)
                                .count());
                    }
                    if (server.plan.flood) {
                        std::vector<char> stray(buffer, buffer + got);
                        stray[2] = static_cast<char>(stray[2] | 0x80);
                        stray[0] = static_cast<char>(stray[0] ^ 0x3C);
                        std::lock_guard lock(mutex_);
                        const bool flooding =
                            std::any_of(floods_.begin(), floods_.end(), [&](const auto& f) {
                                return f.toLength == fromLength &&
                                       std::memcmp(&f.to, &from, fromLength) == 0;
                            });
                        if (!flooding)
                            floods_.push_back(
                                {Clock::now(), server.socket, from, fromLength, stray});
                    }
                    if (server.plan.silent) continue;
                    std::vector<char> reply(buffer, buffer + got);
                    if (!server.plan.identity.empty()) {
                        pending.push_back({Clock::now(), server.socket, from, fromLength,
                                           identityReply(reply, server.plan.identity)});
                        continue;
                    }
                    const bool unknown = !server.plan.redirects && asksUncached(reply);
                    const int rcode = server.plan.rcode ? server.plan.rcode : unknown ? 3 : 0;
                    reply[2] = static_cast<char>(0x81);
                    reply[3] = static_cast<char>(0x80 | rcode);
                    if (rcode == 0) {
                        reply[7] = 1;
                        const char record[] = {'\xC0', 12, 0, 1, 0,   1, 0, 0,
                                               0,      60, 0, 4, 127, 0, 0, 1};
                        reply.insert(reply.end(), record, record + sizeof record);
                    }
                    const auto now = Clock::now();
                    const auto later = now + std::chrono::milliseconds(server.plan.delayMs);
                    const SOCKET sender = server.plan.strangerOnly ? stranger_ : server.socket;
                    auto noise = reply;
                    if (server.plan.wrongIdFirst) {
                        noise[1] = static_cast<char>(noise[1] ^ 0x5A);
                        pending.push_back({now, sender, from, fromLength, noise});
                    } else if (server.plan.wrongQuestionFirst) {
                        noise[13] = static_cast<char>(noise[13] ^ 0x03);
                        pending.push_back({now, sender, from, fromLength, noise});
                    } else if (server.plan.shortFirst) {
                        noise.resize(6);
                        pending.push_back({now, sender, from, fromLength, noise});
                    }
                    pending.push_back({later, sender, from, fromLength, reply});
                }
            }
            const auto now = Clock::now();
            for (std::size_t i = 0; i < pending.size();) {
                if (pending[i].due > now) {
                    ++i;
                    continue;
                }
                const auto& p = pending[i];
                sendto(p.from, p.message.data(), static_cast<int>(p.message.size()), 0,
                       reinterpret_cast<const sockaddr*>(&p.to), p.toLength);
                pending.erase(pending.begin() + static_cast<std::ptrdiff_t>(i));
            }
        }
    }

    // Stray replies, as fast as they can be sent, at everyone a flooding responder heard from.
    void flood() {
        while (!stop_) {
            std::vector<Pending> targets;
            {
                std::lock_guard lock(mutex_);
                targets = floods_;
            }
            if (targets.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            for (const auto& f : targets)
                for (int i = 0; i < 64; ++i)
                    sendto(f.from, f.message.data(), static_cast<int>(f.message.size()), 0,
                           reinterpret_cast<const sockaddr*>(&f.to), f.toLength);
        }
    }

    std::vector<Server> servers_;
    std::vector<Pending> floods_; // `due` unused
    SOCKET stranger_ = INVALID_SOCKET;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::thread thread_;
    std::thread flooder_;
};

} // namespace loopback
