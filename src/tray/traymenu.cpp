#include "tray/traymenu.h"

#include "dns/address.h"
#include "dns/check.h"
#include "dns/dnsmessage.h"
#include "dns/request.h"

#include <algorithm>

namespace tray {

namespace {

// Addresses in canonical text; a piece that is no address of the family stays as it is, so
// that it never matches.
std::vector<std::wstring> canonical(dns::Family family, const std::vector<std::wstring>& servers) {
    std::vector<std::wstring> out;
    for (const auto& server : servers)
        out.push_back(dns::canonicalAddress(family, server).value_or(server));
    return out;
}

// Menu text: an "&" of a name is shown, not taken as an access key.
std::wstring menuText(std::wstring_view text) {
    std::wstring out;
    for (wchar_t c : text) {
        if (c == L'&') out += L'&';
        out += c == L'\t' ? L' ' : c;
    }
    return out;
}

MenuItem item(unsigned id, std::wstring text, bool enabled = true) {
    return {.id = id, .text = std::move(text), .enabled = enabled};
}
MenuItem separator() {
    return {.kind = MenuItem::Kind::Separator};
}

const Adapter* chosenAdapter(const Model& model) {
    return model.chosen && *model.chosen < model.adapters.size() ? &model.adapters[*model.chosen]
                                                                 : nullptr;
}

} // namespace

std::optional<std::size_t> chooseAdapter(const std::vector<Adapter>& adapters,
                                         const std::optional<std::wstring>& remembered) {
    if (adapters.empty()) return std::nullopt;
    if (remembered)
        for (std::size_t i = 0; i < adapters.size(); ++i)
            if (tk::foldAscii(adapters[i].service) == tk::foldAscii(*remembered)) return i;
    return 0;
}

bool isAutomatic(const dns::CurrentDns& current) {
    return dns::serverList(current.static4.value_or(L"")).empty() &&
           dns::serverList(current.static6.value_or(L"")).empty();
}

std::optional<std::size_t> matchingEntry(const std::vector<catalogue::CatalogueEntry>& entries,
                                         const dns::CurrentDns& current) {
    if (isAutomatic(current)) return std::nullopt;
    const auto static4 = canonical(dns::Family::V4, dns::serverList(current.static4.value_or(L"")));
    const auto static6 = canonical(dns::Family::V6, dns::serverList(current.static6.value_or(L"")));
    const dns::EntryServers present{static4, static6};
    for (std::size_t i = 0; i < entries.size() && i < kMaxListed; ++i)
        if (dns::entryServers(entries[i]) == present) return i;
    return std::nullopt;
}

std::vector<MenuItem> menuOf(const Model& model) {
    const bool canChange = !model.busy && chosenAdapter(model);
    std::vector<MenuItem> menu;

    MenuItem adapters{.kind = MenuItem::Kind::Submenu, .enabled = !model.busy};
    const Adapter* chosen = chosenAdapter(model);
    adapters.text = L"&Adapter: " + (chosen ? menuText(chosen->description) : L"none");
    for (std::size_t i = 0; i < model.adapters.size() && i < kMaxAdapters; ++i) {
        auto choice = item(kFirstAdapterId + static_cast<unsigned>(i),
                           menuText(model.adapters[i].description), !model.busy);
        choice.radio = true;
        choice.checked = model.chosen == i;
        adapters.items.push_back(std::move(choice));
    }
    if (adapters.items.empty())
        adapters.items.push_back(item(0, L"No network adapters found", false));
    menu.push_back(std::move(adapters));
    menu.push_back(separator());

    const auto match = chosen ? matchingEntry(model.entries, model.current) : std::nullopt;
    for (std::size_t i = 0; i < model.entries.size() && i < kMaxListed; ++i) {
        auto entry = item(kFirstEntryId + static_cast<unsigned>(i), menuText(model.entries[i].name),
                          canChange);
        entry.radio = true;
        entry.checked = match == i;
        menu.push_back(std::move(entry));
    }
    if (model.entries.size() > kMaxListed)
        menu.push_back(item(kOpenId, L"More entries in the window\u2026", true));
    auto automatic = item(kDefaultId, L"Automatic (D&HCP)", canChange);
    automatic.radio = true;
    automatic.checked = chosen && isAutomatic(model.current);
    menu.push_back(std::move(automatic));
    menu.push_back(separator());
    menu.push_back(item(kRestoreId, L"&Restore previous DNS", canChange && model.canRestore));
    menu.push_back(item(kFlushId, L"F&lush DNS", !model.busy));
    menu.push_back(separator());
    menu.push_back(item(kFastestId, L"Find the &fastest DNS\u2026"));
    menu.push_back(item(kCheckId, std::wstring(dns::kCheckMenuText), chosen != nullptr));
    auto open = item(kOpenId, L"&Open Keldrast");
    open.isDefault = true;
    menu.push_back(std::move(open));
    auto start = item(kStartWithWindowsId, L"&Start with Windows");
    start.checked = model.startsWithWindows;
    menu.push_back(std::move(start));
    auto pause = item(kPauseRulesId, L"&Pause rules");
    pause.checked = model.rulesPaused;
    menu.push_back(std::move(pause));
    menu.push_back(separator());
    menu.push_back(item(kExitId, L"E&xit"));
    return menu;
}

std::optional<Command> commandOf(unsigned id, const Model& model) {
    const bool canChange = !model.busy && chosenAdapter(model);
    if (id >= kFirstEntryId && id - kFirstEntryId < std::min(model.entries.size(), kMaxListed)) {
        if (!canChange) return std::nullopt;
        return Command{Action::Apply, id - kFirstEntryId};
    }
    if (id >= kFirstAdapterId &&
        id - kFirstAdapterId < std::min(model.adapters.size(), kMaxAdapters)) {
        if (model.busy) return std::nullopt;
        return Command{Action::ChooseAdapter, id - kFirstAdapterId};
    }
    switch (id) {
    case kDefaultId:
        return canChange ? std::optional(Command{Action::Default}) : std::nullopt;
    case kRestoreId:
        return canChange && model.canRestore ? std::optional(Command{Action::Restore})
                                             : std::nullopt;
    case kFlushId:
        return model.busy ? std::nullopt : std::optional(Command{Action::Flush});
    case kFastestId:
        return Command{Action::FindFastest};
    case kCheckId:
        return chosenAdapter(model) ? std::optional(Command{Action::Check}) : std::nullopt;
    case kOpenId:
        return Command{Action::Open};
    case kStartWithWindowsId:
        return Command{Action::StartWithWindows};
    case kPauseRulesId:
        return Command{Action::PauseRules};
    case kExitId:
        return Command{Action::Exit};
    default:
        return std::nullopt;
    }
}

std::vector<std::wstring> changeArguments(const Command& command, const Model& model) {
    const Adapter* adapter = chosenAdapter(model);
    if (command.action == Action::Flush) return {L"/flush"};
    if (!adapter) return {};
    switch (command.action) {
    case Action::Apply:
        if (command.index >= model.entries.size()) return {};
        return {L"/set", model.entries[command.index].name, L"/adapter", adapter->service};
    case Action::Default:
        return {L"/default", L"/adapter", adapter->service};
    case Action::Restore:
        return {L"/restore", L"/adapter", adapter->service};
    default:
        return {};
    }
}

dns::Notice useQuestion(const dns::EntryResult& result, std::wstring_view adapterDescription) {
    std::wstring text = L"Apply " + result.name + L" to " + std::wstring(adapterDescription) + L"?";
    bool redirects = false;
    std::wstring failures;
    for (const auto& server : result.servers) {
        redirects = redirects || server.redirects;
        std::wstring what;
        if (server.errorRcode) {
            const std::string code = dns::rcodeName(*server.errorRcode);
            what = L"error: " + std::wstring(code.begin(), code.end());
        } else if (server.asked > server.answered) {
            what = server.answered == 0 ? L"no answer" : L"some queries unanswered";
        }
        if (server.dohError) what += (what.empty() ? L"DoH " : L", DoH ") + *server.dohError;
        if (!what.empty())
            failures += (failures.empty() ? L"" : L"; ") + server.address + L" " + what;
    }
    if (redirects)
        text += L"\r\n\r\nIn the test it redirects unknown names: a mistyped address may lead to "
                L"its operator's page instead of an error.";
    if (!failures.empty()) text += L"\r\n\r\nIn the test it had errors: " + failures + L".";
    constexpr unsigned kYesNoSecond = 4 | 256;
    return {text, redirects || !failures.empty() ? dns::kWarningFlags | kYesNoSecond
                                                 : dns::kQuestionFlags};
}

std::wstring shortened(std::wstring_view text, std::size_t maxChars) {
    if (text.size() <= maxChars) return std::wstring(text);
    if (maxChars == 0) return {};
    std::size_t keep = maxChars - 1;
    // Never half a surrogate pair.
    if (keep > 0 && text[keep - 1] >= 0xD800 && text[keep - 1] <= 0xDBFF) --keep;
    return std::wstring(text.substr(0, keep)) + L"\u2026";
}

std::wstring toolTipOf(const Model& model, std::size_t maxChars) {
    std::wstring rest;
    std::wstring adapter;
    if (const Adapter* chosen = chosenAdapter(model)) {
        adapter = chosen->description;
        rest = L"\nIn use: " + (model.current.inUse ? dns::serversText(*model.current.inUse)
                                                    : std::wstring(L"not reported"));
        rest += L"\nEncrypted: " + dns::encryptionText(model.current.doh, model.current.dohInForce,
                                                       model.current.wellKnown);
        if (model.busy) rest += L"\nChanging\u2026";
    } else {
        adapter = L"No network adapters found";
    }
    const std::wstring head = L"Keldrast\n";
    if (head.size() + rest.size() + 2 > maxChars) return shortened(head + adapter + rest, maxChars);
    return head + shortened(adapter, maxChars - head.size() - rest.size()) + rest;
}

Notice noticeOf(const Command& command, const Model& model, const elevate::Brought& brought) {
    std::wstring what;
    switch (command.action) {
    case Action::Apply:
        what = command.index < model.entries.size() ? model.entries[command.index].name : L"";
        break;
    case Action::Default:
        what = L"Automatic (DHCP)";
        break;
    case Action::Restore:
        what = L"Previous DNS";
        break;
    default:
        break;
    }
    const bool flush = command.action == Action::Flush;
    Notice notice;
    std::wstring text = brought.failure;
    if (flush && brought.flush) {
        text = dns::flushText(*brought.flush);
        const bool flushed = brought.flush->result == dns::FlushResult::Flushed;
        notice.title = flushed ? L"DNS cache flushed" : L"DNS cache not flushed";
        notice.icon = flushed ? Notice::Icon::Info : Notice::Icon::Error;
    } else if (!flush && !brought.outcomes.empty()) {
        // The engine's outcome itself, never the command line's printed words.
        const auto& outcome = brought.outcomes.front();
        text = dns::verdictText(outcome);
        // What to do comes before the warnings' details: a long notice is cut at its end.
        for (const auto& step : dns::nextSteps(outcome))
            text += L"\n" + step;
        for (const auto& warning : outcome.warnings)
            text += L"\n" + warning.text;
        switch (outcome.result) {
        case dns::Result::Applied:
        case dns::Result::Saved:
        case dns::Result::OtherServersInUse:
        case dns::Result::Refused:
            if (dns::savedNotInForce(outcome)) {
                notice.title = what + L": saved, not in use yet";
                notice.icon = Notice::Icon::Warning;
            } else {
                notice.title = what + L": done";
            }
            break;
        case dns::Result::PartlyWritten:
            notice.title = what + L": partly changed";
            notice.icon = Notice::Icon::Warning;
            break;
        default:
            notice.title = what + L": nothing changed";
            notice.icon = Notice::Icon::Error;
            break;
        }
    } else if (brought.exitCode == elevate::kDeclined) {
        notice.title = L"Nothing changed";
        notice.icon = Notice::Icon::Warning;
    } else if (brought.exitCode == elevate::kTimedOut || brought.exitCode == elevate::kNoReport) {
        notice.title = (flush ? L"Flush DNS" : what) + L": outcome not known";
        notice.icon = Notice::Icon::Error;
    } else {
        notice.title = flush ? L"DNS cache not flushed" : what + L": nothing changed";
        notice.icon = Notice::Icon::Error;
    }
    if (text.empty()) text = notice.title;
    notice.title = shortened(notice.title, kMaxNoticeTitle);
    notice.text = shortened(text, kMaxNoticeText);
    return notice;
}

std::optional<Notice> trayNotice(bool shownBefore) {
    if (shownBefore) return std::nullopt;
    return Notice{L"Keldrast keeps running here",
                  L"Double-click the Keldrast icon to open the window again, or right-click it "
                  L"for the DNS menu. When Windows hides the icon, it is under the arrow beside "
                  L"the clock.",
                  Notice::Icon::Info};
}

} // namespace tray
