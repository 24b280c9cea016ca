#include "sim/VirtualChip.h"

#include <algorithm>
#include <cstdio>

namespace zarn {
namespace {

constexpr std::uint8_t I2cBank = 14;
constexpr std::uint8_t FirmwareBank = 0;

constexpr std::uint8_t I2cCommandStatus = 0x10;
constexpr std::uint8_t I2cConfig = 0x11;
constexpr std::uint8_t I2cTransmitData = 0x12;
constexpr std::uint8_t I2cReceiveData = 0x13;
constexpr std::uint8_t I2cTransfer = 0x14;
constexpr std::uint8_t I2cDone = 0x01;
constexpr std::uint8_t I2cNoAck = 0x08;

// The firmware occupies the start of the flash; blank first bytes mean there is none.
constexpr std::size_t FirmwareSignatureBytes = 16;

}  // namespace

VirtualChip::VirtualChip(Clock& clock, const FlashPart& flash)
    : Time(clock), FlashChip(flash, clock), FirmwareModel(clock), Banks(256) {
    // The product's codec: 256 registers at bus address 0x20 (write form).
    I2c.Connect(0x20 >> 1, std::make_shared<RegisterI2cDevice>());
}

std::string VirtualChip::TraceByte(char kind, std::uint8_t value, bool acknowledged) {
    char text[8];
    std::snprintf(text, sizeof text, "%c:%02X%s", kind, value, acknowledged ? "" : "-");
    return text;
}

std::uint8_t VirtualChip::Register(std::uint8_t bank, std::uint8_t number) const {
    return number == 0 ? Bank : Banks[bank][number];
}

bool VirtualChip::HoldsFirmware() const {
    const auto memory = FlashChip.Array();
    return std::any_of(memory.begin(), memory.begin() + FirmwareSignatureBytes,
                       [](std::uint8_t byte) { return byte != 0xFF; });
}

void VirtualChip::PowerCycle() {
    for (auto& bank : Banks) {
        bank.fill(0);
    }
    Bank = 0;
    IspMode = false;
    OpenCommand.clear();
    Collected.clear();
    BridgeReadyAt = Time.Now();
    Addressed = nullptr;
    ExpectAddress = ReadPhase = TransmitArmed = false;
    I2cStatus = 0;
    FlashChip.PowerCycle();
    FirmwareModel.Reset();
}

bool VirtualChip::ControlTransfer(const SetupPacket& setup, std::span<std::uint8_t> data) {
    FirmwareModel.Run(IspMode);
    const bool out = setup.bmRequestType == 0x43;
    const bool in = setup.bmRequestType == 0xC3;
    switch (setup.bRequest) {
        case 0x80:
            return out && SpiPacket(setup, data);
        case 0x81:
            return out && SpiReadCommand(setup, data);
        case 0x82:
            return in && SpiFetch(data);
        case 0x83:
            return in && SpiReadyByte(data);
        case 0x84:
        case 0x85:
            return out && data.empty() && SwitchIsp(setup);
        case 0x90:
            return out && WriteRegister(setup.wIndex, data);
        case 0x91:
            return in && ReadRegister(setup.wIndex, data);
        default:
            return false;
    }
}

bool VirtualChip::SwitchIsp(const SetupPacket& setup) {
    if (setup.bRequest == 0x84 && setup.wValue == 0x4C63 && setup.wIndex == 0x2B6A) {
        IspMode = true;
    } else if (setup.bRequest == 0x85 && setup.wValue == 0x1F3D && setup.wIndex == 0x3D5F) {
        IspMode = false;
    }
    return true;
}

bool VirtualChip::WriteRegister(std::uint16_t number, std::span<std::uint8_t> data) {
    if (number > 0xFF || data.size() != 1) {
        return false;
    }
    const auto reg = static_cast<std::uint8_t>(number);
    const std::uint8_t value = data[0];
    if (reg == 0x00) {
        Bank = value;
    } else if (Bank == I2cBank) {
        I2cWrite(reg, value);
    } else if (Bank == FirmwareBank) {
        FirmwareModel.WriteRegister(reg, value);
    } else {
        Banks[Bank][reg] = value;
    }
    return true;
}

bool VirtualChip::ReadRegister(std::uint16_t number, std::span<std::uint8_t> data) {
    if (number > 0xFF || data.size() != 1) {
        return false;
    }
    const auto reg = static_cast<std::uint8_t>(number);
    if (reg == 0x00) {
        data[0] = Bank;
    } else if (Bank == I2cBank) {
        data[0] = I2cRead(reg);
    } else if (Bank == FirmwareBank) {
        data[0] = FirmwareModel.ReadRegister(reg);
    } else {
        data[0] = Banks[Bank][reg];
    }
    return true;
}

// ---- SPI bridge ----

void VirtualChip::ClockOut(std::size_t bytes) {
    const auto bits = static_cast<std::int64_t>(bytes * 8);
    BridgeReadyAt = Time.Now() + std::chrono::nanoseconds(bits * 1'000'000'000 / SpiClockHz);
}

bool VirtualChip::SpiPacket(const SetupPacket& setup, std::span<const std::uint8_t> data) {
    if (data.empty() || setup.wValue != 0 || setup.wIndex > 1) {
        return false;
    }
    OpenCommand.insert(OpenCommand.end(), data.begin(), data.end());
    if (setup.wIndex == 1) {  // chip select rises: the flash obeys the whole command
        if (!IspMode && SpiFlashModel::IsWriteCommand(OpenCommand[0])) {
            WrittenOutsideIsp = true;
        }
        FlashChip.Execute(OpenCommand);
        ClockOut(OpenCommand.size());
        OpenCommand.clear();
    }
    return true;
}

bool VirtualChip::SpiReadCommand(const SetupPacket& setup, std::span<const std::uint8_t> data) {
    if (data.empty() || setup.wIndex != 1) {
        return false;
    }
    // A read command starts a new chip-select cycle; an unfinished command is dropped.
    OpenCommand.clear();
    Collected = FlashChip.Answer(data, setup.wValue);
    ClockOut(data.size() + Collected.size());
    return true;
}

bool VirtualChip::SpiFetch(std::span<std::uint8_t> data) {
    if (Time.Now() < BridgeReadyAt || data.size() > Collected.size()) {
        return false;
    }
    std::copy_n(Collected.begin(), data.size(), data.begin());
    return true;
}

bool VirtualChip::SpiReadyByte(std::span<std::uint8_t> data) {
    if (data.size() != 1) {
        return false;
    }
    data[0] = Time.Now() >= BridgeReadyAt ? 0x01 : 0x00;
    return true;
}

// ---- I2C master ----
// Writing 0x01 to register 0x14 arms a transmit that the next write of register 0x12 starts;
// writing 0x03 there receives a byte at once. Nothing moves until 0x04 configures the master.

void VirtualChip::I2cWrite(std::uint8_t number, std::uint8_t value) {
    Banks[I2cBank][number] = value;
    const bool configured = Banks[I2cBank][I2cConfig] == 0x04;
    if (number == I2cCommandStatus && configured) {
        if (value == 0xC0) {
            ExpectAddress = true;
            I2cStatus = 0;
            BusTrace.emplace_back("S");
        } else if (value == 0xA0) {
            Addressed = nullptr;
            ExpectAddress = false;
            BusTrace.emplace_back("P");
        }
    } else if (number == I2cTransfer && configured) {
        I2cStatus = 0;
        TransmitArmed = value == 0x01;
        if (value == 0x03) {
            I2cReceive();
        }
    } else if (number == I2cTransmitData && TransmitArmed) {
        TransmitArmed = false;
        I2cTransmit(value);
    }
}

std::uint8_t VirtualChip::I2cRead(std::uint8_t number) const {
    switch (number) {
        case I2cCommandStatus:
            return I2cStatus;
        case I2cReceiveData:
            return Received;
        default:
            return Banks[I2cBank][number];
    }
}

void VirtualChip::I2cTransmit(std::uint8_t value) {
    bool acknowledged = false;
    const bool address = ExpectAddress;
    if (ExpectAddress) {
        ExpectAddress = false;
        Addressed = I2c.Find(value >> 1);
        ReadPhase = (value & 0x01) != 0;
        if (Addressed != nullptr) {
            Addressed->Start(ReadPhase);
            acknowledged = true;
        }
    } else if (Addressed != nullptr && !ReadPhase) {
        acknowledged = Addressed->Write(value);
    }
    BusTrace.push_back(TraceByte(address ? 'A' : 'W', value, acknowledged));
    I2cStatus = I2cDone | (acknowledged ? 0 : I2cNoAck);
}

void VirtualChip::I2cReceive() {
    // With no device sending, the bus reads high.
    Received = Addressed != nullptr && ReadPhase ? Addressed->Read() : 0xFF;
    BusTrace.push_back(TraceByte('R', Received, true));
    I2cStatus = I2cDone;
}

}  // namespace zarn
