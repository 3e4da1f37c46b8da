// The speed test's DNS messages: the query on the wire, which replies count, and that no bytes
// at all can make the parser read out of bounds (run under the sanitizers natively).
#include "dns/dnsmessage.h"

#include <gtest/gtest.h>

#include <random>

using namespace dns;
using Bytes = std::vector<std::uint8_t>;

namespace {

// A reply to `query` as a server would send it: header flags, the question echoed, then `tail`
// (answer records) with the answer count given.
Bytes replyTo(const Bytes& query, std::uint16_t flags, std::uint16_t answers, const Bytes& tail) {
    Bytes out = query;
    out[2] = static_cast<std::uint8_t>(flags >> 8);
    out[3] = static_cast<std::uint8_t>(flags);
    out[7] = static_cast<std::uint8_t>(answers);
    out.insert(out.end(), tail.begin(), tail.end());
    return out;
}

// An A record owned by the question's name (a pointer to offset 12), with data `ip`.
Bytes aRecord(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
    return {0xC0, 12, 0, 1, 0, 1, 0, 0, 0, 60, 0, 4, a, b, c, d};
}

} // namespace

TEST(DnsQuery, WireFormat) {
    const Bytes expected{0xAB, 0xCD, 0x01, 0x00, 0,   1, 0,   0,   0,   0, 0, 0, 7, 'e', 'x',
                         'a',  'm',  'p',  'l',  'e', 3, 'c', 'o', 'm', 0, 0, 1, 0, 1};
    EXPECT_EQ(buildQuery(0xABCD, "example.com"), expected);
    for (const char* bad : {"", ".", "a..b", "a.", ".a", "a b", "caf\xC3\xA9"})
        EXPECT_FALSE(buildQuery(1, bad)) << bad;
    EXPECT_TRUE(buildQuery(1, std::string(63, 'a') + ".b"));
    EXPECT_FALSE(buildQuery(1, std::string(64, 'a') + ".b"));
    EXPECT_FALSE(buildQuery(1, std::string(254, 'a')));
}

