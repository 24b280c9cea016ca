#pragma once
// The device's stored settings, reached through the mailbox with command 0x10: the four-byte
// parameter block (audio output options and the EEPROM-present flag), the USB ids as four text
// characters and the three product strings as 32-byte records sent in chunks of eight.

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "transport/KeldrixUsb.h"

namespace zarn {

using ParameterBytes = std::array<std::uint8_t, 4>;
inline constexpr ParameterBytes StartParameterBlock{0xA1, 0x00, 0x00, 0x00};

// One bit of the block, by byte and bit number.
struct ParameterBit {
    int Byte;
    int Bit;
};
inline constexpr ParameterBit I2sLength32{0, 0};
inline constexpr ParameterBit SpdifLength32{0, 1};
inline constexpr ParameterBit I2sChannelSwap{0, 2};
inline constexpr ParameterBit DsdChannelSwap{0, 3};
inline constexpr ParameterBit LeftJustified{0, 6};
inline constexpr ParameterBit NativeDsd{0, 7};
inline constexpr ParameterBit SpdifOutputOff{1, 5};
inline constexpr ParameterBit I2sOutputOff{1, 6};
inline constexpr ParameterBit MclkOutputOff{1, 7};
inline constexpr ParameterBit EepromPresent{3, 7};

bool GetBit(const ParameterBytes& block, ParameterBit bit);
void SetBit(ParameterBytes& block, ParameterBit bit, bool set);
// The MCLK ratio index, bits 4-5 of byte 0: 128, 256, 512, 1024 Fs.
int MclkIndex(const ParameterBytes& block);
void SetMclkIndex(ParameterBytes& block, int index);

// Mailbox codes of the ids and strings.
inline constexpr std::uint8_t VendorIdCode = 0x08;
inline constexpr std::uint8_t ProductIdCode = 0x0A;
inline constexpr std::array<std::uint8_t, 3> StringCodes{0x10, 0x14, 0x18};
inline constexpr std::size_t MaxStringCharacters = 31;

// The four bytes of an id text as typed: its first four characters, zero-padded.
std::array<std::uint8_t, 4> IdBytes(std::string_view text);
// The string record's chunks for a text of single-byte characters: the count byte (at most 31)
// and the characters, cut into pieces of eight.
std::vector<std::vector<std::uint8_t>> StringChunks(std::string_view text);

// Each is one or more mailbox exchanges; false when one failed or was not completed.
bool SetParameters(KeldrixUsb& usb, const ParameterBytes& block);
// The block as the device holds it; nullopt (nothing to trust) when the exchange failed.
std::optional<ParameterBytes> ReadParameters(KeldrixUsb& usb);
bool WriteId(KeldrixUsb& usb, std::uint8_t code, std::string_view text);
// Sends every chunk with its index, waiting 50 ms after each.
bool WriteString(KeldrixUsb& usb, std::uint8_t code, std::string_view text);

}  // namespace zarn
