#pragma once
// Texts that exist before the window: its caption, the playback status texts and the sample
// rate labels shown on the Information page.

#include <array>
#include <string_view>

namespace zarn {

inline constexpr std::string_view WindowTitle = "Zarn USB Audio firmware update Tool V1.1";

inline constexpr std::string_view UsbConnectedText = "USB connected";
inline constexpr std::string_view UsbDisconnectedText = "USB Disconnected";
inline constexpr std::string_view PlayingText = "Playing";
inline constexpr std::string_view MuteText = "Mute";
inline constexpr std::string_view PcmText = "PCM";
inline constexpr std::string_view DsdText = "DSD";

// Sample rate labels by the rate code the device reports; each is exactly eight characters.
inline constexpr std::string_view NoRateText = "        ";
inline constexpr std::array<std::string_view, 32> RateTexts = {
    " 44.1KHz", "   48KHz", " 88.2KHz", "   96KHz", "176.4KHz", "  192KHz", "352.8KHz", "  384KHz",
    "705.6KHz", "  768KHz", NoRateText, NoRateText, NoRateText, NoRateText, NoRateText, NoRateText,
    " DoP  64", " DoP 128", " DoP 256", " DoP 512", NoRateText, NoRateText, NoRateText, NoRateText,
    " DSD  64", " DSD 128", " DSD 256", " DSD 512", NoRateText, NoRateText, NoRateText, NoRateText,
};

}  // namespace zarn
