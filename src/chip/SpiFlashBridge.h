#pragma once
// The SPI flash behind the bridge chip, driven with raw serial-flash commands through the
// bridge's requests: 0x80 sends bytes (the bridge ends the command after a packet with wIndex
// 1), 0x81 sends a command whose answer the bridge collects, 0x82 fetches that answer. None of
// the write, erase or program operations sends write enable or waits for the flash; callers do.

#include <array>
#include <cstdint>

#include "transport/KeldrixUsb.h"

namespace zarn {

// Serial-flash opcodes.
inline constexpr std::uint8_t FlashOpReadId = 0x9F;
inline constexpr std::uint8_t FlashOpReadStatus = 0x05;
inline constexpr std::uint8_t FlashOpWriteStatus = 0x01;
inline constexpr std::uint8_t FlashOpWriteEnable = 0x06;
inline constexpr std::uint8_t FlashOpWriteDisable = 0x04;
inline constexpr std::uint8_t FlashOpChipErase = 0xC7;
inline constexpr std::uint8_t FlashOpSectorErase = 0x20;
inline constexpr std::uint8_t FlashOpRead = 0x03;
inline constexpr std::uint8_t FlashOpPageProgram = 0x02;
inline constexpr std::uint8_t FlashOpAaiProgram = 0xAD;

// Packet limits of the bridge.
inline constexpr std::uint8_t SpiWriteMaxArguments = 3;
inline constexpr std::uint16_t FlashReadMaxCount = 255;
inline constexpr std::uint16_t FlashPageProgramMaxCount = 256;

// Manufacturer, memory type, capacity, as the flash returns them for 0x9F.
using FlashIdBytes = std::array<std::uint8_t, 3>;

bool SpiWrite(KeldrixUsb& usb, std::uint8_t opcode, std::uint8_t count,
              const std::uint8_t* arguments);
bool SpiReadCommand(KeldrixUsb& usb, std::uint8_t opcode, std::uint8_t count);
bool SpiFetch(KeldrixUsb& usb, std::uint8_t count, std::uint8_t* buffer);

// Fills flashId; on failure it keeps its earlier content.
bool FlashReadId(KeldrixUsb& usb, FlashIdBytes& flashId);
// The status register, or 0xFF when it could not be read (0xFF reads as busy).
std::uint8_t FlashReadStatus(KeldrixUsb& usb);
bool FlashWriteStatus(KeldrixUsb& usb, std::uint8_t value);
bool FlashWriteEnable(KeldrixUsb& usb);
bool FlashWriteDisable(KeldrixUsb& usb);
bool FlashChipErase(KeldrixUsb& usb);
bool FlashSectorErase(KeldrixUsb& usb, std::uint32_t address);
// count 1 to 255; anything else is refused before a request is sent.
bool FlashRead(KeldrixUsb& usb, std::uint32_t address, std::uint16_t count, std::uint8_t* buffer);
// count 1 to 256; anything else is refused before a request is sent. Reports only the data
// packet's result.
bool FlashPageProgram(KeldrixUsb& usb, std::uint32_t address, std::uint16_t count,
                      const std::uint8_t* data);
// Auto-address-increment word program; count even and at least 2, else refused before a request
// is sent. Reports only the last packet's result.
bool FlashAaiProgram(KeldrixUsb& usb, std::uint32_t address, std::uint16_t count,
                     const std::uint8_t* data);

}  // namespace zarn
