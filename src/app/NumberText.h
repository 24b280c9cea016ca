#pragma once
// Numbers typed by the user: byte values and addresses in hexadecimal, range edits in decimal.
// Blanks around the digits, and "0x" before hexadecimal ones, are allowed; anything else, no digit
// at all, or a value that does not fit 32 bits is refused (nullopt) so that nothing is sent.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zarn {

std::optional<std::uint32_t> ParseHexNumber(std::string_view text);
std::optional<std::uint32_t> ParseDecimalNumber(std::string_view text);
// The message that refuses a text: "'12x' is not a valid hexadecimal number".
std::string NotANumberText(std::string_view text, bool hexadecimal);

}  // namespace zarn
