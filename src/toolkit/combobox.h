// A drop-down list without typing (a system combo box, CBS_DROPDOWNLIST). Its Click event comes
// both when the user picks an item and when the program sets the selected index. The list
// opens at least as wide as its longest item.
#pragma once

#include "toolkit/control.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tk {

class ComboBox : public Control {
  public:
    // `rect` is the closed control; the list drops below it for up to `visibleItems` items.
    [[nodiscard]] bool create(HWND parent, const RECT& rect, int id, int visibleItems = 8);
    bool move(const RECT& rect) noexcept override;

    // Inserts before `index`; -1 (the default) appends. False when nothing was added.
    bool addItem(std::wstring_view item, int index = -1);
    // Appends every item in one go: storage reserved first, no redraw until the last.
    bool addItems(const std::vector<std::wstring>& items);
    // False when there is no item at `index`. Removing the selected item leaves none selected.
    bool removeItem(int index);
    void clear() noexcept;
    int count() const noexcept;
    std::optional<std::wstring> item(int index) const;

    // The selected index, -1 for none.
    int listIndex() const noexcept;
    // Selects `index` (-1 for none) and raises Click, as a pick by the user does. False, and
    // no Click, when the index is outside -1..count()-1.
    bool setListIndex(int index);

    // The selected item's text, empty when none is selected. Setting the text is not offered:
    // the list has no typing.
    std::wstring text() const override;
    void setText(std::wstring_view) override {}

    std::function<void()> Click;

  protected:
    bool onCommand(WORD code) override;

  private:
    void fitDroppedWidth() noexcept;

    int visibleItems_ = 8;
};

} // namespace tk
