// "Find the fastest DNS": a small window owned by the main window that measures the catalogue's
// servers on a worker thread and lists each entry as it finishes, kept sorted fastest first
// (or by the column the user picked). "Use this" or a double-click hands the entry and what the
// test saw of it to the opener (the main window only selects it; the notification area asks
// before it applies it), and closes the window when the opener took it. Closing the window or
// Cancel stops the test at once; what was measured stays listed; the worker never outlives
// the window. It can be resized down to a minimum; sizes are at 96 DPI, scaled for the
// monitor and again on WM_DPICHANGED.
#pragma once

#include "catalogue/catalogue.h"
#include "dns/speedtest.h"
#include "toolkit/control.h"
#include "toolkit/font.h"
#include "toolkit/label.h"
#include "toolkit/thread.h"
#include "toolkit/window.h"

#include <atomic>
#include <functional>
#include <string>
#include <vector>

class frmSpeed : public tk::Window {
  public:
    // True when the entry was taken: the window then closes.
    using UseEntry = std::function<bool(const dns::EntryResult& entry)>;

    frmSpeed(std::vector<catalogue::CatalogueEntry> entries, dns::SpeedOptions options,
             UseEntry use);
    ~frmSpeed() override;

    // Creates the window centred on `owner`, shows it and starts the test.
    bool open(HWND owner);

    static constexpr int kListId = 101;
    static constexpr int kProgressId = 102;
    static constexpr int kUseId = 103;
    static constexpr int kCancelId = 104;
    static constexpr int kStatusId = 105;
    // The client area at 96 DPI: at first, and the least it can be made.
    static constexpr int kWidth = 660, kHeight = 340, kMinWidth = 380, kMinHeight = 200;
    HWND control(int id) const { return GetDlgItem(hwnd(), id); }
    bool running() const noexcept { return worker_.joinable() && !done_; }
    int dpi() const noexcept { return dpi_; }
    // The test's results so far, in catalogue order (entries not done have finished == false).
    const std::vector<dns::EntryResult>& results() const noexcept { return results_; }

    // A system control (list view, progress bar, push button) owned like the toolkit's own.
    class SystemControl : public tk::Control {
      public:
        [[nodiscard]] bool create(const wchar_t* className, DWORD style, DWORD exStyle, HWND parent,
                                  int id, std::wstring_view text = {}) {
            return createWindow(className, style | WS_VISIBLE, exStyle, parent, RECT{}, id, text);
        }
        std::function<void()> Click;

      protected:
        bool onCommand(WORD code) override;
    };

  protected:
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    static constexpr UINT kEntryDone = WM_APP + 1;
    static constexpr UINT kRunDone = WM_APP + 2;

    bool createControls();
    void applyDpi(int dpi);
    void placeControls();
    void fitColumns();
    void focusFirstRow();
    void addFinishedEntries();
    void refreshRows();
    void finish(bool cancelled);
    void stop() noexcept;
    void useSelected();
    void sortBy(int column);
    void showSortArrow();
    void onNotify(const NMHDR& header);

    std::vector<catalogue::CatalogueEntry> entries_;
    dns::SpeedOptions options_;
    UseEntry use_;
    std::vector<dns::EntryResult> results_;
    std::vector<dns::Column> columns_;
    int sortColumn_ = 1; // the preferred server's figure: fastest first
    bool sortDescending_ = false;
    int dpi_ = 96;
    std::size_t listed_ = 0;
    tk::FontPtr font_;
    HWND lastFocus_ = nullptr; // the control with the focus when the window was last left

    SystemControl list_;
    SystemControl progress_;
    tk::Label status_;
    SystemControl useButton_;
    SystemControl cancelButton_;

    // Shared with the worker: entries it finished and the window has not listed yet.
    tk::Lock mutex_;
    std::vector<std::size_t> finished_;
    std::vector<dns::EntryResult> finishedResults_;
    std::atomic<bool> cancel_{false};
    bool done_ = false;
    tk::Thread worker_;
};
