// DNS messages as RFC 1035 lays them out: a 12-byte header, then the question, then records.
#include "toolkit/decimal.h"
#include "dns/dnsmessage.h"

#include <algorithm>
#include <iterator>

namespace dns {

namespace {

constexpr std::size_t kHeaderSize = 12;
constexpr std::size_t kMaxName = 255; // wire length of a name, label lengths included

std::uint16_t read16(std::span<const std::uint8_t> message, std::size_t at) {
    return static_cast<std::uint16_t>(message[at] << 8 | message[at + 1]);
}

void put16(std::vector<std::uint8_t>& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
}

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameLabel(std::span<const std::uint8_t> a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lowerAscii(static_cast<char>(a[i])) != lowerAscii(b[i])) return false;
    return true;
}

// Whether the name at `offset` holds exactly the labels of `name` (no trailing dot). The name
// has been read once with readName, so its pointers go backwards and it ends in the message.
bool sameLabels(std::span<const std::uint8_t> message, std::size_t offset, std::string_view name) {
    std::size_t start = 0;
    for (;;) {
        const std::uint8_t length = message[offset];
        if ((length & 0xC0) == 0xC0) {
            offset = (length & 0x3Fu) << 8 | message[offset + 1];
            continue;
        }
        if (length == 0) return start > name.size();
        if (start > name.size()) return false;
        const std::size_t dot = std::min(name.find('.', start), name.size());
        if (!sameLabel(message.subspan(offset + 1, length), name.substr(start, dot - start)))
            return false;
        start = dot + 1;
        offset += 1 + length;
    }
}

// Where the name starting at `offset` ends in the message (past its last label or its first
// pointer); nothing when it runs past the end.
std::optional<std::size_t> skipName(std::span<const std::uint8_t> message, std::size_t offset) {
    while (offset < message.size()) {
        const std::uint8_t length = message[offset];
        if ((length & 0xC0) == 0xC0)
            return offset + 2 <= message.size() ? std::optional(offset + 2) : std::nullopt;
        if (length & 0xC0) return std::nullopt; // the two reserved label kinds
        if (length == 0) return offset + 1;
        offset += 1 + length;
    }
    return std::nullopt;
}

} // namespace

std::string rcodeName(int rcode) {
    static constexpr const char* kNames[] = {"NOERROR", "FORMERR", "SERVFAIL", "NXDOMAIN",
                                             "NOTIMP",  "REFUSED", "YXDOMAIN", "YXRRSET",
                                             "NXRRSET", "NOTAUTH", "NOTZONE"};
    if (rcode >= 0 && rcode < static_cast<int>(std::size(kNames))) return kNames[rcode];
    return "RCODE " + tk::decimal<char>(rcode);
}

std::optional<std::vector<std::uint8_t>> buildQuery(std::uint16_t id, std::string_view name,
                                                    std::uint16_t type) {
    if (name.empty() || name.size() > 253) return std::nullopt;
    std::vector<std::uint8_t> out;
    out.reserve(kHeaderSize + name.size() + 6);
    put16(out, id);
    put16(out, 0x0100); // standard query, recursion desired
    put16(out, 1);      // one question
    put16(out, 0);
    put16(out, 0);
    put16(out, 0);
    std::size_t start = 0;
    while (start <= name.size()) {
        const std::size_t dot = std::min(name.find('.', start), name.size());
        const std::size_t length = dot - start;
        if (length == 0 || length > 63) return std::nullopt;
        out.push_back(static_cast<std::uint8_t>(length));
        for (char c : name.substr(start, length)) {
            if (c <= ' ' || c > '~') return std::nullopt;
            out.push_back(static_cast<std::uint8_t>(c));
        }
        start = dot + 1;
    }
    out.push_back(0);
    put16(out, type);
    put16(out, kClassIn);
    return out;
}

std::optional<std::string> readName(std::span<const std::uint8_t> message, std::size_t offset) {
    std::string name;
    std::size_t wire = 1; // the closing zero
    // Every pointer must go backwards, to before where the name being read began: that bounds
    // the walk and rules out loops, self-pointers included.
    std::size_t limit = offset;
    while (offset < message.size()) {
        const std::uint8_t length = message[offset];
        if ((length & 0xC0) == 0xC0) {
            if (offset + 1 >= message.size()) return std::nullopt;
            const std::size_t target = (length & 0x3Fu) << 8 | message[offset + 1];
            if (target >= limit) return std::nullopt;
            limit = offset = target;
            continue;
        }
        if (length & 0xC0) return std::nullopt;
        if (length == 0) return name;
        if (offset + 1 + length > message.size()) return std::nullopt;
        wire += 1 + length;
        if (wire > kMaxName) return std::nullopt;
        if (!name.empty()) name.push_back('.');
        name.append(reinterpret_cast<const char*>(message.data() + offset + 1), length);
        offset += 1 + length;
    }
    return std::nullopt;
}

Reply parseReply(std::span<const std::uint8_t> message, std::uint16_t id, std::string_view name,
                 std::uint16_t type) {
    Reply reply;
    if (message.size() < kHeaderSize) return reply;
    if (read16(message, 0) != id) {
        reply.check = ReplyCheck::WrongId;
        return reply;
    }
    const std::uint16_t flags = read16(message, 2);
    if (!(flags & 0x8000)) {
        reply.check = ReplyCheck::NotAResponse;
        return reply;
    }
    reply.check = ReplyCheck::WrongQuestion;
    if (read16(message, 4) != 1) return reply;
    const bool readable = readName(message, kHeaderSize).has_value();
    const auto afterName = skipName(message, kHeaderSize);
    if (!readable || !afterName || *afterName + 4 > message.size()) {
        reply.check = ReplyCheck::Malformed;
        return reply;
    }
    if (!sameLabels(message, kHeaderSize, name) || read16(message, *afterName) != type ||
        read16(message, *afterName + 2) != kClassIn)
        return reply;

    reply.rcode = flags & 0x0F;
    reply.truncated = (flags & 0x0200) != 0;
    // A truncated reply may stop anywhere after the question; it still answers in time.
    if (reply.truncated) {
        reply.check = ReplyCheck::Answer;
        return reply;
    }
    reply.check = ReplyCheck::Malformed;
    std::size_t at = *afterName + 4;
    const std::uint16_t answers = read16(message, 6);
    for (std::uint16_t i = 0; i < answers; ++i) {
        if (!readName(message, at)) return reply;
        const auto afterOwner = skipName(message, at);
        if (!afterOwner || *afterOwner + 10 > message.size()) return reply;
        const std::uint16_t recordType = read16(message, *afterOwner);
        const std::uint16_t klass = read16(message, *afterOwner + 2);
        const std::size_t dataLength = read16(message, *afterOwner + 8);
        const std::size_t data = *afterOwner + 10;
        if (data + dataLength > message.size()) return reply;
        if (recordType == kTypeA && klass == kClassIn && dataLength == 4)
            reply.ipv4.push_back(
                {message[data], message[data + 1], message[data + 2], message[data + 3]});
        if (recordType == kTypeTxt && klass == kClassIn) {
            // Character strings, each a length byte and that many bytes, filling the data.
            std::string text;
            for (std::size_t k = data; k < data + dataLength; k += 1 + message[k]) {
                if (k + 1 + message[k] > data + dataLength) return reply;
                text.append(reinterpret_cast<const char*>(message.data() + k + 1), message[k]);
            }
            reply.txt.push_back(std::move(text));
        }
        at = data + dataLength;
    }
    reply.check = ReplyCheck::Answer;
    return reply;
}

} // namespace dns
