// The DNS messages the speed test and the check need: a standard query for one record type
// (A or TXT), and the check of what comes back. A reply counts only when its ID and its question
// are those of the query; everything else (short headers, other IDs, other questions, broken names)
// is noise. Pure, and safe on any bytes.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace dns {

inline constexpr std::uint16_t kTypeA = 1;
inline constexpr std::uint16_t kTypeTxt = 16;
inline constexpr std::uint16_t kClassIn = 1;
inline constexpr int kNoError = 0;
inline constexpr int kNameError = 3; // NXDOMAIN: the name does not exist, which is an answer

// The response code's name as servers and tools print it ("REFUSED", "SERVFAIL"), or
// "RCODE 12" for one without a name here.
std::string rcodeName(int rcode);

// A recursive query (RD set) for the record of `type` (A unless said) of `name` ("example.com", no
// trailing dot). Nothing when the name cannot be a DNS name: an empty label, a label over 63 bytes,
// more than 253 characters, or a character outside printable ASCII.
std::optional<std::vector<std::uint8_t>> buildQuery(std::uint16_t id, std::string_view name,
                                                    std::uint16_t type = kTypeA);

enum class ReplyCheck {
    Answer,        // ours: the figure counts (whatever the response code says)
    TooShort,      // less than a header
    WrongId,       // someone else's message, or a late one from an earlier try
    NotAResponse,  // QR bit clear: a query, not a reply
    WrongQuestion, // no question, more than one, or not the name, type and class we asked
    Malformed,     // a name or record runs past the end, or its pointers loop
};

struct Reply {
    ReplyCheck check = ReplyCheck::TooShort;
    int rcode = 0;                                 // kNoError, kNameError, or an error
    bool truncated = false;                        // TC: the answer did not fit in UDP
    std::vector<std::array<std::uint8_t, 4>> ipv4; // the A records of the answer section
    // The TXT records of the answer section, each one's strings joined, in order.
    std::vector<std::string> txt;
};

// Checks `message` against the query that had `id` and asked for `name` (and `type`). The question
// must hold the same labels (a label "a.b" is not the two labels "a" and "b"); letters compare
// without regard to ASCII case, since some servers echo the question with its case changed.
Reply parseReply(std::span<const std::uint8_t> message, std::uint16_t id, std::string_view name,
                 std::uint16_t type = kTypeA);

// The name at `offset`, following compression pointers; nothing when it runs past the end,
// loops, or grows past 255 bytes. Labels are joined by "." without a trailing dot.
std::optional<std::string> readName(std::span<const std::uint8_t> message, std::size_t offset);

} // namespace dns
