#include "toolkit/hidden_list.h"

#include <utility>

namespace tk {

bool HiddenList::addItem(std::wstring item, int index) {
    if (index == -1) index = count();
    if (index < 0 || index > count()) return false;
    items_.insert(items_.begin() + index, std::move(item));
    return true;
}

bool HiddenList::removeItem(int index) {
    if (!holds(index)) return false;
    items_.erase(items_.begin() + index);
    return true;
}

std::optional<std::wstring> HiddenList::item(int index) const {
    if (!holds(index)) return std::nullopt;
    return items_[static_cast<std::size_t>(index)];
}

} // namespace tk
