// The main window: the application. Loading it lists the adapters and the catalogue;
// unloading it saves the catalogue. Its controls are public members, as on a form, and
// its handlers are the members named after the control and event they answer.
#pragma once

#include "app/circle.h"
#include "app/frmRules.h"
#include "speed/frmSpeed.h"
#include "app/layout.h"
#include "catalogue/catalogue.h"
#include "dns/change.h"
#include "controls/IPAddressBox.h"
#include "controls/kButton.h"
#include "controls/kLabel.h"
#include "toolkit/checkbox.h"
#include "toolkit/combobox.h"
#include "toolkit/font.h"
#include "toolkit/handles.h"
#include "toolkit/hidden_list.h"
#include "toolkit/label.h"
#include "toolkit/panel.h"
#include "toolkit/textbox.h"
#include "toolkit/thread.h"
#include "toolkit/timer.h"
#include "toolkit/tooltip.h"
#include "toolkit/window.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

class frmMain : public tk::Window {
  public:
    static constexpr int kClientWidthTwips = 6090;
    static constexpr int kClientHeightTwips = 3480;
    static constexpr DWORD kStyle =
        WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;

    // The settings file lives in `settingsDirectory`; empty means the program's own folder.
    explicit frmMain(std::wstring settingsDirectory = {});
    ~frmMain() override;

    // Creates the window and its controls, runs the load sequence and shows it centred.
    bool load(int showCommand = SW_SHOWNORMAL);
    // Whether unloading ends the message loop (a test keeps it running).
    bool endsProgram = true;
    // Tab and Shift+Tab move the focus in the order of the control table's tab indices, into
    // and out of the add panel too. The message loop offers each message here before
    // IsDialogMessageW; true when it was used.
    bool preTranslateMessage(const MSG& msg);

    int dpi() const noexcept { return dpi_; }
    HFONT defaultFont() const;
    const std::wstring& settingsPath() const;

    // Catalogue.
    void fillIP();
    void cbDNSName_Click() { fillIP(); }
    void chbCustom_Click();
    void bt1_Click();
    void btADD_Click();
    void btCANCEL_Click();
    void bt2_Click();
    void txName_KeyPress(int& KeyAscii);
    // Settings file.
    void loadConfig();
    void saveConfig();
    // Adapters.
    void loadNetworkAdapter();
    void lbIDCard_Click();
    // Applying DNS.
    void btApply_Click();
    // Applies the request (applyRequest) to the selected adapter; appliedName is the entry's
    // name or "Custom DNS...".
    void changedns(const std::wstring& appliedName, const dns::ChangeRequest& request);
    void btDefaultDNS_Click();
    // Flushes on a worker thread, so the window stays responsive while ipconfig runs; a flush
    // that failed or could not start is said when it ends (flushDone), a good one is silent.
    void btFlush_Click();
    bool flushing() const noexcept { return flushing_; }
    void Timer1_Timer();
    // About, links and the cursor circle.
    void about();
    void kLabel2_Click();
    void Label1_Click();
    void Timer2_Timer();
    // The system menu's own items, as WM_SYSCOMMAND identifiers.
    static constexpr UINT kCurrentDnsCommand = 0x0100;
    static constexpr UINT kRestoreCommand = 0x0110;
    static constexpr UINT kFastestDnsCommand = 0x0120;
    static constexpr UINT kEveryAdapterCommand = 0x0170;
    static constexpr UINT kEncryptedServicesCommand = 0x0130;
    static constexpr UINT kDohOffCommand = 0x0140;
    static constexpr UINT kDohFallbackCommand = 0x0150;
    static constexpr UINT kDohOnlyCommand = 0x0160;
    // Appends the well-known encrypted services the catalogue lacks.
    void addEncryptedServices();
    // The encrypted-DNS setting, kept in the settings file at once.
    void dohOff() { setDohMode(dns::DohMode::Off); }
    void dohFallback() { setDohMode(dns::DohMode::Fallback); }
    void dohOnly() { setDohMode(dns::DohMode::Only); }
    void setDohMode(dns::DohMode mode);
    static constexpr UINT kNotificationAreaCommand = 0x0180;
    static constexpr UINT kCheckDnsCommand = 0x0190;
    // Which DNS really answers the selected adapter, shown in a message; changes nothing.
    void checkWhichDnsAnswers();
    void showCurrentDns();
    // What Apply applies, to each connected adapter, with one restore record each and one
    // message with a line per adapter.
    void applyToEveryConnectedAdapter();
    void restorePreviousDns();
    bool canRestore() const;
    // Starts the notification-area icon (unless it runs) as the signed-in user, then closes.
    void keepInNotificationArea();
    // Opens the speed test on the catalogue as listed (or brings its window forward).
    void findFastestDns();
    // DNS per network: keeps the rule "the selected entry on the selected adapter's network"
    // (available with an entry selected and the adapter on a connected network), and opens the
    // window of networks and rules.
    static constexpr UINT kNetworkRuleCommand = 0x01A0;
    static constexpr UINT kNetworkRulesCommand = 0x01B0;
    void useOnThisNetwork();
    bool canUseOnThisNetwork() const;
    void dnsPerNetwork();
    // Selects the catalogue entry of that name, as a pick in cbDNSName does; applies nothing.
    void selectCatalogueEntry(const std::wstring& name);