TEST(DnsReply, WhatCounts) {
    const Bytes query = *buildQuery(0x1234, "example.com");
    const auto check = [&](const Bytes& message) {
        return parseReply(message, 0x1234, "example.com");
    };
    const auto normal = check(replyTo(query, 0x8180, 2, [] {
        Bytes records = aRecord(93, 184, 216, 34);
        const Bytes second = aRecord(1, 2, 3, 4);
        records.insert(records.end(), second.begin(), second.end());
        return records;
    }()));
    EXPECT_EQ(normal.check, ReplyCheck::Answer);
    EXPECT_EQ(normal.rcode, 0);
    ASSERT_EQ(normal.ipv4.size(), 2u);
    EXPECT_EQ(normal.ipv4[0], (std::array<std::uint8_t, 4>{93, 184, 216, 34}));

    // No such name is still an answer: the server replied.
    const auto nxdomain = check(replyTo(query, 0x8183, 0, {}));
    EXPECT_EQ(nxdomain.check, ReplyCheck::Answer);
    EXPECT_EQ(nxdomain.rcode, 3);
    // A truncated reply may stop after the question.
    const auto truncated = check(replyTo(query, 0x8380, 3, {}));
    EXPECT_EQ(truncated.check, ReplyCheck::Answer);
    EXPECT_TRUE(truncated.truncated);
    // The question echoed in other letter case.
    Bytes upper = replyTo(query, 0x8180, 0, {});
    upper[13] = 'E';
    EXPECT_EQ(check(upper).check, ReplyCheck::Answer);

    // The plain reply with byte `at` set to `value`, or `cut` bytes short.
    const auto patched = [&](std::size_t at, std::uint8_t value) {
        auto m = replyTo(query, 0x8180, 0, {});
        m[at] = value;
        return m;
    };
    const auto cut = [](Bytes m, std::size_t n) {
        m.resize(m.size() - n);
        return m;
    };
    const Bytes plain = replyTo(query, 0x8180, 0, {});
    // The same question as one label "example.com", and with a label more.
    Bytes oneLabel(plain.begin(), plain.begin() + 12);
    oneLabel.push_back(11);
    for (char c : std::string("example.com"))
        oneLabel.push_back(static_cast<std::uint8_t>(c));
    oneLabel.insert(oneLabel.end(), {0, 0, 1, 0, 1});
    Bytes longer(plain.begin(), plain.begin() + 24);
    longer.insert(longer.end(), {1, 'x', 0, 0, 1, 0, 1});
    const struct {
        const char* what;
        Bytes message;
        ReplyCheck expected;
    } noise[] = {
        {"empty", {}, ReplyCheck::TooShort},
        {"short header", Bytes(query.begin(), query.begin() + 11), ReplyCheck::TooShort},
        {"other ID", patched(1, static_cast<std::uint8_t>(plain[1] ^ 1)), ReplyCheck::WrongId},
        {"a query", query, ReplyCheck::NotAResponse},
        {"other name", patched(14, 'y'), ReplyCheck::WrongQuestion},
        {"type AAAA", patched(26, 28), ReplyCheck::WrongQuestion},
        {"no question", patched(5, 0), ReplyCheck::WrongQuestion},
        {"one label with a dot", oneLabel, ReplyCheck::WrongQuestion},
        {"a label more", longer, ReplyCheck::WrongQuestion},
        {"record cut in its fixed part", cut(replyTo(query, 0x8180, 1, aRecord(1, 2, 3, 4)), 8),
         ReplyCheck::Malformed},
        {"question cut", cut(plain, 2), ReplyCheck::Malformed},
        {"record cut", cut(replyTo(query, 0x8180, 1, aRecord(1, 2, 3, 4)), 1),
         ReplyCheck::Malformed},
        {"record count too high", replyTo(query, 0x8180, 2, aRecord(1, 2, 3, 4)),
         ReplyCheck::Malformed},
        {"owner points at itself",
         replyTo(query, 0x8180, 1, {0xC0, 29, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0}),
         ReplyCheck::Malformed},
    };
    for (const auto& c : noise)
        EXPECT_EQ(check(c.message).check, c.expected) << c.what;
}

TEST(DnsName, PointersAndLoops) {
    // 12: "a" -> 15: "b" then a pointer to 12; 21: pointer to itself; 23: pointer forward to 25.
    Bytes message(12, 0);
    const Bytes body{1, 'a', 0, 1, 'b', 0xC0, 12, 0, 0xC0, 21, 0xC0, 25, 1, 'z', 0};
    message.insert(message.end(), body.begin(), body.end());
    EXPECT_EQ(readName(message, 12), "a");
    EXPECT_EQ(readName(message, 15), "b.a");
    EXPECT_FALSE(readName(message, 20)); // the self-pointer
    EXPECT_FALSE(readName(message, 22)); // a pointer forward: could only loop or jump ahead
    EXPECT_EQ(readName(message, 24), "z");
    EXPECT_FALSE(readName(message, 27)); // past the end
    // Two names that point at each other.
    Bytes loop(12, 0);
    loop.insert(loop.end(), {1, 'x', 0xC0, 16, 1, 'y', 0xC0, 12});
    EXPECT_FALSE(readName(loop, 12));
    EXPECT_FALSE(readName(loop, 16));
    // A name longer than 255 bytes on the wire, built from pointers.
    Bytes longName(12, 0);
    std::size_t previous = 0, here = 0;
    for (int i = 0; i < 5; ++i) {
        here = longName.size();
        longName.push_back(60);
        longName.insert(longName.end(), 60, 'q');
        if (i == 0) {
            longName.push_back(0);
        } else {
            longName.push_back(static_cast<std::uint8_t>(0xC0 | previous >> 8));
            longName.push_back(static_cast<std::uint8_t>(previous & 0xFF));
        }
        previous = here;
    }
    EXPECT_EQ(readName(longName, 12)->size(), 60u);
    EXPECT_FALSE(readName(longName, here)); // 5 x 61 bytes
    // 255 bytes on the wire is the longest name: labels of 63, 63, 63 and 61 (or 62) letters.
    const auto name = [](int last) {
        Bytes m(12, 0);
        for (int length : {63, 63, 63, last}) {
            m.push_back(static_cast<std::uint8_t>(length));
            m.insert(m.end(), static_cast<std::size_t>(length), 'n');
        }
        m.push_back(0);
        return m;
    };
    EXPECT_EQ(readName(name(61), 12)->size(), 253u);
    EXPECT_FALSE(readName(name(62), 12));
}

