// The notification area's menu, tool tip and notices, as pure functions of what the icon
// knows: the adapters, the chosen one and its servers, the catalogue, whether there is
// something to restore and whether the program starts with Windows. A change is handed to the
// command line's elevated copy as its arguments; the outcome comes back as data.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/catalogue.h"
#include "elevate/brought.h"
#include "dns/dnsplan.h"
#include "dns/speedresult.h"

namespace tray {

struct Adapter {
    std::wstring description{};
    std::wstring service{}; // the interface GUID
};

struct Model {
    std::vector<Adapter> adapters{};
    std::optional<std::size_t> chosen{};
    std::vector<catalogue::CatalogueEntry> entries{};
    dns::CurrentDns current{}; // of the chosen adapter
    bool canRestore = false;
    bool startsWithWindows = false;
    bool rulesPaused = false; // "Pause rules": network changes apply no rule
    bool busy = false;        // a change runs: no other starts until its verdict is in
};

// The remembered adapter when it is still listed, else the first; nothing without adapters.
std::optional<std::size_t> chooseAdapter(const std::vector<Adapter>& adapters,
                                         const std::optional<std::wstring>& remembered);

// The catalogue entry whose servers are the adapter's static servers of both families (the
// first of equal ones), and whether the adapter has no static servers at all (automatic).
std::optional<std::size_t> matchingEntry(const std::vector<catalogue::CatalogueEntry>& entries,
                                         const dns::CurrentDns& current);
bool isAutomatic(const dns::CurrentDns& current);

enum class Action {
    ChooseAdapter,
    Apply,
    Default,
    Restore,
    Flush,
    FindFastest,
    Check,
    Open,
    StartWithWindows,
    PauseRules,
    ApplyRules, // a settled network change, not a menu item
    Exit
};
struct Command {
    Action action = Action::Exit;
    std::size_t index = 0; // ChooseAdapter: the adapter; Apply: the catalogue entry
    bool operator==(const Command&) const = default;
};

// Menu command identifiers.
inline constexpr unsigned kDefaultId = 0x0100;
inline constexpr unsigned kRestoreId = 0x0101;
inline constexpr unsigned kFlushId = 0x0102;
inline constexpr unsigned kFastestId = 0x0103;
inline constexpr unsigned kOpenId = 0x0104;
inline constexpr unsigned kStartWithWindowsId = 0x0105;
inline constexpr unsigned kExitId = 0x0106;
inline constexpr unsigned kCheckId = 0x0107;
inline constexpr unsigned kPauseRulesId = 0x0108;
inline constexpr unsigned kFirstAdapterId = 0x1000;
inline constexpr unsigned kFirstEntryId = 0x2000;
// A longer catalogue is listed up to here, and the window has the rest.
inline constexpr std::size_t kMaxListed = 0x1000;
inline constexpr std::size_t kMaxAdapters = 0x1000;

struct MenuItem {
    enum class Kind { Item, Separator, Submenu };
    Kind kind = Kind::Item;
    unsigned id = 0;
    std::wstring text{}; // as the menu shows it: "&" marks the access key, "&&" is an "&"
    bool checked = false;
    bool radio = false; // shown as a radio check
    bool enabled = true;
    bool isDefault = false; // what a double-click does, shown in bold
    std::vector<MenuItem> items{};
    bool operator==(const MenuItem&) const = default;
};

std::vector<MenuItem> menuOf(const Model& model);
// What a menu identifier asks for, when it may run now (a greyed item does nothing).
std::optional<Command> commandOf(unsigned id, const Model& model);
// The command line a change runs (the chosen adapter named by its GUID); empty for commands
// that change nothing.
std::vector<std::wstring> changeArguments(const Command& command, const Model& model);

// The tool tip: the adapter, its servers in use and whether they are encrypted, at most maxChars
// characters (the description is shortened when it must be).
std::wstring toolTipOf(const Model& model, std::size_t maxChars = 127);

// The notification of a change's verdict from what the elevated copy brought back: the engine's
// outcome, the flush's, or why nothing ran.
struct Notice {
    enum class Icon { Info, Warning, Error };
    std::wstring title{}, text{};
    Icon icon = Icon::Info;
    bool operator==(const Notice&) const = default;
};
inline constexpr std::size_t kMaxNoticeTitle = 63, kMaxNoticeText = 255;
Notice noticeOf(const Command& command, const Model& model, const elevate::Brought& brought);

// What the icon says the first time the main window goes to the notification area: that
// Keldrast keeps running there and how to get the window back. Nothing once it was shown.
std::optional<Notice> trayNotice(bool shownBefore);

// The question before the speed window's "Use this" applies an entry from the notification
// area, No by default: "Apply NAME to ADAPTER?", with a warning when the test saw the entry
// redirect unknown names or fail (error replies, queries left unanswered, DoH errors).
dns::Notice useQuestion(const dns::EntryResult& result, std::wstring_view adapterDescription);

// text cut to maxChars characters, ending in "…" when it was cut.
std::wstring shortened(std::wstring_view text, std::size_t maxChars);

} // namespace tray
