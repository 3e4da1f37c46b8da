#include "dns/dohclient.h"

#include <winhttp.h>

#include <utility>

#include "toolkit/system_library.h"

namespace dns {

namespace {

constexpr std::size_t kMaxBody = 64 * 1024; // a DNS message is at most 65535 bytes

// WinHTTP's functions, resolved once; all or none.
struct WinHttp {
    decltype(&WinHttpOpen) open = nullptr;
    decltype(&WinHttpConnect) connect = nullptr;
    decltype(&WinHttpOpenRequest) openRequest = nullptr;
    decltype(&WinHttpSetTimeouts) setTimeouts = nullptr;
    decltype(&WinHttpSendRequest) sendRequest = nullptr;
    decltype(&WinHttpReceiveResponse) receiveResponse = nullptr;
    decltype(&WinHttpQueryHeaders) queryHeaders = nullptr;
    decltype(&WinHttpReadData) readData = nullptr;
    decltype(&WinHttpCloseHandle) closeHandle = nullptr;
    bool ok = false;
};

const WinHttp& winHttp() {
    static const WinHttp api = [] {
        WinHttp a;
        const HMODULE module = tk::systemLibrary(L"winhttp.dll");
        const auto get = [module](auto& fn, const char* name) {
            fn = tk::moduleFunction<std::remove_reference_t<decltype(fn)>>(module, name);
            return fn != nullptr;
        };
        a.ok = get(a.open, "WinHttpOpen") && get(a.connect, "WinHttpConnect") &&
               get(a.openRequest, "WinHttpOpenRequest") &&
               get(a.setTimeouts, "WinHttpSetTimeouts") &&
               get(a.sendRequest, "WinHttpSendRequest") &&
               get(a.receiveResponse, "WinHttpReceiveResponse") &&
               get(a.queryHeaders, "WinHttpQueryHeaders") && get(a.readData, "WinHttpReadData") &&
               get(a.closeHandle, "WinHttpCloseHandle");
        return a;
    }();
    return api;
}

// An internet handle that closes itself.
class Handle {
  public:
    explicit Handle(HINTERNET h = nullptr) : h_(h) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() {
        if (h_) winHttp().closeHandle(h_);
    }
    HINTERNET get() const { return h_; }

  private:
    HINTERNET h_;
};

HttpsResult failure(DWORD error) {
    switch (error) {
    case ERROR_WINHTTP_TIMEOUT:
        return HttpsResult::TimedOut;
    case ERROR_WINHTTP_SECURE_FAILURE:
    case ERROR_WINHTTP_SECURE_INVALID_CA:
    case ERROR_WINHTTP_SECURE_CERT_CN_INVALID:
    case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID:
    case ERROR_WINHTTP_SECURE_CERT_REVOKED:
    case ERROR_WINHTTP_SECURE_INVALID_CERT:
    case ERROR_WINHTTP_SECURE_CHANNEL_ERROR:
    case ERROR_WINHTTP_CLIENT_AUTH_CERT_NEEDED:
        return HttpsResult::TlsFailure;
    default:
        return HttpsResult::Failed;
    }
}

} // namespace

DohClient::DohClient(DohEndpoint endpoint) : endpoint_(std::move(endpoint)) {}

DohClient::~DohClient() {
    if (connection_) winHttp().closeHandle(connection_);
    if (session_) winHttp().closeHandle(session_);
}

DohExchange DohClient::post(std::span<const std::uint8_t> query, int timeoutMs) {
    return dohExchangeSeam.call([&](const DohEndpoint&, std::span<const std::uint8_t> q,
                                    int ms) { return exchange(q, ms); },
                                endpoint_, query, timeoutMs);
}

DohExchange DohClient::exchange(std::span<const std::uint8_t> query, int timeoutMs) {
    DohExchange out;
    const WinHttp& api = winHttp();
    if (!api.ok) return out;
    if (!session_)
        session_ = api.open(L"Keldrast", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                            WINHTTP_NO_PROXY_BYPASS, 0);
    if (session_ && !connection_)
        connection_ = api.connect(session_, endpoint_.host.c_str(), endpoint_.port, 0);
    if (!connection_) return out;
    Handle request(api.openRequest(connection_, L"POST", endpoint_.path.c_str(), nullptr,
                                   WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                   WINHTTP_FLAG_SECURE));
    if (!request.get()) return out;
    api.setTimeouts(request.get(), timeoutMs, timeoutMs, timeoutMs, timeoutMs);
    static constexpr wchar_t kHeaders[] =
        L"Content-Type: application/dns-message\r\nAccept: application/dns-message\r\n";
    const auto size = static_cast<DWORD>(query.size());
    if (!api.sendRequest(request.get(), kHeaders, static_cast<DWORD>(-1),
                         const_cast<std::uint8_t*>(query.data()), size, size, 0) ||
        !api.receiveResponse(request.get(), nullptr)) {
        out.result = failure(GetLastError());
        return out;
    }
    DWORD status = 0, bytes = sizeof(status);
    if (!api.queryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                          WINHTTP_HEADER_NAME_BY_INDEX, &status, &bytes, WINHTTP_NO_HEADER_INDEX))
        return out;
    out.result = HttpsResult::Response;
    out.status = static_cast<int>(status);
    wchar_t type[128] = {};
    bytes = sizeof(type);
    if (api.queryHeaders(request.get(), WINHTTP_QUERY_CONTENT_TYPE, WINHTTP_HEADER_NAME_BY_INDEX,
                         type, &bytes, WINHTTP_NO_HEADER_INDEX))
        out.contentType = type;
    std::uint8_t chunk[4096];
    for (;;) {
        DWORD read = 0;
        if (!api.readData(request.get(), chunk, sizeof(chunk), &read)) {
            out.result = failure(GetLastError());
            return out;
        }
        if (read == 0) break;
        out.body.insert(out.body.end(), chunk, chunk + read);
        if (out.body.size() > kMaxBody) break; // no DNS message: parseReply says so
    }
    return out;
}

} // namespace dns
