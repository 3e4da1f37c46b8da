// Which DNS answers: the servers checked, the operators recognised, and the verdict on what
// came back, from answers as the shell hands them over.
#include "dns/check.h"

#include <gtest/gtest.h>

using namespace dns;

namespace {

CheckAnswer txt(std::vector<std::string> records) {
    return {AnswerKind::Answered, 0, std::move(records), {}};
}
CheckAnswer a(std::vector<std::wstring> addresses) {
    return {AnswerKind::Answered, 0, {}, std::move(addresses)};
}
CheckAnswer error(int rcode) {
    return {AnswerKind::Error, rcode, {}, {}};
}
const CheckAnswer kSilent{};

} // namespace

TEST(Check, ServersAreStaticOtherwiseDhcpPerFamily) {
    CurrentDns current;
    current.static4 = L"8.8.8.8,8.8.4.4";
    current.dhcp4 = L"192.168.1.1";
    current.dhcp6 = L"fd00::1 FD00:0:0::2";
    EXPECT_EQ(checkedServers(current),
              (std::vector<std::wstring>{L"8.8.8.8", L"8.8.4.4", L"fd00::1", L"fd00::2"}));
    current.static4 = L"";
    EXPECT_EQ(checkedServers(current).front(), L"192.168.1.1");
    EXPECT_TRUE(checkedServers({}).empty());
    EXPECT_EQ(resolverQuestions({L"8.8.8.8"}), directQuestions());
    EXPECT_EQ(resolverQuestions({L"192.168.1.1", L"2620:fe::fe"}).back(),
              (CheckQuestion{kQuad9ProtoName, kTypeTxt}));
}

TEST(Check, OperatorsByServiceAddressAndPublishedRanges) {
    const struct {
        const wchar_t* address;
        const wchar_t* service; // nullptr: none
        const wchar_t* outgoing;
    } cases[] = {
        {L"8.8.8.8", L"Google", L"Google"},
        {L"2001:4860:4860::8844", L"Google", L"Google"},
        {L"172.253.5.9", nullptr, L"Google"},
        {L"2a00:1450:4001::1", nullptr, L"Google"},
        {L"1.1.1.1", L"Cloudflare", L"Cloudflare"},
        {L"162.159.200.1", nullptr, L"Cloudflare"},
        {L"2606:4700:4700::1111", L"Cloudflare", L"Cloudflare"},
        {L"9.9.9.9", L"Quad9", L"Quad9"},
        {L"149.112.112.112", L"Quad9", L"Quad9"},
        {L"8.8.9.8", nullptr, nullptr}, // just outside 8.8.8.0/24
        {L"192.168.1.1", nullptr, nullptr},
        {L"203.0.113.9", nullptr, nullptr},
        {L"not an address", nullptr, nullptr},
    };
    for (const auto& c : cases) {
        const auto expect = [](const wchar_t* name) {
            return name ? std::optional<std::wstring>(name) : std::nullopt;
        };
        EXPECT_EQ(operatorOfServer(c.address), expect(c.service)) << c.address;
        EXPECT_EQ(operatorOfOutgoing(c.address), expect(c.outgoing)) << c.address;
    }
}

// Answers in directQuestions order: o-o.myaddr TXT, whoami A, resolver.dnscrypt.info TXT.
TEST(Check, EachServerJudgedByWhatItsAnswersName) {
    const struct {
        const wchar_t* what;
        const wchar_t* server;
        std::vector<CheckAnswer> answers;
        CheckResult result;
        const wchar_t* operatorName;
        bool intercepted;
        std::vector<std::wstring> outgoing;
        const wchar_t* note; // a part of the first note; nullptr: none
    } cases[] = {
        {L"honest Google",
         L"8.8.8.8",
         {txt({"172.253.1.1", "edns0-client-subnet 198.51.100.0/24"}), a({L"172.253.1.1"}),
          error(5)},
         CheckResult::Answered,
         L"Google",
         false,
         {L"172.253.1.1"},
         nullptr},
        {L"Google's address, Cloudflare's resolver",
         L"8.8.8.8",
         {txt({"162.158.4.4"}), kSilent, kSilent},
         CheckResult::Answered,
         L"Cloudflare",
         true,
         {L"162.158.4.4"},
         L"your network answers in its place"},
        {L"Google's address, an unknown resolver: no claim",
         L"8.8.8.8",
         {txt({"203.0.113.9"}), a({L"203.0.113.9"}), error(5)},
         CheckResult::Answered,
         L"unknown",
         false,
         {L"203.0.113.9"},
         L"not confirmed as Google"},
        {L"a home router forwarding to Google",
         L"192.168.1.1",
         {txt({"2404:6800:4003::1"}), a({L"74.125.1.1"}), txt({"Resolver IP: 74.125.1.1"})},
         CheckResult::Answered,
         L"Google",
         false,
         {L"2404:6800:4003::1", L"74.125.1.1"},
         nullptr},
        {L"refusing",
         L"127.0.0.1",
         {error(5), error(2), error(5)},
         CheckResult::Error,
         L"unknown",
         false,
         {},
         nullptr},
        {L"silent",
         L"127.0.0.1",
         {kSilent, kSilent, kSilent},
         CheckResult::NoAnswer,
         L"unknown",
         false,
         {},
         nullptr},
        {L"answers without an address",
         L"127.0.0.1",
         {txt({"hello"}), error(5), kSilent},
         CheckResult::Answered,
         L"unknown",
         false,
         {},
         L"do not say where"},
    };
    for (const auto& c : cases) {
        const auto check = judgeServer(c.server, c.answers);
        EXPECT_EQ(check.result, c.result) << c.what;
        EXPECT_EQ(check.operatorName(), c.operatorName) << c.what;
        EXPECT_EQ(check.intercepted, c.intercepted) << c.what;
        EXPECT_EQ(check.outgoing, c.outgoing) << c.what;
        if (c.note) {
            ASSERT_FALSE(check.notes.empty()) << c.what;
            EXPECT_NE(check.notes.front().find(c.note), std::wstring::npos) << c.what;
        } else {
            EXPECT_TRUE(check.notes.empty()) << c.what;
        }
    }
    EXPECT_EQ(judgeServer(L"8.8.8.8", {txt({"172.253.1.1", "edns0-client-subnet 198.51.100.0/24"})})
                  .clientSubnet,
              L"198.51.100.0/24");
    EXPECT_EQ(judgeServer(L"127.0.0.1", {error(5)}).errorRcode, 5);
    EXPECT_EQ(judgeServer(L"8.8.8.8", {}, false).result, CheckResult::NotAsked);
}

