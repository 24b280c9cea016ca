#pragma once
// Intel HEX digits, and records written for files the tool makes (the demo's firmware, test
// fixtures).

#include <cstdint>
#include <span>
#include <string>

namespace zarn {

// The value of a hexadecimal digit of either case, or -1 for any other character.
int HexDigit(char character);

// One record with its checksum, ended by a line feed.
std::string HexRecord(std::uint8_t type, std::uint16_t address, std::span<const std::uint8_t> data);

inline const std::string HexEndOfFile = ":00000001FF\n";

}  // namespace zarn
