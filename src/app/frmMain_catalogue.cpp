// The catalogue handlers of the main window: choosing an entry, custom mode, the add panel
// and deleting. Names live in cbDNSName, their server pairs at the same index in lstDNS and
// their IPv6 pairs in lstDNS6.
#include "app/frmMain.h"

#include "catalogue/catalogue.h"
#include "catalogue/mConfig.h"

namespace {

constexpr std::wstring_view kNameExists =
    L"DNS server name has exist! Choose another DNS server name...";
constexpr std::wstring_view kNameNotStorable =
    L"This name cannot be kept in the settings file. Leave out \"\u00AE\" and \"=\", and do "
    L"not begin it with \"[\" or \";\"...";
// Said around the settings file's path.
constexpr std::wstring_view kSaveFailed[] = {L"The catalogue could not be saved to\r\n",
                                             L"\r\n\r\nThe file there is left as it was..."};
constexpr std::wstring_view kNotSaved[] = {
    L"The catalogue was not saved:\r\n",
    L"\r\ncould not be read when Keldrast started, so it is left as it was..."};

std::wstring around(const std::wstring_view (&text)[2], const std::wstring& path) {
    return std::wstring(text[0]).append(path).append(text[1]);
}

constexpr std::wstring_view kChooseToDelete = L"Choose a item in list to delete...";
constexpr std::wstring_view kConfirmDelete = L"Do you want to delete the selected DNS server?";

} // namespace

bool frmMain::readAddresses(std::wstring& preferred, std::wstring& alternate) {
    // A blank part reads as 0 ("0.8.4.4"): such a field counts as not entered.
    preferred = IP1.complete() ? catalogue::gtIP(IP1.IPAddressAsString())
                               : std::wstring(catalogue::kUnsetAddress);
    alternate = IP2.complete() ? catalogue::gtIP(IP2.IPAddressAsString())
                               : std::wstring(catalogue::kUnsetAddress);
    if (preferred != catalogue::kUnsetAddress && alternate != catalogue::kUnsetAddress) return true;
    message(L"Enter IP Address...", MB_ICONSTOP);
    focusIfAllowed(preferred == catalogue::kUnsetAddress ? IP1.hwndIP() : IP2.hwndIP());
    return false;
}

void frmMain::fillIP() {
    if (cbDNSName.text().empty()) return;
    const auto pair = lstDNS.item(cbDNSName.listIndex());
    if (!pair) return;
    const auto parts = catalogue::splitPair(*pair);
    if (parts.preferred) IP1.IPAddressAsString(*parts.preferred);
    if (parts.alternate) IP2.IPAddressAsString(*parts.alternate);
}

void frmMain::chbCustom_Click() {
    const bool custom = chbCustom.value() != 0;
    IP1.Enabled(custom);
    IP2.Enabled(custom);
    // Back from custom mode the fields show the entry again, the servers Apply will write.
    if (!custom) fillIP();
}

void frmMain::bt1_Click() {
    Picture1.setVisible(true);
    txName.setFocus();
    IP1.Enabled(true);
    IP2.Enabled(true);
    IP1.IPAddressAsString(std::wstring(catalogue::kUnsetAddress));
    IP2.IPAddressAsString(std::wstring(catalogue::kUnsetAddress));
}

void frmMain::btADD_Click() {
    const std::wstring name = tk::trimSpaces(txName.text());
    if (name.empty()) {
        txName.setFocus();
        return;
    }
    std::wstring p, a;
    if (!readAddresses(p, a)) return;
    for (int i = 0; i < names_.count(); ++i) {
        // Compared as the settings file compares keys: one key cannot hold two entries.
        if (catalogue::sameName(names_.item(i).value_or(L""), name, mConfig::foldKey)) {
            message(kNameExists, MB_ICONSTOP);
            txName.setFocus();
            return;
        }
    }
    // A name the settings file would split or lose is refused before it is added. Any
    // character is kept: a file the ANSI code page cannot hold is written as UTF-16.
    if (!catalogue::storableName(name, {})) {
        message(kNameNotStorable, MB_ICONSTOP);
        txName.setFocus();
        return;
    }
    cbDNSName.addItem(name);
    names_.addItem(name);
    lstDNS.addItem(catalogue::joinPair(tk::trimSpaces(IP1.IPAddressAsString()),
                                       tk::trimSpaces(IP2.IPAddressAsString())));
    lstDNS6.addItem(L""); // an IPv6 pair comes from the settings file or the command line
    lstDoH.addItem(L"");  // and so does a DoH template
    btCANCEL_Click();
}

