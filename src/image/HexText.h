#pragma once
// Writing Intel HEX records, for files the tool makes (the demo's firmware, test fixtures).

#include <cstdint>
#include <span>
#include <string>

namespace zarn {

// One record with its checksum, ended by a line feed.
std::string HexRecord(std::uint8_t type, std::uint16_t address, std::span<const std::uint8_t> data);

inline const std::string HexEndOfFile = ":00000001FF\n";

}  // namespace zarn
