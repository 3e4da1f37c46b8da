#include "controls/label_format.h"

#include <limits>

namespace ctl {

std::optional<std::int16_t> alignmentFromLong(std::int32_t value) noexcept {
    if (value < std::numeric_limits<std::int16_t>::min() ||
        value > std::numeric_limits<std::int16_t>::max())
        return std::nullopt;
    return static_cast<std::int16_t>(value);
}

std::uint32_t labelTextFormat(std::int16_t alignment) noexcept {
    return static_cast<std::uint32_t>(static_cast<std::int32_t>(alignment));
}

} // namespace ctl
