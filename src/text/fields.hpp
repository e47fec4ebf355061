// Fixed-column fields of an 80-byte record and their conversion to numbers.
// Blanks are ignored anywhere in a numeric field; a field of blanks reads as zero.
// Real fields are converted to the float nearest to the exact decimal value.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace gyro {

inline constexpr int reclen = 80;  // every record is handled as exactly 80 bytes

// Columns col..col+width-1 (1-based, as the record layouts state them).
inline std::string_view columns(std::string_view line, int col, int width) {
  return line.substr(static_cast<std::size_t>(col - 1), static_cast<std::size_t>(width));
}

// Optional sign and digits; nothing when the field holds anything else.
std::optional<std::int32_t> int_field(std::string_view field);

// Optional sign, digits with at most one point, optional exponent ("E", "D",
// lower case too, or a bare sign before the exponent digits). Without a point the
// rightmost `decimals` digits are the fraction. Nothing when the text is not of
// that form or the value lies beyond the float range.
std::optional<float> real_field(std::string_view field, int decimals);

}  // namespace gyro