TEST(Check, WindowsResolverShowsSubnetAndEncryption) {
    const auto questions = resolverQuestions({L"9.9.9.9"});
    auto doh = judgeResolver(
        questions,
        {txt({"9.9.9.20", "edns0-client-subnet 198.51.100.0/24"}), kSilent, kSilent, txt({"doh"})},
        {L"9.9.9.9"});
    EXPECT_EQ(doh.result, CheckResult::Answered);
    EXPECT_EQ(doh.protocol, L"doh");
    EXPECT_EQ(doh.answeredBy, L"Quad9");
    EXPECT_EQ(doh.clientSubnet, L"198.51.100.0/24");
    EXPECT_EQ(doh.outgoing, std::vector<std::wstring>{L"9.9.9.20"}); // "doh" is no address
    const auto plain =
        judgeResolver(questions, {kSilent, kSilent, kSilent, txt({"udp"})}, {L"9.9.9.9"});
    ASSERT_FALSE(plain.notes.empty());
    EXPECT_NE(plain.notes.front().find(L"unencrypted (udp)"), std::wstring::npos);
    // Answers from an operator none of the servers belongs to: said, as a note.
    const auto other = judgeResolver(directQuestions(), {txt({"172.253.1.1"})}, {L"9.9.9.9"});
    EXPECT_EQ(other.answeredBy, L"Google");
    ASSERT_FALSE(other.notes.empty());
    EXPECT_NE(other.notes.back().find(L"none of this adapter's servers"), std::wstring::npos);
}

TEST(Check, VerdictTextAndJson) {
    CheckReport report{L"Ethernet", {}, std::nullopt};
    EXPECT_FALSE(answeredAsItself(report));
    EXPECT_EQ(checkVerdict(report), L"The adapter has no DNS servers to ask.\n");

    report.servers = {judgeServer(L"8.8.8.8", {txt({"172.253.1.1"})}),
                      judgeServer(L"127.0.0.1", {kSilent})};
    report.resolver = judgeResolver(resolverQuestions({L"9.9.9.9"}),
                                    {kSilent, kSilent, kSilent, txt({"doh"})}, {L"9.9.9.9"});
    EXPECT_TRUE(answeredAsItself(report));
    const auto text = checkText(report);
    for (const wchar_t* part :
         {L"Adapter: Ethernet\n", L"Server 8.8.8.8 (Google)\n  Result         answered\n",
          L"  Outgoing       172.253.1.1\n  Operator       Google\n",
          L"Server 127.0.0.1\n  Result         no answer\n", L"Windows' resolver\n",
          L"1 of 2 gave an error or no answer", L"Encrypted DNS is in force"})
        EXPECT_NE(text.find(part), std::wstring::npos) << part << L"\n" << text;
    const auto json = checkJsonBody(report);
    for (const wchar_t* part :
         {L"{\"adapter\":\"Ethernet\",\"answeredAsItself\":true,\"servers\":[{\"address\":"
          L"\"8.8.8.8\",\"result\":\"answered\",\"error\":null,\"outgoing\":[\"172.253.1.1\"],"
          L"\"operator\":\"Google\",\"serviceOf\":\"Google\",\"clientSubnet\":null,"
          L"\"intercepted\":false,\"notes\":[]}",
          L"\"result\":\"no-answer\"", L"\"protocol\":\"doh\"",
          L"gave an error or no answer.\\nEncrypted DNS is in force: Quad9 received the query over "
          L"DoH.\"}"})
        EXPECT_NE(json.find(part), std::wstring::npos) << part << L"\n" << json;

    report.servers.push_back(judgeServer(L"9.9.9.9", {txt({"203.0.113.9"})}));
    EXPECT_TRUE(answeredAsItself(report)) << "an unknown resolver is no claim";
    EXPECT_NE(checkVerdict(report).find(L"1 of them could not be confirmed"), std::wstring::npos);
    report.servers.push_back(judgeServer(L"1.1.1.1", {txt({"172.253.1.1"})}));
    EXPECT_FALSE(answeredAsItself(report));
    EXPECT_EQ(checkVerdict(report),
              L"Your network answers in place of Cloudflare: queries sent to 1.1.1.1 come back "
              L"from Google's resolver.\n");
    report.servers = {judgeServer(L"127.0.0.1", {error(5)})};
    EXPECT_FALSE(answeredAsItself(report));
    EXPECT_EQ(checkVerdict(report), L"No DNS server of the adapter answered.\n");
    EXPECT_NE(checkText(report).find(L"error: REFUSED"), std::wstring::npos);
}