TEST(DnsReply, CodeNames) {
    EXPECT_EQ(rcodeName(kNoError), "NOERROR");
    EXPECT_EQ(rcodeName(kNameError), "NXDOMAIN");
    EXPECT_EQ(rcodeName(2), "SERVFAIL");
    EXPECT_EQ(rcodeName(5), "REFUSED");
    EXPECT_EQ(rcodeName(4), "NOTIMP");
    EXPECT_EQ(rcodeName(15), "RCODE 15");
}

// Random and mutated messages under the sanitizers: the parser must neither read out of bounds
// nor accept a message whose ID or question is not ours.
TEST(DnsReply, SurvivesAnyBytes) {
    std::mt19937 random(12345);
    const Bytes query = *buildQuery(0x4242, "example.com");
    const Bytes seed = replyTo(query, 0x8180, 1, aRecord(1, 2, 3, 4));
    for (int round = 0; round < 200000; ++round) {
        Bytes message;
        if (round % 2) {
            message.resize(random() % 80);
            for (auto& b : message)
                b = static_cast<std::uint8_t>(random());
        } else {
            message = seed;
            for (int flips = 1 + random() % 4; flips-- > 0;) {
                const std::size_t at = random() % message.size();
                message[at] = random() % 3 ? static_cast<std::uint8_t>(random())
                                           : static_cast<std::uint8_t>(0xC0 | random() % 4);
            }
            message.resize(random() % (message.size() + 8), 0xC0);
        }
        (void)parseReply(message, 0x4242, "example.com", kTypeTxt);
        const auto reply = parseReply(message, 0x4242, "example.com");
        if (reply.check == ReplyCheck::Answer) {
            ASSERT_GE(message.size(), 12u);
            ASSERT_EQ(message[0] << 8 | message[1], 0x4242);
            ASSERT_TRUE(message[2] & 0x80);
        }
        for (std::size_t at = 12; at < message.size(); at += 7)
            (void)readName(message, at);
    }
}

// The check's TXT answers: each record's character strings joined, records kept apart, the
// type asked part of the question; a string running past its record is malformed.
TEST(DnsReply, TxtRecords) {
    const Bytes query = *buildQuery(0x0707, "o-o.myaddr.l.google.com", kTypeTxt);
    EXPECT_EQ(query[query.size() - 3], kTypeTxt);
    const Bytes records = {0xC0, 12,  0,   16, 0,   1,   0,   0,   0,    60,  0,  9,  3,
                           '1',  '9', '2', 4,  '.', '0', '.', '2', 0xC0, 12,  0,  16, 0,
                           1,    0,   0,   0,  60,  0,   4,   3,   'a',  'b', 'c'};
    const auto reply =
        parseReply(replyTo(query, 0x8180, 2, records), 0x0707, "o-o.myaddr.l.google.com", kTypeTxt);
    EXPECT_EQ(reply.check, ReplyCheck::Answer);
    EXPECT_EQ(reply.txt, (std::vector<std::string>{"192.0.2", "abc"}));
    EXPECT_EQ(
        parseReply(replyTo(query, 0x8180, 2, records), 0x0707, "o-o.myaddr.l.google.com").check,
        ReplyCheck::WrongQuestion);
    Bytes overrun = records;
    overrun[12] = 9; // the first string claims more than its record holds
    EXPECT_EQ(
        parseReply(replyTo(query, 0x8180, 2, overrun), 0x0707, "o-o.myaddr.l.google.com", kTypeTxt)
            .check,
        ReplyCheck::Malformed);
}
