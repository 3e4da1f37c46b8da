// "DNS per network…": a small window owned by the main window that lists the connected networks
// and the rules the settings file keeps (those of networks away now too, and lines it refuses),
// and removes the selected rule with "Remove rule" or Delete. Sizes are at 96 DPI, scaled for the
// monitor and again on WM_DPICHANGED; Tab, the arrow keys and Esc work as in a dialog.
#pragma once

#include "dns/netrules.h"
#include "speed/frmSpeed.h"
#include "toolkit/font.h"
#include "toolkit/window.h"

#include <string>
#include <vector>

class frmRules : public tk::Window {
  public:
    explicit frmRules(std::wstring settingsPath);

    // Creates the window centred on `owner`, lists the networks and rules and shows it.
    bool open(HWND owner);
    // Reads the networks and the rules again.
    void refresh();
    // Forgets the selected row's rule; says so when the settings file could not be written.
    void removeSelected();

    static constexpr int kListId = 101;
    static constexpr int kRemoveId = 102;
    static constexpr int kCloseId = 103;
    HWND control(int id) const { return GetDlgItem(hwnd(), id); }
    const std::vector<dns::RuleRow>& rows() const noexcept { return rows_; }

  protected:
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    void applyDpi(int dpi);
    int selectedRow() const;
    void updateButtons();

    std::wstring settingsPath_;
    std::vector<dns::RuleRow> rows_;
    int dpi_ = 96;
    tk::FontPtr font_;
    frmSpeed::SystemControl list_;
    frmSpeed::SystemControl removeButton_;
    frmSpeed::SystemControl closeButton_;
};
