#pragma once
// The bridge chip's vendor request vocabulary, its banked one-byte registers, the switch into
// and out of ISP mode, and the SPI bridge's ready poll. None of these opens or closes the
// transport: the caller brackets a group of them with Open and Close.

#include <cstdint>

#include "transport/KeldrixUsb.h"

namespace zarn {

// bmRequestType of requests that only send, and of requests that return bytes.
inline constexpr std::uint8_t VendorOut = 0x43;
inline constexpr std::uint8_t VendorIn = 0xC3;

// bRequest codes.
inline constexpr std::uint8_t RequestSpiWrite = 0x80;
inline constexpr std::uint8_t RequestSpiReadCommand = 0x81;
inline constexpr std::uint8_t RequestSpiFetch = 0x82;
inline constexpr std::uint8_t RequestSpiReady = 0x83;
inline constexpr std::uint8_t RequestEnterIsp = 0x84;
inline constexpr std::uint8_t RequestLeaveIsp = 0x85;
inline constexpr std::uint8_t RequestRegWrite = 0x90;
inline constexpr std::uint8_t RequestRegRead = 0x91;

// The exact wValue/wIndex pairs that switch ISP mode; any other pair changes nothing.
inline constexpr std::uint16_t EnterIspValue = 0x4C63;
inline constexpr std::uint16_t EnterIspIndex = 0x2B6A;
inline constexpr std::uint16_t LeaveIspValue = 0x1F3D;
inline constexpr std::uint16_t LeaveIspIndex = 0x3D5F;

// Register 0x00 of every bank selects the bank.
inline constexpr std::uint16_t BankSelectRegister = 0x00;
inline constexpr std::uint8_t IspBank = 13;
inline constexpr std::uint16_t IspControlRegister1 = 0x01;
inline constexpr std::uint16_t IspControlRegister7 = 0x07;

bool RegWrite(KeldrixUsb& usb, std::uint16_t registerNumber, std::uint8_t value);
// On failure the caller's byte keeps what it held.
bool RegRead(KeldrixUsb& usb, std::uint16_t registerNumber, std::uint8_t* value);
bool SetRegisterBank(KeldrixUsb& usb, std::uint8_t bank);
// Sends the switch request, then sets the ISP control registers in bank 13 whatever the switch
// returned; the result is the switch request's.
bool SetIspMode(KeldrixUsb& usb, bool enter);
// One poll: true when the bridge has clocked out the last flash command (a non-zero byte).
bool SpiReady(KeldrixUsb& usb);

}  // namespace zarn
