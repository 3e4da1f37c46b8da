// What /networks and /apply-rules print, as text and as JSON.
#include "cli/report.h"

namespace cli {

namespace {

void ruleJson(tk::Json& j, const dns::NetworkRule* rule) {
    if (!rule)
        j.null();
    else if (rule->entry)
        j.string(*rule->entry);
    else
        j.open(L'{').key(L"automatic").boolean(true).close(L'}');
}

std::wstring ruleText(const dns::NetworkRule* rule) {
    if (!rule) return L"none";
    return rule->entry ? *rule->entry : L"automatic servers (DHCP)";
}

std::wstring networkLine(const dns::Network& network) {
    return (network.name.empty() ? L"(no name)" : network.name) + L"  " + network.id;
}

} // namespace

std::wstring networksText(const std::vector<dns::Network>& networks,
                          const dns::CheckedRules& rules) {
    if (networks.empty()) return L"No network is connected.\n";
    std::wstring out;
    for (const auto& network : networks) {
        out += networkLine(network) + L"\n   Rule: " + ruleText(dns::ruleFor(rules, network.id)) +
               L"\n";
        for (const auto& adapter : network.adapters)
            out += L"   Adapter: " + adapter.description + L"  " + adapter.guid + L"\n";
        if (network.adapters.empty()) out += L"   Adapter: none that Keldrast lists\n";
    }
    return out;
}

std::wstring networksJson(const std::vector<dns::Network>& networks,
                          const dns::CheckedRules& rules) {
    tk::Json j;
    j.open(L'{').key(L"networks").open(L'[');
    for (const auto& network : networks) {
        j.open(L'{').key(L"id").string(network.id).key(L"name").string(network.name);
        j.key(L"adapters").open(L'[');
        for (const auto& adapter : network.adapters)
            j.open(L'{')
                .key(L"guid")
                .string(adapter.guid)
                .key(L"description")
                .string(adapter.description)
                .close(L'}');
        j.close(L']').key(L"rule");
        ruleJson(j, dns::ruleFor(rules, network.id));
        j.close(L'}');
    }
    return j.close(L']').close(L'}').text();
}

std::wstring applyRulesText(const std::vector<RuleChange>& changes) {
    std::wstring out;
    for (const auto& change : changes) {
        out += networkLine(change.network) + L": " + ruleText(&change.rule) + L"\n";
        for (const auto& report : change.reports)
            out += changeText(report);
    }
    return out;
}

std::wstring applyRulesJson(const std::vector<RuleChange>& changes,
                            const std::vector<dns::RefusedRule>& refused, int exitCode,
                            std::wstring_view message) {
    tk::Json j;
    j.open(L'{').key(L"command").string(verbName(Verb::ApplyRules));
    j.key(L"exitCode").number(static_cast<long long>(exitCode)).key(L"networks").open(L'[');
    std::wstring text = j.text();
    for (std::size_t n = 0; n < changes.size(); ++n) {
        const auto& change = changes[n];
        tk::Json head;
        head.open(L'{').key(L"id").string(change.network.id);
        head.key(L"name").string(change.network.name).key(L"rule");
        ruleJson(head, &change.rule);
        text += (n ? L"," : L"") + head.text() + L",\"changes\":[";
        for (std::size_t i = 0; i < change.reports.size(); ++i)
            text += (i ? L"," : L"") + changeJson(change.reports[i], i < change.messages.size()
                                                                         ? change.messages[i]
                                                                         : L"");
        text += L"]}";
    }
    tk::Json tail;
    tail.open(L'[');
    for (const auto& r : refused)
        tail.open(L'{')
            .key(L"network")
            .string(r.network)
            .key(L"message")
            .string(r.message)
            .close(L'}');
    tail.close(L']');
    return text + L"],\"refused\":" + tail.text() + L",\"message\":" + tk::jsonString(message) +
           L"}";
}

} // namespace cli
