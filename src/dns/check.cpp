#include "dns/check.h"

#include <algorithm>
#include <array>

#include "dns/address.h"
#include "dns/dnsmessage.h"
#include "toolkit/decimal.h"
#include "toolkit/json.h"

namespace dns {

namespace {

struct Prefix {
    std::wstring_view base;
    int bits;
};
struct Operator {
    std::wstring_view name;
    std::vector<Prefix> service;  // the addresses users set
    std::vector<Prefix> outgoing; // where its resolvers ask from (the README gives the sources)
};

const std::vector<Operator>& operators() {
    static const std::vector<Operator> table = {
        {L"Google",
         {{L"8.8.8.0", 24}, {L"8.8.4.0", 24}, {L"2001:4860:4860::", 48}},
         {{L"8.8.8.0", 24},
          {L"8.8.4.0", 24},
          {L"74.125.0.0", 16},
          {L"172.217.0.0", 16},
          {L"172.253.0.0", 16},
          {L"173.194.0.0", 16},
          {L"2001:4860::", 32},
          {L"2404:6800::", 32},
          {L"2607:f8b0::", 32},
          {L"2800:3f0::", 32},
          {L"2a00:1450::", 32},
          {L"2c0f:fb50::", 32}}},
        {L"Cloudflare",
         {{L"1.1.1.0", 24}, {L"1.0.0.0", 24}, {L"2606:4700:4700::", 48}},
         {{L"1.1.1.0", 24},
          {L"1.0.0.0", 24},
          {L"104.16.0.0", 13},
          {L"108.162.192.0", 18},
          {L"141.101.64.0", 18},
          {L"162.158.0.0", 15},
          {L"172.64.0.0", 13},
          {L"2400:cb00::", 32},
          {L"2606:4700::", 32},
          {L"2a06:98c0::", 29}}},
        {L"Quad9",
         {{L"9.9.9.0", 24}, {L"149.112.112.0", 24}, {L"2620:fe::", 48}},
         {{L"9.9.9.0", 24}, {L"149.112.112.0", 24}, {L"149.112.149.0", 24}, {L"2620:fe::", 48}}},
    };
    return table;
}

// The address's bytes (4 or 16); empty when it is not one.
std::vector<std::uint8_t> bytesOf(std::wstring_view text) {
    if (const auto v4 = parseIPv4(text)) return {v4->begin(), v4->end()};
    if (const auto v6 = parseIPv6(text)) return {v6->begin(), v6->end()};
    return {};
}

bool within(const std::vector<std::uint8_t>& address, const Prefix& prefix) {
    const auto base = bytesOf(prefix.base);
    if (address.empty() || base.size() != address.size()) return false;
    for (int bit = 0; bit < prefix.bits; ++bit) {
        const int byte = bit / 8, mask = 0x80 >> (bit % 8);
        if ((address[byte] & mask) != (base[byte] & mask)) return false;
    }
    return true;
}

std::optional<std::wstring> operatorIn(std::wstring_view address,
                                       std::vector<Prefix> Operator::*ranges) {
    const auto bytes = bytesOf(address);
    for (const auto& op : operators())
        for (const auto& prefix : op.*ranges)
            if (within(bytes, prefix)) return std::wstring(op.name);
    return std::nullopt;
}

// Answers are ASCII; anything else shows as "?".
std::wstring widen(std::string_view text) {
    std::wstring out;
    for (char c : text)
        out += c >= ' ' && c <= '~' ? static_cast<wchar_t>(c) : L'?';
    return out;
}

void addUnique(std::vector<std::wstring>& list, std::wstring item) {
    if (std::find(list.begin(), list.end(), item) == list.end()) list.push_back(std::move(item));
}

// What the answers to `questions` say, whoever gave them.
struct Findings {
    CheckResult result = CheckResult::NoAnswer;
    std::optional<int> errorRcode{};
    std::vector<std::wstring> outgoing{};
    std::optional<std::wstring> clientSubnet{};
    std::optional<std::wstring> protocol{};
};

Findings findingsOf(const std::vector<CheckQuestion>& questions,
                    const std::vector<CheckAnswer>& answers) {
    Findings found;
    for (std::size_t i = 0; i < questions.size() && i < answers.size(); ++i) {
        const auto& answer = answers[i];
        if (answer.kind == AnswerKind::Error) {
            if (!found.errorRcode) found.errorRcode = answer.rcode;
            continue;
        }
        if (answer.kind != AnswerKind::Answered) continue;
        found.result = CheckResult::Answered;
        if (questions[i].name == kQuad9ProtoName) {
            if (!answer.txt.empty()) found.protocol = widen(answer.txt.front());
            continue;
        }
        for (const auto& address : answer.addresses)
            if (const auto family = familyOf(address))
                addUnique(found.outgoing, *canonicalAddress(*family, address));
        for (const auto& record : answer.txt) {
            if (record.starts_with(kClientSubnetPrefix)) {
                found.clientSubnet = widen(record.substr(kClientSubnetPrefix.size()));
                continue;
            }
            // "172.253.0.1" alone, or an address among words ("Resolver IP: 172.253.0.1").
            const std::wstring text = widen(record);
            for (const auto& word : serverList(text))
                if (const auto family = familyOf(word))
                    addUnique(found.outgoing, *canonicalAddress(*family, word));
        }
    }
    if (found.result != CheckResult::Answered && found.errorRcode)
        found.result = CheckResult::Error;
    return found;
}

// The first operator the outgoing addresses name.
std::optional<std::wstring> operatorOfAll(const std::vector<std::wstring>& outgoing) {
    for (const auto& address : outgoing)
        if (auto op = operatorOfOutgoing(address)) return op;
    return std::nullopt;
}

std::wstring resultText(CheckResult result, const std::optional<int>& rcode) {
    switch (result) {
    case CheckResult::Answered:
        return L"answered";
    case CheckResult::Error:
        return L"error: " + widen(rcodeName(rcode.value_or(0)));
    case CheckResult::NotAsked:
        return L"not asked";
    case CheckResult::NoAnswer:
        break;
    }
    return L"no answer";
}

void addRow(std::wstring& out, std::wstring_view label, std::wstring_view value) {
    std::wstring line = L"  " + std::wstring(label);
    line.resize(std::max<std::size_t>(line.size() + 1, 17), L' ');
    out += line + std::wstring(value) + L"\n";
}

std::wstring listText(const std::vector<std::wstring>& items) {
    return items.empty() ? L"none shown" : serversText(items);
}

void jsonOptional(tk::Json& json, std::wstring_view key, const std::optional<std::wstring>& v) {
    json.key(key);
    v ? json.string(*v) : json.null();
}

} // namespace

std::vector<CheckQuestion> directQuestions() {
    return {{kMyAddrName, kTypeTxt}, {kWhoAmIName, kTypeA}, {kResolverInfoName, kTypeTxt}};
}

std::vector<CheckQuestion> resolverQuestions(const std::vector<std::wstring>& servers) {
    auto questions = directQuestions();
    if (std::any_of(servers.begin(), servers.end(),
                    [](const std::wstring& s) { return operatorOfServer(s) == L"Quad9"; }))
        questions.push_back({kQuad9ProtoName, kTypeTxt});
    return questions;
}

std::vector<std::wstring> checkedServers(const CurrentDns& current) {
    std::vector<std::wstring> servers;
    for (const auto& [stat, dhcp] : {std::pair{&current.static4, &current.dhcp4},
                                     std::pair{&current.static6, &current.dhcp6}}) {
        auto list = serverList(stat->value_or(L""));
        if (list.empty()) list = serverList(dhcp->value_or(L""));
        for (auto& server : list)
            if (const auto family = familyOf(server))
                addUnique(servers, *canonicalAddress(*family, server));
    }
    return servers;
}

std::optional<std::wstring> operatorOfServer(std::wstring_view address) {
    return operatorIn(address, &Operator::service);
}

std::optional<std::wstring> operatorOfOutgoing(std::wstring_view address) {
    return operatorIn(address, &Operator::outgoing);
}

std::wstring_view checkResultName(CheckResult result) {
    switch (result) {
    case CheckResult::Answered:
        return L"answered";
    case CheckResult::Error:
        return L"error";
    case CheckResult::NotAsked:
        return L"not-asked";
    case CheckResult::NoAnswer:
        break;
    }
    return L"no-answer";
}

std::wstring ServerCheck::operatorName() const {
    return answeredBy.value_or(L"unknown");
}

ServerCheck judgeServer(std::wstring_view address, const std::vector<CheckAnswer>& answers,
                        bool asked) {
    ServerCheck check;
    check.address = std::wstring(address);
    check.serviceOf = operatorOfServer(address);
    if (!asked) {
        check.result = CheckResult::NotAsked;
        check.notes.push_back(L"not asked: this machine sends DNS queries to loopback only");
        return check;
    }
    auto found = findingsOf(directQuestions(), answers);
    check.result = found.result;
    check.errorRcode = found.errorRcode;
    check.outgoing = std::move(found.outgoing);
    check.clientSubnet = std::move(found.clientSubnet);
    if (check.result != CheckResult::Answered) return check;
    check.answeredBy = operatorOfAll(check.outgoing);
    if (check.serviceOf && check.answeredBy && *check.serviceOf != *check.answeredBy) {
        check.intercepted = true;
        check.notes.push_back(L"your network answers in its place: queries sent to " +
                              *check.serviceOf + L" come back from " + *check.answeredBy +
                              L"'s resolver");
    } else if (check.serviceOf && !check.answeredBy) {
        check.notes.push_back(check.outgoing.empty()
                                  ? L"its answers do not say where it asks from"
                                  : L"its outgoing address is not among " + *check.serviceOf +
                                        L"'s published ranges: not confirmed as " +
                                        *check.serviceOf);
    } else if (check.outgoing.empty()) {
        check.notes.push_back(L"its answers do not say where it asks from");
    }
    return check;
}

ResolverCheck judgeResolver(const std::vector<CheckQuestion>& questions,
                            const std::vector<CheckAnswer>& answers,
                            const std::vector<std::wstring>& servers) {
    ResolverCheck check;
    check.asked = true;
    auto found = findingsOf(questions, answers);
    check.result = found.result;
    check.errorRcode = found.errorRcode;
    check.outgoing = std::move(found.outgoing);
    check.clientSubnet = std::move(found.clientSubnet);
    check.protocol = std::move(found.protocol);
    // Only Quad9 answers its protocol name: that answer names it whatever the address.
    check.answeredBy =
        check.protocol ? std::optional<std::wstring>(L"Quad9") : operatorOfAll(check.outgoing);
    if (check.protocol)
        check.notes.push_back(*check.protocol == L"doh"
                                  ? L"Quad9 says the query came over encrypted DNS (DoH)"
                                  : L"Quad9 says the query came unencrypted (" + *check.protocol +
                                        L")");
    if (check.answeredBy &&
        std::none_of(servers.begin(), servers.end(), [&](const std::wstring& s) {
            return operatorOfServer(s) == check.answeredBy;
        }))
        check.notes.push_back(L"Windows' resolver is answered by " + *check.answeredBy +
                              L", which is none of this adapter's servers");
    return check;
}

ResolverCheck resolverNotAsked(std::wstring whyNot) {
    ResolverCheck check;
    check.result = CheckResult::NotAsked;
    check.whyNot = std::move(whyNot);
    return check;
}

bool answeredAsItself(const CheckReport& report) {
    const bool any = std::any_of(report.servers.begin(), report.servers.end(),
                                 [](const auto& s) { return s.result == CheckResult::Answered; });
    return any && std::none_of(report.servers.begin(), report.servers.end(),
                               [](const auto& s) { return s.intercepted; });
}

std::wstring checkVerdict(const CheckReport& report) {
    std::wstring out;
    if (report.servers.empty()) return L"The adapter has no DNS servers to ask.\n";
    for (const auto& s : report.servers)
        if (s.intercepted)
            out += L"Your network answers in place of " + *s.serviceOf + L": queries sent to " +
                   s.address + L" come back from " + *s.answeredBy + L"'s resolver.\n";
    if (!out.empty()) return out;
    if (!answeredAsItself(report)) return L"No DNS server of the adapter answered.\n";
    std::size_t answered = 0;
    for (const auto& s : report.servers)
        if (s.result == CheckResult::Answered) ++answered;
    out = answered == report.servers.size()
              ? L"Every DNS server answered as itself.\n"
              : L"The DNS servers that answered answered as themselves; " +
                    tk::decimal(report.servers.size() - answered) + L" of " +
                    tk::decimal(report.servers.size()) + L" gave an error or no answer.\n";
    std::size_t unconfirmed = 0;
    for (const auto& s : report.servers)
        if (s.result == CheckResult::Answered && s.serviceOf && !s.answeredBy) ++unconfirmed;
    if (unconfirmed)
        out += tk::decimal(unconfirmed) + L" of them could not be confirmed as the service "
                                          L"their address belongs to (see the notes).\n";
    if (report.resolver && report.resolver->protocol)
        out += *report.resolver->protocol == L"doh"
                   ? L"Encrypted DNS is in force: Quad9 received the query over DoH.\n"
                   : L"Encrypted DNS is not in force: Quad9 received the query over " +
                         *report.resolver->protocol + L".\n";
    return out;
}

std::wstring checkText(const CheckReport& report) {
    std::wstring out;
    if (!report.adapter.empty()) out += L"Adapter: " + report.adapter + L"\n";
    for (const auto& s : report.servers) {
        out += L"Server " + s.address + (s.serviceOf ? L" (" + *s.serviceOf + L")" : L"") + L"\n";
        addRow(out, L"Result", resultText(s.result, s.errorRcode));
        if (s.result == CheckResult::Answered) {
            addRow(out, L"Outgoing", listText(s.outgoing));
            addRow(out, L"Operator", s.operatorName());
        }
        for (const auto& note : s.notes)
            addRow(out, L"Note", note);
    }
    if (report.resolver) {
        const auto& r = *report.resolver;
        out += L"Windows' resolver\n";
        if (!r.asked) {
            addRow(out, L"Result", L"not asked: " + r.whyNot);
        } else {
            addRow(out, L"Result", resultText(r.result, r.errorRcode));
            if (r.result == CheckResult::Answered) {
                addRow(out, L"Outgoing", listText(r.outgoing));
                addRow(out, L"Operator", r.answeredBy.value_or(L"unknown"));
                addRow(out, L"Client subnet", r.clientSubnet.value_or(L"none shown"));
            }
            if (!r.whyNot.empty()) addRow(out, L"Note", r.whyNot);
            for (const auto& note : r.notes)
                addRow(out, L"Note", note);
        }
    }
    return out + checkVerdict(report);
}

std::wstring checkJsonBody(const CheckReport& report) {
    tk::Json json;
    json.open(L'{').key(L"adapter").string(report.adapter);
    json.key(L"answeredAsItself").boolean(answeredAsItself(report));
    json.key(L"servers").open(L'[');
    for (const auto& s : report.servers) {
        json.open(L'{').key(L"address").string(s.address);
        json.key(L"result").string(checkResultName(s.result));
        jsonOptional(json, L"error",
                     s.errorRcode && s.result == CheckResult::Error
                         ? std::optional(widen(rcodeName(*s.errorRcode)))
                         : std::nullopt);
        json.key(L"outgoing").strings(s.outgoing);
        json.key(L"operator").string(s.operatorName());
        jsonOptional(json, L"serviceOf", s.serviceOf);
        jsonOptional(json, L"clientSubnet", s.clientSubnet);
        json.key(L"intercepted").boolean(s.intercepted);
        json.key(L"notes").strings(s.notes).close(L'}');
    }
    json.close(L']').key(L"resolver");
    if (!report.resolver) {
        json.null();
    } else {
        const auto& r = *report.resolver;
        json.open(L'{').key(L"result").string(checkResultName(r.result));
        jsonOptional(json, L"whyNot", r.whyNot.empty() ? std::nullopt : std::optional(r.whyNot));
        jsonOptional(json, L"error",
                     r.errorRcode && r.result == CheckResult::Error
                         ? std::optional(widen(rcodeName(*r.errorRcode)))
                         : std::nullopt);
        json.key(L"outgoing").strings(r.outgoing);
        json.key(L"operator").string(r.answeredBy.value_or(L"unknown"));
        jsonOptional(json, L"clientSubnet", r.clientSubnet);
        jsonOptional(json, L"protocol", r.protocol);
        json.key(L"notes").strings(r.notes).close(L'}');
    }
    std::wstring verdict = checkVerdict(report);
    while (!verdict.empty() && verdict.back() == L'\n')
        verdict.pop_back();
    json.key(L"verdict").string(verdict).close(L'}');
    return json.text();
}

} // namespace dns
