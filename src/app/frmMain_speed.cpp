// The speed test from the system menu, on the catalogue as the window lists it.
#include "app/frmMain.h"

#include "catalogue/catalogue.h"
#include "catalogue/mConfig.h"

void frmMain::findFastestDns() {
    if (speed_ && speed_->hwnd()) {
        SetForegroundWindow(speed_->hwnd());
        return;
    }
    auto entries = catalogueEntries();
    speed_.reset(); // a finished test's window is gone; its object goes now
    speed_ = std::make_unique<frmSpeed>(std::move(entries), dns::SpeedOptions{},
                                        [this](const dns::EntryResult& entry) {
                                            selectCatalogueEntry(entry.name);
                                            return true;
                                        });
    if (!speed_->open(hwnd())) speed_.reset();
}

void frmMain::selectCatalogueEntry(const std::wstring& name) {
    for (int i = 0; i < names_.count(); ++i) {
        if (catalogue::sameName(names_.item(i).value_or(L""), name, mConfig::foldKey)) {
            cbDNSName.setListIndex(i);
            return;
        }
    }
}
