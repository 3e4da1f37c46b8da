// The stored properties of one control instance: named entries, each written only when it
// differs from its default, read back as the default when missing or of another type.
// Names match without regard to case and are kept in lower case. Pure.
#pragma once

#include "toolkit/font.h"

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <variant>

namespace ctl {

using PropertyValue = std::variant<bool, std::int32_t, std::uint32_t, std::wstring, tk::FontPtr>;

class PropertyBag {
  public:
    // Stores `value` under `name`, or removes the entry when `value` equals `defaultValue`.
    // Fonts compare by description; an empty font pointer is never stored.
    void write(std::wstring_view name, const PropertyValue& value,
               const PropertyValue& defaultValue);

    bool readBool(std::wstring_view name, bool defaultValue) const;
    std::int32_t readLong(std::wstring_view name, std::int32_t defaultValue) const;
    std::uint32_t readColour(std::wstring_view name, std::uint32_t defaultValue) const;
    std::wstring readString(std::wstring_view name, const std::wstring& defaultValue) const;
    tk::FontPtr readFont(std::wstring_view name, const tk::FontPtr& defaultValue) const;

  private:
    const PropertyValue* find(std::wstring_view name) const;
    std::map<std::wstring, PropertyValue> entries_;
};

} // namespace ctl
