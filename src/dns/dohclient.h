// DNS over HTTPS for the speed test: one POST of a DNS message (RFC 8484,
// application/dns-message) through WinHTTP, which is loaded from the system folder at run time
// (it is no known system DLL, so the exe never imports it). No proxy is used: the time is the
// server's own. A client keeps one session and one connection to its endpoint for its rounds,
// so the template's host is looked up once per run.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <span>

#include "dns/dohquery.h"
#include "toolkit/platform.h"

namespace dns {

class DohClient {
  public:
    explicit DohClient(DohEndpoint endpoint);
    DohClient(const DohClient&) = delete;
    DohClient& operator=(const DohClient&) = delete;
    ~DohClient();
    // Sends the query and waits at most timeoutMs for each step of the exchange.
    DohExchange post(std::span<const std::uint8_t> query, int timeoutMs);

  private:
    DohExchange exchange(std::span<const std::uint8_t> query, int timeoutMs);
    DohEndpoint endpoint_;
    void* session_ = nullptr;
    void* connection_ = nullptr;
};

// The exchange as a replaceable entry point (tests give the HTTP answers they need). Empty
// handler: WinHTTP.
using DohExchangeHandler = std::function<DohExchange(
    const DohEndpoint& endpoint, std::span<const std::uint8_t> query, int timeoutMs)>;
inline tk::Seam<DohExchangeHandler> dohExchangeSeam;
using ScopedDohExchange = tk::ScopedHandler<dohExchangeSeam>;

} // namespace dns