void frmMain::btCANCEL_Click() {
    Picture1.setVisible(false);
    txName.setText(L"");
    IP1.IPAddressAsString(std::wstring(catalogue::kUnsetAddress));
    IP2.IPAddressAsString(std::wstring(catalogue::kUnsetAddress));
    chbCustom_Click();
    fillIP();
    // Out of fields that are no longer offered, to the button that opened the panel.
    const HWND focus = GetFocus();
    if (focus && !IP1.Enabled() && (IsChild(IP1.hwnd(), focus) || IsChild(IP2.hwnd(), focus)))
        focusIfAllowed(bt1.hwnd());
}

void frmMain::bt2_Click() {
    if (cbDNSName.text().empty() && cbDNSName.listIndex() < 0) {
        message(kChooseToDelete, MB_ICONSTOP);
        cbDNSName.setFocus();
        return;
    }
    if (message(kConfirmDelete, MB_YESNO | MB_ICONSTOP) != IDYES) return;
    const int i = cbDNSName.listIndex();
    cbDNSName.removeItem(i);
    names_.removeItem(i);
    lstDNS.removeItem(i);
    lstDNS6.removeItem(i);
    lstDoH.removeItem(i);
    cbDNSName.setListIndex(0); // refills the fields; refused when the catalogue is empty
}

void frmMain::txName_KeyPress(int& KeyAscii) {
    if (KeyAscii != 13) return;
    KeyAscii = 0; // handled: no beep, nothing typed
    btADD_Click();
}

void frmMain::loadConfig() {
    auto loaded = mConfig::loadSettings(settingsPath());
    std::vector<std::wstring> names;
    names.reserve(loaded.entries.size());
    for (const auto& entry : loaded.entries) {
        names.push_back(entry.name);
        names_.addItem(entry.name);
        lstDNS.addItem(entry.pair);
        lstDNS6.addItem(entry.pair6);
        lstDoH.addItem(entry.doh);
    }
    cbDNSName.addItems(names);
    if (cbDNSName.count() > 0) cbDNSName.setListIndex(0);
    settingsUnusable_ = loaded.file == mConfig::SettingsFile::Unusable;
    if (settingsUnusable_) shownInstead_ = std::move(loaded.entries);
    configLoaded_ = true;
}

std::vector<catalogue::CatalogueEntry> frmMain::catalogueEntries() const {
    std::vector<catalogue::CatalogueEntry> entries;
    entries.reserve(static_cast<std::size_t>(names_.count()));
    for (int i = 0; i < names_.count(); ++i)
        entries.push_back({names_.item(i).value_or(L""), lstDNS.item(i).value_or(L""),
                           lstDNS6.item(i).value_or(L""), lstDoH.item(i).value_or(L"")});
    return entries;
}

void frmMain::addEncryptedServices() {
    auto entries = catalogueEntries();
    const auto added = catalogue::addKnownServices(entries, mConfig::foldKey);
    for (std::size_t i = entries.size() - added.size(); i < entries.size(); ++i) {
        cbDNSName.addItem(entries[i].name);
        names_.addItem(entries[i].name);
        lstDNS.addItem(entries[i].pair);
        lstDNS6.addItem(entries[i].pair6);
        lstDoH.addItem(entries[i].doh);
    }
    if (added.empty()) {
        message(L"Every well-known encrypted DNS service is in the list already.",
                MB_ICONINFORMATION);
        return;
    }
    std::wstring names;
    for (const auto& name : added)
        names += L"\r\n\u00BB " + name;
    message(L"Added to the catalogue, with their IPv6 servers and DoH templates:" + names +
                L"\r\n\r\nThe list is saved when Keldrast closes.",
            MB_ICONINFORMATION);
}

void frmMain::saveConfig() {
    if (!configLoaded_) return;
    const auto entries = catalogueEntries();
    const std::wstring path = settingsPath();
    if (settingsUnusable_) {
        if (entries != shownInstead_) message(around(kNotSaved, path), MB_ICONSTOP);
        return;
    }
    // Replaces the file in one step; when that fails the previous file stays as it was.
    while (!mConfig::saveCatalogue(path, entries))
        if (message(around(kSaveFailed, path), MB_RETRYCANCEL | MB_ICONSTOP) != IDRETRY) return;
}
