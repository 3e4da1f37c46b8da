// Which DNS really answers: the questions the check asks, what their answers say (the address a
// resolver goes out from, the client subnet it passes on, whether encrypted DNS carried the
// query), the operators it can recognise, and the verdict. Pure: the shell (checkrun.h) asks the
// servers directly and through Windows' resolver and hands the answers here.
//
// An address difference alone is never called a leak: a server is said to be answered by
// someone else only when its answers name an operator other than the one it belongs to.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dns/dnsmessage.h"
#include "dns/dnsplan.h"

namespace dns {

// "Who is asking" names: each answers with the address the resolver asked from.
inline constexpr std::string_view kMyAddrName = "o-o.myaddr.l.google.com";      // TXT
inline constexpr std::string_view kWhoAmIName = "whoami.akamai.net";            // A
inline constexpr std::string_view kResolverInfoName = "resolver.dnscrypt.info"; // TXT
// Answered only by Quad9's resolvers: "doh", "dot", "udp" or "tcp", how the query reached them.
inline constexpr std::string_view kQuad9ProtoName = "proto.on.quad9.net"; // TXT
// The line of o-o.myaddr's answer that names the client subnet passed on (EDNS client subnet).
inline constexpr std::string_view kClientSubnetPrefix = "edns0-client-subnet ";

// The item that runs the check, the same in every menu that has it.
inline constexpr std::wstring_view kCheckMenuText = L"Check wh&ich DNS answers\u2026";

struct CheckQuestion {
    std::string_view name;
    std::uint16_t type = 0;
    bool operator==(const CheckQuestion&) const = default;
};
// What each server is asked directly, in order.
std::vector<CheckQuestion> directQuestions();
// What Windows' resolver is asked: the same, and Quad9's protocol name when one of `servers`
// is a Quad9 service address.
std::vector<CheckQuestion> resolverQuestions(const std::vector<std::wstring>& servers);

// The servers the adapter uses: its static servers of both families, otherwise the DHCP ones
// (a family without static servers takes its DHCP ones).
std::vector<std::wstring> checkedServers(const CurrentDns& current);

enum class AnswerKind { NoAnswer, Answered, Error };
struct CheckAnswer {
    AnswerKind kind = AnswerKind::NoAnswer;
    int rcode = 0;                         // Answered: NOERROR or NXDOMAIN; Error: the code
    std::vector<std::string> txt{};        // TXT records, each one's strings joined
    std::vector<std::wstring> addresses{}; // A records
    bool operator==(const CheckAnswer&) const = default;
};

// The operators this program recognises, by their service addresses (what a user sets) and by
// the published ranges their resolvers go out from. Nothing for any other address.
std::optional<std::wstring> operatorOfServer(std::wstring_view address);
std::optional<std::wstring> operatorOfOutgoing(std::wstring_view address);

enum class CheckResult { Answered, Error, NoAnswer, NotAsked };
// "answered", "error", "no-answer", "not-asked".
std::wstring_view checkResultName(CheckResult result);

// One server asked directly, judged.
struct ServerCheck {
    std::wstring address{};
    CheckResult result = CheckResult::NoAnswer;
    std::optional<int> errorRcode{};      // Error: the first error's code
    std::vector<std::wstring> outgoing{}; // the addresses its resolver asked from
    std::optional<std::wstring> clientSubnet{};
    std::optional<std::wstring> serviceOf{};  // the operator the address belongs to
    std::optional<std::wstring> answeredBy{}; // the operator its answers name
    bool intercepted = false;                 // answeredBy is another operator than serviceOf
    std::vector<std::wstring> notes{};
    // The operator as reported: answeredBy, or "unknown".
    std::wstring operatorName() const;
};
// answers: by directQuestions. asked: false when the server was not asked at all (outside
// loopback on a test machine).
ServerCheck judgeServer(std::wstring_view address, const std::vector<CheckAnswer>& answers,
                        bool asked = true);

// Windows' resolver asked on the adapter's interface.
struct ResolverCheck {
    bool asked = false;
    std::wstring whyNot{}; // not asked, or every question failed: why
    CheckResult result = CheckResult::NoAnswer;
    std::optional<int> errorRcode{};
    std::vector<std::wstring> outgoing{};
    std::optional<std::wstring> clientSubnet{};
    std::optional<std::wstring> answeredBy{};
    std::optional<std::wstring> protocol{}; // Quad9's answer: "doh", "udp"...
    std::vector<std::wstring> notes{};
};
// answers: by `questions` (resolverQuestions); servers: the adapter's, for the notes.
ResolverCheck judgeResolver(const std::vector<CheckQuestion>& questions,
                            const std::vector<CheckAnswer>& answers,
                            const std::vector<std::wstring>& servers);
ResolverCheck resolverNotAsked(std::wstring whyNot);

struct CheckReport {
    std::wstring adapter{}; // its description
    std::vector<ServerCheck> servers{};
    std::optional<ResolverCheck> resolver{}; // nothing with /direct
};
// Every server answered as itself: something answered, and nothing was answered by another
// operator. False is the command line's exit code 5.
bool answeredAsItself(const CheckReport& report);
// The verdict in plain words, one sentence a line.
std::wstring checkVerdict(const CheckReport& report);
// A short table per server, Windows' resolver, then the verdict.
std::wstring checkText(const CheckReport& report);
// The document of docs/schemas/check.schema.json, without the command's own fields.
std::wstring checkJsonBody(const CheckReport& report);

} // namespace dns
