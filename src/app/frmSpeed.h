// "Find the fastest DNS": a small window owned by the main window that measures the catalogue's
// servers on a worker thread and lists each entry as it finishes, sorted by any column. "Use
// this" or a double-click hands the entry's name back to the main window, which only selects
// it. Closing the window or Cancel stops the test at once; the worker never outlives the window.
#pragma once

#include "catalogue/catalogue.h"
#include "dns/speedtest.h"
#include "toolkit/thread.h"
#include "toolkit/window.h"

#include <atomic>
#include <functional>
#include <string>
#include <vector>

class frmSpeed : public tk::Window {
  public:
    using UseEntry = std::function<void(const std::wstring& name)>;

    frmSpeed(std::vector<app::CatalogueEntry> entries, dns::SpeedOptions options, UseEntry use);
    ~frmSpeed() override;

    // Creates the window centred on `owner`, shows it and starts the test.
    bool open(HWND owner, HFONT font);

    static constexpr int kListId = 101;
    static constexpr int kProgressId = 102;
    static constexpr int kUseId = 103;
    static constexpr int kCancelId = 104;
    HWND control(int id) const { return GetDlgItem(hwnd(), id); }
    bool running() const noexcept { return worker_.joinable() && !done_; }
    // The test's results so far, in catalogue order (entries not done have finished == false).
    const std::vector<dns::EntryResult>& results() const noexcept { return results_; }

  protected:
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    static constexpr UINT kEntryDone = WM_APP + 1;
    static constexpr UINT kRunDone = WM_APP + 2;

    void createControls(HFONT font);
    void addFinishedEntries();
    void finish();
    void stop() noexcept;
    void useSelected();
    void sortBy(int column);
    void onNotify(const NMHDR& header);

    std::vector<app::CatalogueEntry> entries_;
    dns::SpeedOptions options_;
    UseEntry use_;
    std::vector<dns::EntryResult> results_;
    std::vector<int> columnRoles_; // the server role shown in each column after the name
    int sortColumn_ = 1;
    bool sortDescending_ = false;
    int dpi_ = 96;

    // Shared with the worker: entries it finished and the window has not listed yet.
    tk::Lock mutex_;
    std::vector<std::size_t> finished_;
    std::vector<dns::EntryResult> finishedResults_;
    std::atomic<bool> cancel_{false};
    bool done_ = false;
    tk::Thread worker_;
};
