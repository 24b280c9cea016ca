#pragma once
// The mailbox in register bank 0: a command with two arguments and up to a few data bytes
// handed to the chip's firmware, which writes 0xEE into the command register when done.

#include <cstdint>

#include "transport/KeldrixUsb.h"

namespace zarn {

inline constexpr std::uint8_t MailboxBank = 0;
inline constexpr std::uint16_t MailboxCommandRegister = 0x90;
inline constexpr std::uint16_t MailboxArgument1Register = 0x91;
inline constexpr std::uint16_t MailboxArgument2Register = 0x92;
inline constexpr std::uint16_t MailboxDataRegister = 0x93;
inline constexpr std::uint8_t MailboxDone = 0xEE;

// Opens the transport, runs one exchange and closes it again. Bit 0 of argument1 gives the
// direction of the data bytes: 0 sends them from data, 1 receives them into data (in place,
// also when the exchange fails). True when every request went through and the firmware
// reported the command done; count bytes promised without a buffer are refused before
// anything is sent.
bool MailboxCommand(KeldrixUsb& usb, std::uint8_t command, std::uint8_t argument1,
                    std::uint8_t argument2, std::uint8_t count, std::uint8_t* data);

}  // namespace zarn
