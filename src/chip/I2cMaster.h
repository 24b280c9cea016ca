#pragma once
// The chip's I2C master in register bank 14, one byte at a time. The byte operations and
// transactions expect the transport open and bank 14 selected by I2cInit; nothing here selects
// the bank again. Addresses are in their 8-bit write form (0x20); the read phase sends the
// address with bit 0 set.

#include <cstdint>

#include "transport/KeldrixUsb.h"

namespace zarn {

inline constexpr std::uint8_t I2cBank = 14;
inline constexpr std::uint16_t I2cCommandStatusRegister = 0x10;
inline constexpr std::uint16_t I2cConfigRegister = 0x11;
inline constexpr std::uint16_t I2cTransmitRegister = 0x12;
inline constexpr std::uint16_t I2cReceiveRegister = 0x13;
inline constexpr std::uint16_t I2cTransferRegister = 0x14;

// Bus commands written to register 0x10.
inline constexpr std::uint8_t I2cCommandStart = 0xC0;
inline constexpr std::uint8_t I2cCommandStop = 0xA0;
inline constexpr std::uint8_t I2cCommandReceiveAck = 0x80;
inline constexpr std::uint8_t I2cCommandReceiveLast = 0x90;
// Transfer starts written to register 0x14.
inline constexpr std::uint8_t I2cTransferTransmit = 0x01;
inline constexpr std::uint8_t I2cTransferReceive = 0x03;
// Status bits read from register 0x10.
inline constexpr std::uint8_t I2cStatusDone = 0x01;
inline constexpr std::uint8_t I2cStatusNoAck = 0x08;

bool I2cInit(KeldrixUsb& usb);
bool I2cStart(KeldrixUsb& usb);
bool I2cStop(KeldrixUsb& usb);
// True when the device acknowledged the byte.
bool I2cWriteByte(KeldrixUsb& usb, std::uint8_t value);
// Receives one byte, acknowledging it unless it is the last; false when it could not be fetched.
bool I2cReadByte(KeldrixUsb& usb, bool last, std::uint8_t* value);

// Transactions: true when the device acknowledged its address (and, for reads, every byte
// was fetched).
bool I2cWrite(KeldrixUsb& usb, std::uint8_t address, std::uint8_t registerNumber,
              std::uint8_t count, const std::uint8_t* data);
bool I2cRead(KeldrixUsb& usb, std::uint8_t address, std::uint8_t registerNumber, std::uint8_t count,
             std::uint8_t* buffer);
bool I2cWriteCmd(KeldrixUsb& usb, std::uint8_t address, std::uint8_t commandCount,
                 const std::uint8_t* command, std::uint8_t dataCount, const std::uint8_t* data);
bool I2cReadCmd(KeldrixUsb& usb, std::uint8_t address, std::uint8_t commandCount,
                const std::uint8_t* command, std::uint8_t dataCount, std::uint8_t* buffer);

}  // namespace zarn
