#pragma once
// The device's playback status (registers 0xA4-0xA6 of bank 0) and its five media keys, sent
// to the firmware's HID function through the mailbox registers with command 0x30.

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "transport/KeldrixUsb.h"

namespace zarn {

// Rate, a byte read but not shown, and status, as "Update" reads them.
using StatusBytes = std::array<std::uint8_t, 3>;

struct PlaybackView {
    bool Connected = false;
    bool Muted = false;
    bool Dsd = false;
    std::string_view RateText;  // eight characters
};

// Opens, selects bank 0, reads 0xA4-0xA6, closes; nullopt when a request failed.
std::optional<StatusBytes> ReadStatusBytes(KeldrixUsb& usb);
PlaybackView DecodeStatus(const StatusBytes& bytes);

// HID Prev, Vol -, Play, Vol +, Next.
inline constexpr std::array<std::uint8_t, 5> HidKeyCodes{0x40, 0x02, 0x10, 0x01, 0x20};
// Sends key index 0 to 4 and polls up to 10 times, 10 ms apart, for the firmware's 0x31; true
// when it came.
bool SendMediaKey(KeldrixUsb& usb, int index);

}  // namespace zarn
