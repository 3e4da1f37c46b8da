// The check against real UDP sockets: loopback responders standing in for public services
// (an honest one, one that refuses, a silent one, one that claims another operator's identity),
// reached through the route entry point; and Windows' resolver through its entry point only.
#include "dns/checkrun.h"

#include "loopback_dns.h"

#include <gtest/gtest.h>

#include <map>

namespace {

using dns::CheckResult;
using loopback::Plan;

constexpr const char* kGoogleEgress = "172.253.1.1";
constexpr const char* kCloudflareEgress = "162.158.4.4";

// Sends each public address to the responder given for it.
dns::CheckRouteHandler routes(const loopback::Responders& responders,
                              std::map<std::wstring, std::size_t> table) {
    return [&responders, table](const std::wstring& server) -> std::optional<dns::CheckRoute> {
        const auto found = table.find(server);
        if (found == table.end()) return std::nullopt;
        return dns::CheckRoute{responders.address(found->second), responders.port(found->second)};
    };
}

dns::CheckOptions direct() {
    dns::CheckOptions options;
    options.direct = true;
    options.timeoutMs = 700;
    return options;
}

} // namespace

TEST(Check, EachServerAskedDirectlyAndJudged) {
    loopback::Responders responders({{.identity = kGoogleEgress},
                                     {.identity = kCloudflareEgress},
                                     {.rcode = 5},
                                     {.silent = true}});
    dns::ScopedCheckRoute route{routes(
        responders, {{L"8.8.8.8", 0}, {L"8.8.4.4", 1}, {L"9.9.9.9", 2}, {L"149.112.112.112", 3}})};
    const auto report = dns::runCheck(
        L"Test", {L"8.8.8.8", L"8.8.4.4", L"9.9.9.9", L"149.112.112.112"}, 0, direct());
    ASSERT_EQ(report.servers.size(), 4u);
    const auto& honest = report.servers[0];
    EXPECT_EQ(honest.result, CheckResult::Answered);
    EXPECT_EQ(honest.outgoing, std::vector<std::wstring>{L"172.253.1.1"}); // TXT and A agree
    EXPECT_EQ(honest.operatorName(), L"Google");
    EXPECT_FALSE(honest.intercepted);
    const auto& impostor = report.servers[1];
    EXPECT_EQ(impostor.operatorName(), L"Cloudflare");
    EXPECT_TRUE(impostor.intercepted);
    EXPECT_EQ(report.servers[2].result, CheckResult::Error);
    EXPECT_EQ(report.servers[2].errorRcode, 5);
    EXPECT_EQ(report.servers[3].result, CheckResult::NoAnswer);
    EXPECT_FALSE(report.resolver);
    EXPECT_FALSE(dns::answeredAsItself(report));
    EXPECT_NE(dns::checkVerdict(report).find(L"Your network answers in place of Google"),
              std::wstring::npos);

    // The honest one alone passes; the refusing and silent ones alone mean nobody answered.
    EXPECT_TRUE(dns::answeredAsItself(dns::runCheck(L"Test", {L"8.8.8.8"}, 0, direct())));
    EXPECT_FALSE(dns::answeredAsItself(
        dns::runCheck(L"Test", {L"9.9.9.9", L"149.112.112.112"}, 0, direct())));
}

// The test machines' guard: a server outside loopback is not asked, and without a replaced
// entry point Windows' resolver is not asked either.
TEST(Check, LoopbackOnlyAsksNothingOutside) {
    ASSERT_TRUE(dns::loopbackOnly());
    auto options = direct();
    options.direct = false;
    options.timeoutMs = 100;
    const auto report = dns::runCheck(L"Test", {L"8.8.8.8"}, 0, options);
    EXPECT_EQ(report.servers.front().result, CheckResult::NotAsked);
    ASSERT_TRUE(report.resolver);
    EXPECT_FALSE(report.resolver->asked);
    EXPECT_NE(dns::checkText(report).find(L"not asked: this machine sends DNS queries to loopback"),
              std::wstring::npos);
}

TEST(Check, WindowsResolverThroughItsEntryPoint) {
    loopback::Responders responders({{.identity = "9.9.9.20"}});
    dns::ScopedCheckRoute route{routes(responders, {{L"9.9.9.9", 0}})};
    std::vector<std::string> asked;
    std::vector<unsigned long> interfaces;
    dns::ScopedResolverQuery resolver{
        [&](std::string_view name, std::uint16_t type, unsigned long ifIndex) {
            asked.emplace_back(name);
            interfaces.push_back(ifIndex);
            dns::ResolverReply reply;
            reply.answer.kind = dns::AnswerKind::Answered;
            if (name == dns::kMyAddrName && type == dns::kTypeTxt)
                reply.answer.txt = {"9.9.9.20", "edns0-client-subnet 198.51.100.0/24"};
            else if (name == dns::kQuad9ProtoName && type == dns::kTypeTxt)
                reply.answer.txt = {"doh"};
            return reply;
        }};
    auto options = direct();
    options.direct = false;
    const auto report = dns::runCheck(L"Test", {L"9.9.9.9"}, 7, options);
    EXPECT_EQ(asked, (std::vector<std::string>{
                         std::string(dns::kMyAddrName), std::string(dns::kWhoAmIName),
                         std::string(dns::kResolverInfoName), std::string(dns::kQuad9ProtoName)}));
    EXPECT_EQ(interfaces, std::vector<unsigned long>(4, 7));
    ASSERT_TRUE(report.resolver);
    EXPECT_EQ(report.resolver->protocol, L"doh");
    EXPECT_EQ(report.resolver->clientSubnet, L"198.51.100.0/24");
    EXPECT_EQ(report.resolver->answeredBy, L"Quad9");
    EXPECT_TRUE(dns::answeredAsItself(report));
    EXPECT_NE(dns::checkText(report).find(L"Encrypted DNS is in force"), std::wstring::npos);

    // A resolver that gives nothing at all says why.
    dns::ScopedResolverQuery broken{[](std::string_view, std::uint16_t, unsigned long) {
        return dns::ResolverReply{{}, 120ul};
    }};
    const auto failed = dns::runCheck(L"Test", {L"9.9.9.9"}, 7, options);
    ASSERT_TRUE(failed.resolver);
    EXPECT_EQ(failed.resolver->result, CheckResult::NoAnswer);
    EXPECT_NE(failed.resolver->whyNot.find(L"error 120"), std::wstring::npos);
}
