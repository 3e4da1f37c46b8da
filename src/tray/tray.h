// The notification-area icon (keldrast /tray): a hidden window that owns the icon, opens the
// menu of traymenu.h and hands each change to the command line, which runs it in an elevated
// copy (one elevation prompt per change) on a worker thread; the verdict comes back as a
// notification. It runs unelevated, once per user session, and never changes a system setting
// itself.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <memory>
#include <string>

#include "speed/frmSpeed.h"
#include "toolkit/handles.h"
#include "toolkit/platform.h"
#include "toolkit/thread.h"
#include "toolkit/window.h"
#include "tray/netwatch.h"
#include "tray/rules.h"
#include "tray/settle.h"
#include "tray/traymenu.h"

namespace tray {

using unique_hicon = tk::unique_any<HICON, &DestroyIcon>;

class TrayWindow : public tk::Window {
  public:
    // The settings file lives in `settingsDirectory`; empty: where the program keeps it.
    explicit TrayWindow(std::wstring settingsDirectory = {});
    ~TrayWindow() override;

    // Creates the hidden window and adds the icon (or waits for the taskbar to add it).
    bool create();
    // Whether Exit ends the message loop (a test keeps it running).
    bool endsProgram = true;

    static constexpr UINT kIconMessage = WM_APP + 1;
    static constexpr UINT kChangeDone = WM_APP + 2;
    // A network interface came, went or changed (posted from the system's thread).
    static constexpr UINT kNetworkChanged = WM_APP + 3;
    static constexpr UINT kIconId = 1;

    const Model& model() const noexcept { return model_; }
    // Reads the adapters, the catalogue and the chosen adapter's servers again (not while a
    // change runs) and brings the tool tip up to date.
    void refresh();
    // The menu as it is now, built for TrackPopupMenu; the caller destroys it.
    HMENU buildMenu() const;
    frmSpeed* speedWindow() const noexcept { return speed_.get(); }

  protected:
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    std::wstring settingsFile() const;
    bool addIcon();
    void updateIcon(bool force = false);
    void showMenu(POINT anchor);
    void run(const Command& command);
    void startChange(const Command& command);
    void changeDone();
    void notify(const Notice& notice);
    void findFastest();
    // The main window came here: the first time ever, the notice says how to get it back.
    void windowKept();
    void networkChanged();
    void settleTimer();
    void networkSettled();
    void startRules(std::vector<dns::PlannedChange> changes, bool createTask);

    std::wstring settingsDirectory_;
    Model model_;
    UINT taskbarCreated_ = 0;
    UINT windowKept_ = 0;
    bool noticeShown_ = false; // this run, when the settings file could not keep it
    unique_hicon icon_;
    bool light_ = false;
    int iconSize_ = 0;
    std::wstring tip_;
    bool added_ = false;
    bool waitingForDoubleClick_ = false;
    POINT clickAnchor_{};
    ULONGLONG refreshedAt_ = 0;
    ULONGLONG doubleClickedAt_ = 0;
    bool menuOpen_ = false;
    bool checking_ = false; // a check runs (its messages are dispatched meanwhile)
    std::unique_ptr<frmSpeed> speed_;
    NetworkWatch watch_;
    Settle settle_;
    RuleSwitch ruleSwitch_;
    bool settledWhileBusy_ = false;
    std::vector<dns::PlannedChange> ruleChanges_{};   // what the running go applies
    bool rulesByTask_ = false, rulesInForce_ = false; // the task ran it; in force afterwards
    std::wstring taskFailure_{};                      // why the task offered was not made

    // The running change; its result is handed over under the lock.
    Command running_{};
    tk::Lock lock_;
    elevate::Brought brought_{};
    tk::Thread worker_;
};

// Runs the icon until Exit: 0 at once when this session has one already and it answers; 1,
// after saying so, when its place is taken but nothing answers.
int run();

// "Start with Windows": the value "Keldrast" under HKCU\...\CurrentVersion\Run, which starts
// this program with /tray.
inline constexpr const wchar_t* kRunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr const wchar_t* kRunValue = L"Keldrast";
bool startsWithWindows();
[[nodiscard]] bool setStartWithWindows(bool on);

// Shell_NotifyIconW as a replaceable entry point (tests record the icon and notifications).
using NotifyIconHandler = std::function<bool(DWORD message, const NOTIFYICONDATAW& data)>;
inline tk::Seam<NotifyIconHandler> notifyIconSeam;
using ScopedNotifyIcon = tk::ScopedHandler<notifyIconSeam>;

// The icon drawn for a taskbar (trayicon.h): its rim stands out from a light or a dark one.
unique_hicon makeIcon(int size, bool lightTaskbar);
bool taskbarIsLight();

} // namespace tray
