#include "dns/request.h"

#include <utility>

#include "toolkit/trim.h"

namespace dns {

std::optional<ChangeRequest> entryRequest(const catalogue::CatalogueEntry& entry, DohMode mode) {
    const auto parts = catalogue::splitPair(entry.pair);
    // Cleaned as a pair is when it is kept: spaces trimmed, then the leading address.
    const std::wstring preferred = catalogue::gtIP(tk::trimSpaces(parts.preferred.value_or(L"")));
    const std::wstring alternate = catalogue::gtIP(tk::trimSpaces(parts.alternate.value_or(L"")));
    auto unset = [](const std::wstring& a) { return a.empty() || a == catalogue::kUnsetAddress; };
    if (unset(preferred)) return std::nullopt;
    ChangeRequest request;
    request.servers = unset(alternate) ? preferred : preferred + L"," + alternate;
    request.servers6 = joinServers(serverList(entry.pair6));
    request.dohTemplate = entry.doh;
    request.doh = mode;
    return request;
}

ChangeRequest typedRequest(const std::vector<std::wstring>& servers,
                           const std::vector<std::wstring>& servers6, std::wstring dohTemplate,
                           DohMode mode) {
    ChangeRequest request;
    request.servers = joinServers(servers);
    request.servers6 = joinServers(servers6);
    request.dohTemplate = std::move(dohTemplate);
    request.doh = mode;
    return request;
}

ChangeRequest defaultRequest() {
    return {.kind = ChangeKind::Default};
}

ChangeRequest restoreRequest() {
    return {.kind = ChangeKind::Restore};
}

std::wstring checkRequest(ChangeRequest& request) {
    if (request.kind != ChangeKind::Apply) return {};
    std::wstring* lists[] = {&request.servers, &request.servers6};
    std::vector<std::wstring> canonical[2];
    for (const Family family : kFamilies) {
        const std::size_t f = family == Family::V4 ? 0 : 1;
        for (const auto& server : serverList(*lists[f])) {
            auto checked = checkServer(family, server);
            if (!checked.canonical) return checked.refusal;
            canonical[f].push_back(std::move(*checked.canonical));
        }
    }
    for (std::size_t f = 0; f < 2; ++f)
        *lists[f] = joinServers(canonical[f]);
    return {};
}

std::optional<EntryServers> entryServers(const catalogue::CatalogueEntry& entry) {
    auto request = entryRequest(entry, kDefaultDohMode);
    if (!request || !checkRequest(*request).empty()) return std::nullopt;
    return EntryServers{serverList(request->servers), serverList(request->servers6)};
}

std::wstring changeEachQuestion(const ChangeRequest& request,
                                const std::vector<std::wstring>& adapterDescriptions,
                                std::wstring_view appliedName) {
    std::wstring text = appliedName.empty() || appliedName == kCustomAppliedName
                            ? std::wstring(L"Apply these DNS servers")
                            : L"Apply " + std::wstring(appliedName);
    text += L" to every connected adapter?\r\n";
    for (const auto& adapter : adapterDescriptions)
        text += L"\r\n\u00BB " + adapter;
    text += L"\r\n\r\nEach of them gets:\r\nIPv4: " + serversText(serverList(request.servers));
    if (const auto v6 = serverList(request.servers6); !v6.empty())
        text += L"\r\nIPv6: " + serversText(v6);
    return text;
}

} // namespace dns
