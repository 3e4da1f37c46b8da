// A list of texts that is never shown: the program keeps lists parallel to its drop-down
// lists here (service names beside adapter names, server pairs beside catalogue names).
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tk {

class HiddenList {
  public:
    // Inserts before `index`; -1 (the default) appends. False when the index is outside
    // -1..count(), and nothing is added.
    bool addItem(std::wstring item, int index = -1);
    // False when there is no item at `index`; the list is unchanged then.
    bool removeItem(int index);
    void clear() noexcept { items_.clear(); }
    int count() const noexcept { return static_cast<int>(items_.size()); }
    // Nothing when there is no item at `index`.
    std::optional<std::wstring> item(int index) const;

  private:
    bool holds(int index) const noexcept { return index >= 0 && index < count(); }
    std::vector<std::wstring> items_;
};

} // namespace tk
