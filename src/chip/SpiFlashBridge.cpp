#include "chip/SpiFlashBridge.h"

#include <algorithm>
#include <vector>

#include "chip/ChipRegisters.h"

namespace zarn {
namespace {

// wIndex of a 0x80 packet: the last one of a command, or one that the next packet continues.
constexpr std::uint16_t EndsCommand = 1;
constexpr std::uint16_t CommandGoesOn = 0;

constexpr int IdReadyPolls = 100;
constexpr int StatusReadyPolls = 10;
constexpr int ReadReadyPolls = 100;

// Opcode followed by the address, most significant byte first; bits 31-24 are not sent.
std::array<std::uint8_t, 4> AddressedCommand(std::uint8_t opcode, std::uint32_t address) {
    return {opcode, static_cast<std::uint8_t>(address >> 16),
            static_cast<std::uint8_t>(address >> 8), static_cast<std::uint8_t>(address)};
}

bool SendPacket(KeldrixUsb& usb, std::uint16_t wIndex, std::uint8_t* bytes, std::uint32_t count) {
    return usb.VendorRequest(VendorOut, RequestSpiWrite, 0, wIndex, bytes, count);
}

// Polls the bridge back to back until it is ready; false after polls tries.
bool PollReady(KeldrixUsb& usb, int polls) {
    for (int poll = 0; poll < polls; ++poll) {
        if (SpiReady(usb)) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool SpiWrite(KeldrixUsb& usb, std::uint8_t opcode, std::uint8_t count,
              const std::uint8_t* arguments) {
    if (count > SpiWriteMaxArguments || (count != 0 && arguments == nullptr)) {
        return false;
    }
    std::array<std::uint8_t, 1 + SpiWriteMaxArguments> packet{opcode};
    std::copy_n(arguments, count, packet.begin() + 1);
    return SendPacket(usb, EndsCommand, packet.data(), count + 1u);
}

bool SpiReadCommand(KeldrixUsb& usb, std::uint8_t opcode, std::uint8_t count) {
    return usb.VendorRequest(VendorOut, RequestSpiReadCommand, count, 1, &opcode, 1);
}

bool SpiFetch(KeldrixUsb& usb, std::uint8_t count, std::uint8_t* buffer) {
    return usb.VendorRequest(VendorIn, RequestSpiFetch, 0, 0, buffer, count);
}

bool FlashReadId(KeldrixUsb& usb, FlashIdBytes& flashId) {
    SpiReadCommand(usb, FlashOpReadId, 3);
    if (!PollReady(usb, IdReadyPolls)) {
        return false;
    }
    FlashIdBytes received = flashId;
    if (!SpiFetch(usb, 3, received.data())) {
        return false;
    }
    flashId = received;
    return true;
}

std::uint8_t FlashReadStatus(KeldrixUsb& usb) {
    std::uint8_t status = 0xFF;
    SpiReadCommand(usb, FlashOpReadStatus, 1);
    if (PollReady(usb, StatusReadyPolls) && !SpiFetch(usb, 1, &status)) {
        status = 0xFF;
    }
    return status;
}

bool FlashWriteStatus(KeldrixUsb& usb, std::uint8_t value) {
    return SpiWrite(usb, FlashOpWriteStatus, 1, &value);
}

bool FlashWriteEnable(KeldrixUsb& usb) {
    return SpiWrite(usb, FlashOpWriteEnable, 0, nullptr);
}

bool FlashWriteDisable(KeldrixUsb& usb) {
    return SpiWrite(usb, FlashOpWriteDisable, 0, nullptr);
}

bool FlashChipErase(KeldrixUsb& usb) {
    return SpiWrite(usb, FlashOpChipErase, 0, nullptr);
}

bool FlashSectorErase(KeldrixUsb& usb, std::uint32_t address) {
    const auto command = AddressedCommand(FlashOpSectorErase, address);
    return SpiWrite(usb, command[0], 3, command.data() + 1);
}

bool FlashRead(KeldrixUsb& usb, std::uint32_t address, std::uint16_t count, std::uint8_t* buffer) {
    if (count == 0 || count > FlashReadMaxCount || buffer == nullptr) {
        return false;
    }
    auto command = AddressedCommand(FlashOpRead, address);
    if (!usb.VendorRequest(VendorOut, RequestSpiReadCommand, count, 1, command.data(),
                           command.size())) {
        return false;
    }
    for (int poll = 0; poll < ReadReadyPolls; ++poll) {
        if (SpiReady(usb)) {
            return SpiFetch(usb, static_cast<std::uint8_t>(count), buffer);
        }
        usb.GetClock().Sleep(1);
    }
    return false;
}

bool FlashPageProgram(KeldrixUsb& usb, std::uint32_t address, std::uint16_t count,
                      const std::uint8_t* data) {
    if (count == 0 || count > FlashPageProgramMaxCount || data == nullptr) {
        return false;
    }
    auto command = AddressedCommand(FlashOpPageProgram, address);
    SendPacket(usb, CommandGoesOn, command.data(), command.size());
    std::vector<std::uint8_t> payload(data, data + count);
    return SendPacket(usb, EndsCommand, payload.data(), count);
}

bool FlashAaiProgram(KeldrixUsb& usb, std::uint32_t address, std::uint16_t count,
                     const std::uint8_t* data) {
    if (count < 2 || count % 2 != 0 || data == nullptr) {
        return false;
    }
    const auto command = AddressedCommand(FlashOpAaiProgram, address);
    std::array<std::uint8_t, 6> first{command[0], command[1], command[2],
                                      command[3], data[0],    data[1]};
    bool result = SendPacket(usb, EndsCommand, first.data(), first.size());
    for (std::uint16_t i = 2; i < count; i += 2) {
        std::array<std::uint8_t, 3> word{FlashOpAaiProgram, data[i], data[i + 1]};
        result = SendPacket(usb, EndsCommand, word.data(), word.size());
    }
    return result;
}

}  // namespace zarn
