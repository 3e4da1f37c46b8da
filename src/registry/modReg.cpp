#include "registry/modReg.h"

#include "toolkit/handles.h"
#include "toolkit/text.h"
#include "toolkit/trim.h"

namespace modReg {

namespace {

tk::unique_hkey openKeyForReading(std::wstring_view root, const std::string& path) {
    tk::unique_hkey key;
    const HKEY rootKey = rootKeyFromName(root);
    if (!rootKey || RegOpenKeyExA(rootKey, path.c_str(), 0, KEY_READ, key.put()) != 0) return {};
    return key;
}

tk::unique_hkey createKey(std::wstring_view root, const std::string& path) {
    tk::unique_hkey key;
    const HKEY rootKey = rootKeyFromName(root);
    if (!rootKey) return {};
    SECURITY_ATTRIBUTES security{};
    security.nLength = 12; // the size the registry module has always passed
    security.lpSecurityDescriptor = nullptr;
    security.bInheritHandle = TRUE;
    char emptyClass[] = "";
    DWORD disposition = 0;
    if (RegCreateKeyExA(rootKey, path.c_str(), 0, emptyClass, 0, KEY_ALL_ACCESS, &security,
                        key.put(), &disposition) != 0)
        return {};
    return key;
}

bool store(HKEY key, const std::string& name, DWORD type, const std::string& data) {
    return RegSetValueExA(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(data.data()),
                          static_cast<DWORD>(data.size())) == ERROR_SUCCESS;
}

} // namespace

HKEY rootKeyFromName(std::wstring_view name) {
    const std::uint32_t code = rootKeyCode(name);
    // Predefined keys are 32-bit values sign-extended to the handle's width.
    return code ? reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(code))) : nullptr;
}

std::wstring readValue(std::wstring_view root, std::wstring_view path, std::wstring_view name) {
    const auto key = openKeyForReading(root, tk::toAnsi(path));
    if (!key) return {};
    const std::string valueName = tk::toAnsi(name);
    std::string buffer(kReadBufferSize, ' ');
    DWORD type = REG_NONE;
    DWORD size = static_cast<DWORD>(buffer.size());
    // A value too large for the buffer is not copied and reads as empty.
    if (RegQueryValueExA(key.get(), valueName.c_str(), nullptr, &type,
                         reinterpret_cast<BYTE*>(buffer.data()), &size) != ERROR_SUCCESS)
        return {};
    switch (type) {
    case REG_SZ:
        return tk::fromAnsi(stringValueText(buffer));
    case REG_BINARY:
        return tk::fromAnsi(binaryValueText(buffer));
    case REG_DWORD: {
        DWORD raw = 0;
        DWORD rawSize = sizeof(raw);
        if (RegQueryValueExA(key.get(), valueName.c_str(), nullptr, nullptr,
                             reinterpret_cast<BYTE*>(&raw), &rawSize) != ERROR_SUCCESS)
            return {};
        return tk::fromAnsi(dwordValueText(raw));
    }
    default:
        return {};
    }
}

bool writeValue(std::wstring_view root, std::wstring_view path, std::wstring_view name,
                std::wstring_view value, std::wstring_view typeName) {
    const auto key = createKey(root, tk::toAnsi(path));
    if (!key) return false;
    const std::string valueName = tk::toAnsi(name);
    const std::string text = tk::toAnsi(tk::trimSpaces(value));
    switch (valueKindFromName(typeName)) {
    case ValueKind::String:
        // Stored without the terminating NUL, as the program's readers expect.
        return store(key.get(), valueName, REG_SZ, text);
    case ValueKind::Binary: {
        const auto bytes = bytesFromHex(text);
        return bytes && store(key.get(), valueName, REG_BINARY, *bytes);
    }
    case ValueKind::Dword: {
        const auto number = dwordFromText(text);
        if (!number) return false;
        const DWORD raw = *number;
        return RegSetValueExA(key.get(), valueName.c_str(), 0, REG_DWORD,
                              reinterpret_cast<const BYTE*>(&raw), sizeof(raw)) == ERROR_SUCCESS;
    }
    case ValueKind::Unknown:
        break;
    }
    return true;
}

std::vector<AdapterRecord> enumNetworkCards(std::wstring_view root, std::wstring_view path) {
    std::vector<AdapterRecord> cards;
    const auto key = openKeyForReading(root, tk::toAnsi(path));
    if (!key) return cards;
    for (DWORD index = 0;; ++index) {
        char name[1024];
        char cls[1024];
        DWORD nameLength = sizeof(name);
        DWORD classLength = sizeof(cls);
        FILETIME written{};
        if (RegEnumKeyExA(key.get(), index, name, &nameLength, nullptr, cls, &classLength,
                          &written) != ERROR_SUCCESS)
            break;
        std::wstring subkey(path);
        subkey += L'\\';
        subkey += tk::fromAnsi(std::string_view(name, nameLength));
        cards.push_back({tk::trimSpaces(readValue(root, subkey, L"Description")),
                         tk::trimSpaces(readValue(root, subkey, L"ServiceName"))});
    }
    return cards;
}

} // namespace modReg
