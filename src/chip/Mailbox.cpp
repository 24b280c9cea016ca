#include "chip/Mailbox.h"

#include "chip/ChipRegisters.h"

namespace zarn {
namespace {

constexpr int DonePolls = 20;
constexpr std::uint32_t PollPauseMs = 10;

}  // namespace

bool MailboxCommand(KeldrixUsb& usb, std::uint8_t command, std::uint8_t argument1,
                    std::uint8_t argument2, std::uint8_t count, std::uint8_t* data) {
    if (count != 0 && data == nullptr) {
        return false;
    }
    const bool deviceToHost = (argument1 & 0x01) != 0;
    usb.Open();
    bool delivered = SetRegisterBank(usb, MailboxBank);
    if (!deviceToHost) {
        for (std::uint8_t i = 0; i < count; ++i) {
            delivered &= RegWrite(usb, MailboxDataRegister + i, data[i]);
        }
    }
    delivered &= RegWrite(usb, MailboxArgument1Register, argument1);
    delivered &= RegWrite(usb, MailboxArgument2Register, argument2);
    delivered &= RegWrite(usb, MailboxCommandRegister, command);  // last: it starts the firmware
    bool done = false;
    for (int poll = 0; poll < DonePolls && !done; ++poll) {
        usb.GetClock().Sleep(PollPauseMs);
        std::uint8_t state = 0;
        done = RegRead(usb, MailboxCommandRegister, &state) && state == MailboxDone;
    }
    if (deviceToHost) {
        for (std::uint8_t i = 0; i < count; ++i) {
            delivered &= RegRead(usb, MailboxDataRegister + i, &data[i]);
        }
    } else {
        RegWrite(usb, MailboxCommandRegister, 0x00);
    }
    usb.Close();
    return delivered && done;
}

}  // namespace zarn
