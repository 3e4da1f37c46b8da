#include "elevate/brought.h"

#include <charconv>

#include "toolkit/decimal.h"
#include "toolkit/utf8.h"

namespace elevate {

namespace {

std::wstring escaped(std::wstring_view value) {
    std::wstring out;
    for (const wchar_t c : value) {
        switch (c) {
        case L'\\':
            out += L"\\\\";
            break;
        case L'\t':
            out += L"\\t";
            break;
        case L'\r':
            out += L"\\r";
            break;
        case L'\n':
            out += L"\\n";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::optional<std::wstring> unescaped(std::wstring_view value) {
    std::wstring out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != L'\\') {
            out += value[i];
            continue;
        }
        if (++i == value.size()) return std::nullopt;
        switch (value[i]) {
        case L'\\':
            out += L'\\';
            break;
        case L't':
            out += L'\t';
            break;
        case L'r':
            out += L'\r';
            break;
        case L'n':
            out += L'\n';
            break;
        default:
            return std::nullopt;
        }
    }
    return out;
}

class Writer {
  public:
    Writer& field(std::wstring_view name) {
        text_ += name;
        return *this;
    }
    Writer& value(std::wstring_view value) {
        text_ += L'\t' + escaped(value);
        return *this;
    }
    Writer& number(long long value) { return this->value(tk::decimal(value)); }
    Writer& optional(const std::optional<std::wstring>& value) {
        return this->value(value ? L"=" + *value : L"-");
    }
    void end() { text_ += L'\n'; }
    const std::wstring& text() const { return text_; }

  private:
    std::wstring text_;
};

std::wstring bits(const dns::ControlSetWrites& writes) {
    std::wstring out;
    for (const bool written : writes)
        out += written ? L'1' : L'0';
    return out;
}

bool readBits(std::wstring_view text, dns::ControlSetWrites& writes) {
    if (text.size() != writes.size()) return false;
    for (std::size_t i = 0; i < writes.size(); ++i) {
        if (text[i] != L'0' && text[i] != L'1') return false;
        writes[i] = text[i] == L'1';
    }
    return true;
}

std::optional<long long> number(std::wstring_view text) {
    if (text.empty() || text.size() > 18) return std::nullopt;
    bool negative = text.front() == L'-';
    if (negative) text.remove_prefix(1);
    if (text.empty()) return std::nullopt;
    long long value = 0;
    for (const wchar_t c : text) {
        if (c < L'0' || c > L'9') return std::nullopt;
        value = value * 10 + (c - L'0');
    }
    return negative ? -value : value;
}

// A whole-number value within [0, last] as the enumeration it numbers.
template <typename Enum> bool readEnum(std::wstring_view text, Enum last, Enum& out) {
    const auto value = number(text);
    if (!value || *value < 0 || *value > static_cast<long long>(last)) return false;
    out = static_cast<Enum>(*value);
    return true;
}

std::optional<std::wstring> readOptional(std::wstring_view text) {
    if (text == L"-") return std::nullopt;
    return std::wstring(text.substr(1));
}

} // namespace

std::wstring quoteArgument(std::wstring_view argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == argument.npos)
        return std::wstring(argument);
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        // Backslashes count double only before a quote, the written one or the closing one.
        out.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(2 * backslashes, L'\\');
    return out + L"\"";
}

std::wstring joinArguments(const std::vector<std::wstring>& args) {
    std::wstring out;
    for (const auto& arg : args) {
        if (!out.empty()) out += L' ';
        out += quoteArgument(arg);
    }
    return out;
}

bool Brought::operator==(const Brought& other) const {
    if (exitCode != other.exitCode || out != other.out || err != other.err ||
        failure != other.failure || outcomes.size() != other.outcomes.size() ||
        flush.has_value() != other.flush.has_value())
        return false;
    if (flush && (flush->result != other.flush->result || flush->exitCode != other.flush->exitCode))
        return false;
    for (std::size_t i = 0; i < outcomes.size(); ++i) {
        const auto &a = outcomes[i], &b = other.outcomes[i];
        if (a.kind != b.kind || a.result != b.result || a.service != b.service ||
            a.written != b.written || a.live != b.live || a.servers != b.servers ||
            a.servers6 != b.servers6 || a.inUse != b.inUse || a.recorded != b.recorded ||
            a.why != b.why || a.warnings != b.warnings || a.doh.result != b.doh.result ||
            a.doh.mode != b.doh.mode || a.doh.policy != b.doh.policy || a.doh.url != b.doh.url ||
            a.doh.servers != b.doh.servers)
            return false;
    }
    return true;
}

std::string encode(const Brought& brought) {
    Writer w;
    w.field(L"exit").number(brought.exitCode).end();
    w.field(L"out").value(brought.out).end();
    w.field(L"err").value(brought.err).end();
    w.field(L"failure").value(brought.failure).end();
    if (brought.flush)
        w.field(L"flush")
            .number(static_cast<long long>(brought.flush->result))
            .number(static_cast<long long>(brought.flush->exitCode))
            .end();
    for (const auto& o : brought.outcomes) {
        w.field(L"outcome")
            .number(static_cast<long long>(o.kind))
            .number(static_cast<long long>(o.result))
            .value(o.service)
            .value(bits(o.written.v4) + bits(o.written.v6))
            .number(static_cast<long long>(o.live))
            .value(o.servers)
            .value(o.servers6)
            .optional(o.inUse ? std::optional(dns::joinServers(*o.inUse)) : std::nullopt)
            .number(o.recorded ? 1 : 0)
            .value(o.why)
            .end();
        for (const auto& warning : o.warnings)
            w.field(L"warning").value(warning.code).value(warning.text).end();
        w.field(L"doh")
            .number(static_cast<long long>(o.doh.result))
            .number(static_cast<long long>(o.doh.mode))
            .number(static_cast<long long>(o.doh.policy))
            .value(o.doh.url)
            .end();
        for (const auto& server : o.doh.servers)
            w.field(L"dohServer")
                .number(server.family == dns::Family::V6 ? 6 : 4)
                .value(server.address)
                .optional(server.flags ? std::optional(tk::decimal(*server.flags)) : std::nullopt)
                .optional(server.url)
                .end();
    }
    w.field(L"end").end();
    return tk::toUtf8(w.text());
}

std::optional<Brought> decode(std::string_view bytes) {
    const auto text = tk::fromUtf8Strict(bytes);
    if (!text) return std::nullopt;
    Brought brought;
    bool ended = false, sawExit = false;
    std::wstring_view rest = *text;
    while (!rest.empty()) {
        const auto eol = rest.find(L'\n');
        if (eol == rest.npos || ended) return std::nullopt;
        std::wstring_view line = rest.substr(0, eol);
        rest.remove_prefix(eol + 1);
        std::vector<std::wstring> f;
        for (;;) {
            const auto tab = line.find(L'\t');
            const auto piece = line.substr(0, tab);
            if (f.empty()) {
                f.emplace_back(piece);
            } else {
                auto value = unescaped(piece);
                if (!value) return std::nullopt;
                f.push_back(std::move(*value));
            }
            if (tab == line.npos) break;
            line.remove_prefix(tab + 1);
        }
        const std::wstring& name = f[0];
        auto need = [&](std::size_t n) { return f.size() == n + 1; };
        if (name == L"exit" && need(1)) {
            const auto code = number(f[1]);
            if (!code) return std::nullopt;
            brought.exitCode = static_cast<int>(*code);
            sawExit = true;
        } else if (name == L"out" && need(1)) {
            brought.out = f[1];
        } else if (name == L"err" && need(1)) {
            brought.err = f[1];
        } else if (name == L"failure" && need(1)) {
            brought.failure = f[1];
        } else if (name == L"flush" && need(2)) {
            dns::FlushOutcome flush;
            const auto code = number(f[2]);
            if (!readEnum(f[1], dns::FlushResult::TimedOut, flush.result) || !code || *code < 0)
                return std::nullopt;
            flush.exitCode = static_cast<unsigned long>(*code);
            brought.flush = flush;
        } else if (name == L"outcome" && need(10)) {
            dns::ChangeOutcome o;
            const auto recorded = number(f[9]);
            if (!readEnum(f[1], dns::ChangeKind::Restore, o.kind) ||
                !readEnum(f[2], dns::Result::UnusableServer, o.result) ||
                !readBits(std::wstring_view(f[4]).substr(0, 3), o.written.v4) || f[4].size() != 6 ||
                !readBits(std::wstring_view(f[4]).substr(3), o.written.v6) ||
                !readEnum(f[5], dns::InterfaceDnsResult::Failed, o.live) || !recorded ||
                (f[8] != L"-" && !f[8].starts_with(L"=")))
                return std::nullopt;
            o.service = f[3];
            o.servers = f[6];
            o.servers6 = f[7];
            if (const auto inUse = readOptional(f[8])) o.inUse = dns::serverList(*inUse);
            o.recorded = *recorded != 0;
            o.why = f[10];
            brought.outcomes.push_back(std::move(o));
        } else if (name == L"warning" && need(2) && !brought.outcomes.empty()) {
            brought.outcomes.back().warnings.push_back({f[1], f[2]});
        } else if (name == L"doh" && need(4) && !brought.outcomes.empty()) {
            auto& doh = brought.outcomes.back().doh;
            if (!readEnum(f[1], dns::DohResult::NotWritten, doh.result) ||
                !readEnum(f[2], dns::DohMode::Only, doh.mode) ||
                !readEnum(f[3], dns::DohPolicy::Required, doh.policy))
                return std::nullopt;
            doh.url = f[4];
        } else if (name == L"dohServer" && need(4) && !brought.outcomes.empty()) {
            dns::DohServer server;
            if (f[1] != L"4" && f[1] != L"6") return std::nullopt;
            server.family = f[1] == L"6" ? dns::Family::V6 : dns::Family::V4;
            server.address = f[2];
            if (const auto flags = readOptional(f[3])) {
                const auto value = number(*flags);
                if (!value || *value < 0) return std::nullopt;
                server.flags = static_cast<std::uint64_t>(*value);
            } else if (f[3] != L"-") {
                return std::nullopt;
            }
            if (f[4] != L"-" && !f[4].starts_with(L"=")) return std::nullopt;
            server.url = readOptional(f[4]);
            brought.outcomes.back().doh.servers.push_back(std::move(server));
        } else if (name == L"end" && need(0)) {
            ended = true;
        } else {
            return std::nullopt;
        }
    }
    if (!ended || !sawExit) return std::nullopt;
    return brought;
}

} // namespace elevate
