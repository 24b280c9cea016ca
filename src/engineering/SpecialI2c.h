#pragma once
// The free-form I2C transaction of the "Special I2C access" group: up to five command bytes,
// then up to five data bytes written, or a repeated start and up to five bytes read back, to
// the device at the shared bus address.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "transport/KeldrixUsb.h"

namespace zarn {

inline constexpr int SpecialI2cMaxBytes = 5;

// A box's byte: its first two characters as hexadecimal digits, others and missing ones as 0.
std::uint8_t BoxByte(const std::string& text);

// Opens, writes command then data bytes to the address, closes. True when it acknowledged.
bool SpecialI2cWrite(KeldrixUsb& usb, std::uint8_t address,
                     const std::vector<std::uint8_t>& command,
                     const std::vector<std::uint8_t>& data);
// Opens, writes the command, reads count bytes after a repeated start, closes; nullopt when
// the transaction failed.
std::optional<std::vector<std::uint8_t>> SpecialI2cRead(KeldrixUsb& usb, std::uint8_t address,
                                                        const std::vector<std::uint8_t>& command,
                                                        std::uint8_t count);

}  // namespace zarn
