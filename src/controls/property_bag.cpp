#include "controls/property_bag.h"
#include "toolkit/trim.h"

namespace ctl {

namespace {

bool sameValue(const PropertyValue& a, const PropertyValue& b) {
    if (a.index() != b.index()) return false;
    if (const auto* fa = std::get_if<tk::FontPtr>(&a)) {
        const auto& fb = std::get<tk::FontPtr>(b);
        if (!*fa || !fb) return *fa == fb;
        return (*fa)->description() == fb->description();
    }
    return a == b;
}

template <typename T> T readAs(const PropertyValue* stored, const T& defaultValue) {
    if (!stored) return defaultValue;
    const T* value = std::get_if<T>(stored);
    return value ? *value : defaultValue;
}

} // namespace

void PropertyBag::write(std::wstring_view name, const PropertyValue& value,
                        const PropertyValue& defaultValue) {
    const std::wstring key = tk::foldAscii(name);
    const auto* font = std::get_if<tk::FontPtr>(&value);
    if (sameValue(value, defaultValue) || (font && !*font)) {
        entries_.erase(key);
        return;
    }
    entries_[key] = value;
}

const PropertyValue* PropertyBag::find(std::wstring_view name) const {
    const auto it = entries_.find(tk::foldAscii(name));
    return it == entries_.end() ? nullptr : &it->second;
}

bool PropertyBag::readBool(std::wstring_view name, bool defaultValue) const {
    return readAs(find(name), defaultValue);
}

std::int32_t PropertyBag::readLong(std::wstring_view name, std::int32_t defaultValue) const {
    return readAs(find(name), defaultValue);
}

std::uint32_t PropertyBag::readColour(std::wstring_view name, std::uint32_t defaultValue) const {
    return readAs(find(name), defaultValue);
}

std::wstring PropertyBag::readString(std::wstring_view name,
                                     const std::wstring& defaultValue) const {
    return readAs(find(name), defaultValue);
}

tk::FontPtr PropertyBag::readFont(std::wstring_view name, const tk::FontPtr& defaultValue) const {
    return readAs(find(name), defaultValue);
}

} // namespace ctl