    // The controls, in the order of their tab index within each container.
    tk::ComboBox cbNET;
    kButton kButton23;
    tk::ComboBox cbDNSName;
    kButton bt1;
    kButton bt2;
    tk::CheckBox chbCustom;
    IPAddressBox IP1;
    IPAddressBox IP2;
    kButton btApply;
    kButton btDefaultDNS;
    kButton btFlush;
    kButton kButton24;
    kButton kButton25;
    tk::Label Label1;
    kLabel kLabel1;
    kLabel kLabel2;
    tk::Label Label2;
    tk::Label Label3;
    tk::Label Label4;
    tk::Label Label5;
    tk::Panel Picture1;
    tk::TextBox txName;
    kButton btADD;
    kButton btCANCEL;
    tk::Label Label6;
    tk::Label Label7;
    tk::Label lbIDCard;
    tk::HiddenList lstNET;
    tk::HiddenList lstDNS;
    tk::HiddenList lstDNS6; // the IPv6 pair of each catalogue entry, empty when it has none
    tk::HiddenList lstDoH;  // the DoH template of each catalogue entry, empty when it has none
    tk::Timer Timer1;
    tk::Timer Timer2;

  protected:
    static constexpr UINT kFlushDone = WM_APP + 1; // wParam: dns::FlushResult, lParam: exit code
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    bool createControls();
    void addSystemMenu();
    void updateSystemMenu();
    // The system menu's own items, appended to a menu, and their greying and radio check.
    void appendCommands(HMENU menu) const;
    void updateCommands(HMENU menu) const;
    // The same items as a pop-up menu for WM_CONTEXTMENU from `from` at `at` (-1: from the
    // keyboard); the chosen item runs through systemCommand.
    void showCommandMenu(HWND from, LPARAM at);
    // Shift+F10, except in a field that has a menu of its own; true when used.
    bool menuKey(const MSG& msg);
    // Runs the system-menu item id; false when it is not one of the program's own.
    bool systemCommand(UINT id);
    void wireEvents();
    void placeControls();
    // "+" and "-" take the height of the catalogue list beside them, whose height its font sets.
    void alignCatalogueButtons();
    // The adapter list's tip is no wider than the list, so that it opens beneath it only.
    void fitAdapterTip();
    // Esc and Enter in the open add panel (and the address fields it uses), and Alt+F4
    // wherever the focus is; true when the key was used.
    bool dialogKey(const MSG& msg);
    void applyDpi(int dpi);
    void sizeWindow();
    RECT pixelRect(const app::ControlRow& row) const;
    void centreOnMonitor();
    void WhenLoad();
    void SetUniText(HWND window, const std::wstring& text);
    void unload();
    int message(std::wstring_view text, UINT flags);
    void flushDone(const dns::FlushOutcome& flushed);
    // Hands the request for the selected adapter to the change engine and shows its verdict;
    // where the previous servers cannot be recorded, asks first whether to go ahead.
    void makeChange(dns::ChangeRequest request, std::wstring_view appliedName);
    // What Apply would apply (the typed servers in custom mode, otherwise the chosen entry's,
    // built by the engine's request builder) and the name it is shown by; nothing, having said
    // why, when an address is missing.
    std::optional<dns::ChangeRequest> applyRequest(std::wstring& appliedName);
    static void focusIfAllowed(HWND window);
    // The catalogue as the window holds it: names_, lstDNS, lstDNS6 and lstDoH at the same index.
    std::vector<catalogue::CatalogueEntry> catalogueEntries() const;
    // The selected adapter's interface name; empty when none is selected.
    std::wstring selectedService() const;
    // The adapter list's tool tip: the selected adapter's current DNS settings.
    std::wstring adapterTipText() const;
    // Both address fields through gtIP; when one is unset (or has a blank part, which the
    // editor reports as 0), says so, moves the focus to it (if it can take it) and gives false.
    bool readAddresses(std::wstring& preferred, std::wstring& alternate);
    tk::FontPtr fontFor(app::FontStyle style) const;
    // The control after (or before) the one holding `from` that can take the focus now; with
    // `from` in none of them, the first (or last).
    HWND nextTabStop(HWND from, bool backwards);
    // The focus leaves with the window and comes back to the same control, as in a dialog.
    void saveFocus();
    void restoreFocus();

    std::wstring settingsPath_;
    // The catalogue's names, beside the list that shows them, so the catalogue is never read
    // back from the list.
    tk::HiddenList names_;
    int dpi_ = 96;
    bool unloaded_ = false;
    HWND savedFocus_ = nullptr;
    // The catalogue is the user's, and may be saved, only once loadConfig has run.
    bool configLoaded_ = false;
    // A settings file that could not be used is never written over; what it showed instead.
    bool settingsUnusable_ = false;
    std::vector<catalogue::CatalogueEntry> shownInstead_;
    tk::FontPtr normalFont_;
    tk::FontPtr boldFont_;
    tk::FontPtr titleFont_;
    tk::ToolTip toolTips_;
    tk::ToolTip adapterTips_;
    std::wstring adapterTip_; // the text the adapter list's tip shows
    app::CircleState circle_;
    std::unique_ptr<frmSpeed> speed_;
    std::unique_ptr<frmRules> rules_;
    bool flushing_ = false;
    // Last, so that it is joined before anything else goes; it touches only the window handle.
    tk::Thread flushWorker_;
};
