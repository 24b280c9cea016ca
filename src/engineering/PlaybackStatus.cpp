#include "engineering/PlaybackStatus.h"

#include "app/GlobalTexts.h"
#include "chip/ChipRegisters.h"
#include "chip/Mailbox.h"

namespace zarn {
namespace {

constexpr std::uint16_t RateRegister = 0xA4;
constexpr std::uint8_t MediaKeyCommand = 0x30;
constexpr std::uint8_t MediaKeyDone = 0x31;
constexpr int MediaKeyPolls = 10;
constexpr std::uint32_t MediaKeyPauseMs = 10;

}  // namespace

std::optional<StatusBytes> ReadStatusBytes(KeldrixUsb& usb) {
    StatusBytes bytes{};
    usb.Open();
    bool read = SetRegisterBank(usb, MailboxBank);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        read &= RegRead(usb, static_cast<std::uint16_t>(RateRegister + i), &bytes[i]);
    }
    usb.Close();
    if (!read) {
        return std::nullopt;
    }
    return bytes;
}

PlaybackView DecodeStatus(const StatusBytes& bytes) {
    PlaybackView view;
    const std::uint8_t status = bytes[2];
    view.Connected = (status & 0x01) != 0;
    view.Dsd = (status & 0x02) != 0;
    view.Muted = (status & 0x04) != 0;
    view.RateText = RateTexts[static_cast<std::size_t>((bytes[0] & 0x0F) + (view.Dsd ? 16 : 0))];
    return view;
}

bool SendMediaKey(KeldrixUsb& usb, int index) {
    usb.Open();
    SetRegisterBank(usb, MailboxBank);
    RegWrite(usb, MailboxArgument1Register, HidKeyCodes.at(static_cast<std::size_t>(index)));
    RegWrite(usb, MailboxCommandRegister, MediaKeyCommand);
    bool confirmed = false;
    for (int poll = 0; poll < MediaKeyPolls && !confirmed; ++poll) {
        usb.GetClock().Sleep(MediaKeyPauseMs);
        std::uint8_t state = 0;
        confirmed = RegRead(usb, MailboxCommandRegister, &state) && state == MediaKeyDone;
    }
    usb.Close();
    return confirmed;
}

}  // namespace zarn
