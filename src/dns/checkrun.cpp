#include "dns/checkrun.h"

#include <windows.h>
#include <windns.h>

#include <cstring>

#include "dns/address.h"
#include "dns/change.h"
#include "dns/network.h"
#include "dns/speedtest.h"
#include "toolkit/decimal.h"
#include "toolkit/system_library.h"

namespace dns {

namespace {

// dnsapi's DNS_QUERY_REQUEST and DNS_QUERY_RESULT, version 1 (MinGW's headers lack them).
struct DnsQueryRequest {
    ULONG Version;
    PCWSTR QueryName;
    WORD QueryType;
    ULONG64 QueryOptions;
    void* pDnsServerList;
    ULONG InterfaceIndex;
    void* pQueryCompletionCallback;
    void* pQueryContext;
};
struct DnsQueryResult {
    ULONG Version;
    DNS_STATUS QueryStatus;
    ULONG64 QueryOptions;
    PDNS_RECORD pQueryRecords;
    void* Reserved;
};
#ifdef _WIN64
static_assert(sizeof(DnsQueryRequest) == 64 && sizeof(DnsQueryResult) == 32);
#endif
constexpr DNS_STATUS kStatusNameError = 9003; // DNS_ERROR_RCODE_NAME_ERROR
constexpr DNS_STATUS kStatusNoRecords = 9501; // DNS_INFO_NO_RECORDS
constexpr DNS_STATUS kFirstRcode = 9001;      // DNS_ERROR_RCODE_FORMAT_ERROR
constexpr DNS_STATUS kLastRcode = 9010;       // DNS_ERROR_RCODE_NOTZONE

std::string narrow(std::wstring_view text) {
    std::string out;
    for (wchar_t c : text)
        out += c >= L' ' && c <= L'~' ? static_cast<char>(c) : '?';
    return out;
}

ResolverReply askWindows(std::string_view name, std::uint16_t type, unsigned long ifIndex) {
    using QueryEx = DNS_STATUS(WINAPI*)(DnsQueryRequest*, DnsQueryResult*, void*);
    using Free = VOID(WINAPI*)(PVOID, DNS_FREE_TYPE);
    // dnsapi.dll is no KnownDLL: from the system folder only.
    static const HMODULE module = tk::systemLibrary(L"dnsapi.dll");
    static const auto query = tk::moduleFunction<QueryEx>(module, "DnsQueryEx");
    static const auto dnsFree = tk::moduleFunction<Free>(module, "DnsFree");
    if (!query || !dnsFree) return {{}, ERROR_PROC_NOT_FOUND};
    const std::wstring wide(name.begin(), name.end());
    DnsQueryRequest request{1,       wide.c_str(), type,    DNS_QUERY_BYPASS_CACHE,
                            nullptr, ifIndex,      nullptr, nullptr};
    DnsQueryResult result{1, 0, 0, nullptr, nullptr};
    const DNS_STATUS status = query(&request, &result, nullptr);
    ResolverReply reply;
    if (status == 0 || status == kStatusNameError || status == kStatusNoRecords) {
        reply.answer.kind = AnswerKind::Answered;
        reply.answer.rcode = status == kStatusNameError ? kStatusNameError - 9000 : 0;
    } else if (status >= kFirstRcode && status <= kLastRcode) {
        reply.answer.kind = AnswerKind::Error;
        reply.answer.rcode = static_cast<int>(status - 9000);
    } else {
        reply.failure = static_cast<unsigned long>(status);
    }
    for (auto* record = result.pQueryRecords; record; record = record->pNext) {
        if (record->Flags.S.Section != DnsSectionAnswer || record->wType != type) continue;
        if (type == kTypeA) {
            IPv4 address;
            std::memcpy(address.data(), &record->Data.A.IpAddress, address.size());
            reply.answer.addresses.push_back(ipv4Text(address));
        } else if (type == kTypeTxt) {
            std::wstring text;
            for (DWORD i = 0; i < record->Data.TXT.dwStringCount; ++i)
                text += record->Data.TXT.pStringArray[i];
            reply.answer.txt.push_back(narrow(text));
        }
    }
    if (result.pQueryRecords) dnsFree(result.pQueryRecords, DnsFreeRecordList);
    return reply;
}

ResolverCheck checkResolver(const std::vector<std::wstring>& servers, unsigned long ifIndex) {
    const ResolverQueryHandler handler = resolverQuerySeam.get();
    // This machine's resolver sends outside loopback: never on a test machine.
    if (!handler && loopbackOnly())
        return resolverNotAsked(L"this machine sends DNS queries to loopback only");
    const auto questions = resolverQuestions(servers);
    std::vector<CheckAnswer> answers;
    std::optional<unsigned long> failure;
    bool anyReply = false;
    for (const auto& q : questions) {
        const auto reply =
            handler ? handler(q.name, q.type, ifIndex) : askWindows(q.name, q.type, ifIndex);
        answers.push_back(reply.answer);
        if (reply.failure) {
            if (!failure) failure = reply.failure;
        } else {
            anyReply = true;
        }
    }
    if (!anyReply) {
        auto check = resolverNotAsked(L"Windows' resolver gave no answer (error " +
                                      tk::decimal(static_cast<long long>(*failure)) + L")");
        check.asked = true;
        check.result = CheckResult::NoAnswer;
        return check;
    }
    return judgeResolver(questions, answers, servers);
}

} // namespace

CheckReport runCheck(std::wstring_view description, const std::vector<std::wstring>& servers,
                     unsigned long ifIndex, const CheckOptions& options) {
    CheckReport report;
    report.adapter = std::wstring(description);
    const CheckRouteHandler route = checkRouteSeam.get();
    std::vector<AskedServer> asked;
    for (const auto& server : servers) {
        const auto routed = route ? route(server) : std::nullopt;
        asked.push_back(routed ? AskedServer{routed->address, routed->port}
                               : AskedServer{server, options.port});
    }
    std::vector<AskedQuestion> questions;
    for (const auto& q : directQuestions())
        questions.push_back({std::string(q.name), q.type});
    const auto replies = askOnce(asked, questions, options.timeoutMs);
    const bool guard = loopbackOnly();
    for (std::size_t i = 0; i < servers.size(); ++i) {
        std::vector<CheckAnswer> answers;
        for (const auto& reply : replies[i]) {
            CheckAnswer answer;
            if (reply) {
                answer.rcode = reply->rcode;
                answer.kind = reply->rcode == kNoError || reply->rcode == kNameError
                                  ? AnswerKind::Answered
                                  : AnswerKind::Error;
                answer.txt = reply->txt;
                for (const auto& address : reply->ipv4)
                    answer.addresses.push_back(ipv4Text(address));
            }
            answers.push_back(std::move(answer));
        }
        report.servers.push_back(
            judgeServer(servers[i], answers, !guard || isLoopback(asked[i].address)));
    }
    if (!options.direct) report.resolver = checkResolver(servers, ifIndex);
    return report;
}

CheckReport runCheck(std::wstring_view description, std::wstring_view service,
                     const CheckOptions& options) {
    const auto state = networkState();
    const auto* adapter = findAdapter(state, service);
    return runCheck(description, checkedServers(currentDns(service, state)),
                    adapter ? adapter->ifIndex : 0, options);
}

} // namespace dns
