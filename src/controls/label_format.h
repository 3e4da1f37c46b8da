// The label's text format and the range of its alignment. Pure.
#pragma once

#include <cstdint>
#include <optional>

namespace ctl {

// The alignment is kept in 16 bits; a wider value is refused (empty result).
std::optional<std::int16_t> alignmentFromLong(std::int32_t value) noexcept;

// The DrawTextW format for an alignment: the value sign-extended, so 0, 1 and 2 are left,
// centred and right with nothing else; other values pass as format bits unchanged.
std::uint32_t labelTextFormat(std::int16_t alignment) noexcept;

} // namespace ctl
