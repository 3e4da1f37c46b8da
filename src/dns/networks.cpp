#include "dns/networks.h"

#include <windows.h>
#include <netlistmgr.h>
#include <objbase.h>

#include "catalogue/mConfig.h"
#include "dns/network.h"
#include "toolkit/com.h"

namespace dns {

namespace {

std::wstring guidText(const GUID& guid) {
    wchar_t text[40] = {};
    return StringFromGUID2(guid, text, 40) ? text : L"";
}

// COM for this thread while it lives, unless the thread has it already in another model.
class ComScope {
  public:
    ComScope() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
    ~ComScope() {
        if (SUCCEEDED(result_)) CoUninitialize();
    }

  private:
    HRESULT result_;
};

} // namespace

std::optional<std::vector<Network>> networkListManager() {
    const ComScope com;
    tk::com_ptr<INetworkListManager> manager;
    if (FAILED(CoCreateInstance(CLSID_NetworkListManager, nullptr, CLSCTX_ALL,
                                IID_INetworkListManager, manager.put())))
        return std::nullopt;
    tk::com_ptr<IEnumNetworks> found;
    if (FAILED(manager->GetNetworks(NLM_ENUM_NETWORK_CONNECTED, found.putTyped())) || !found)
        return std::nullopt;
    std::vector<Network> networks;
    for (;;) {
        tk::com_ptr<INetwork> network;
        ULONG fetched = 0;
        if (found->Next(1, network.putTyped(), &fetched) != S_OK || fetched != 1 || !network) break;
        Network n;
        GUID id{};
        if (FAILED(network->GetNetworkId(&id))) continue;
        n.id = guidText(id);
        BSTR name = nullptr;
        if (SUCCEEDED(network->GetName(&name)) && name) n.name = name;
        SysFreeString(name);
        tk::com_ptr<IEnumNetworkConnections> connections;
        if (SUCCEEDED(network->GetNetworkConnections(connections.putTyped())) && connections)
            for (;;) {
                tk::com_ptr<INetworkConnection> connection;
                ULONG got = 0;
                if (connections->Next(1, connection.putTyped(), &got) != S_OK || got != 1 ||
                    !connection)
                    break;
                GUID adapter{};
                if (SUCCEEDED(connection->GetAdapterId(&adapter)))
                    n.adapters.push_back({guidText(adapter), {}});
            }
        if (!n.id.empty()) networks.push_back(std::move(n));
    }
    return networks;
}

std::vector<Network> connectedNetworks() {
    auto networks = networkListSeam.call(networkListManager);
    if (!networks || !usableNetworkList(*networks)) {
        const auto state = networkState();
        networks = signatureNetworks(state.adapters.value_or(std::vector<SystemAdapter>{}));
    }
    return onListedAdapters(std::move(*networks), listedAdapters());
}

CheckedRules networkRules(std::wstring_view settingsPath,
                          const std::vector<catalogue::CatalogueEntry>& entries) {
    const auto lines = mConfig::networkRuleLines(settingsPath);
    if (!lines)
        return {{},
                {{{},
                  L"The settings file " + std::wstring(settingsPath) +
                      L" could not be read, so none of its rules is known."}}};
    return checkRules(*lines, entries, mConfig::foldKey);
}

bool keepNetworkRule(std::wstring_view settingsPath, const NetworkRule& rule) {
    return mConfig::setNetworkRule(settingsPath, rule.network, encodeRule(rule));
}

bool forgetNetworkRule(std::wstring_view settingsPath, std::wstring_view network) {
    return mConfig::dropNetworkRule(settingsPath, network);
}

} // namespace dns
