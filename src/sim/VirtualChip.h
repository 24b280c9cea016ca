#pragma once
// The bridge chip behind a virtual USB device: banked one-byte registers (register 0x00 selects
// the bank), ISP mode, the SPI bridge to its flash, the I2C master of bank 14 and the firmware's
// mailbox and status registers in bank 0. A request the chip does not know is stalled.

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "sim/ChipFirmware.h"
#include "sim/DeviceModel.h"
#include "sim/I2cBus.h"
#include "sim/SpiFlashModel.h"
#include "transport/Clock.h"

namespace zarn {

class VirtualChip final : public DeviceModel {
public:
    VirtualChip(Clock& clock, const FlashPart& flash);

    bool ControlTransfer(const SetupPacket& setup, std::span<std::uint8_t> data) override;

    bool IsIspMode() const { return IspMode; }
    std::uint8_t SelectedBank() const { return Bank; }
    // A register of any bank as the chip holds it, without a request.
    std::uint8_t Register(std::uint8_t bank, std::uint8_t number) const;
    // Whether the flash was sent a program, erase or status write while out of ISP mode.
    bool FlashWrittenOutsideIspMode() const { return WrittenOutsideIsp; }
    // The firmware's first bytes are not erased.
    bool HoldsFirmware() const;
    // Power cycle: registers, ISP mode and the bridge start over; flash and firmware data stay.
    void PowerCycle();

    SpiFlashModel& Flash() { return FlashChip; }
    I2cBus& Bus() { return I2c; }
    // What crossed the I2C bus: "S" start, "A:41" an address byte, "W:5A" a byte written,
    // "R:07" a byte read, "P" stop; a byte nobody acknowledged ends in "-".
    const std::vector<std::string>& I2cBusTrace() const { return BusTrace; }
    void ClearI2cBusTrace() { BusTrace.clear(); }
    ChipFirmware& Firmware() { return FirmwareModel; }

    // The SPI clock decides when the bridge reports a command clocked out.
    void SetSpiClock(std::uint32_t hertz) { SpiClockHz = hertz; }

private:
    bool WriteRegister(std::uint16_t number, std::span<std::uint8_t> data);
    bool ReadRegister(std::uint16_t number, std::span<std::uint8_t> data);
    bool SwitchIsp(const SetupPacket& setup);
    bool SpiPacket(const SetupPacket& setup, std::span<const std::uint8_t> data);
    bool SpiReadCommand(const SetupPacket& setup, std::span<const std::uint8_t> data);
    bool SpiFetch(std::span<std::uint8_t> data);
    bool SpiReadyByte(std::span<std::uint8_t> data);
    void ClockOut(std::size_t bytes);

    void I2cWrite(std::uint8_t number, std::uint8_t value);
    std::uint8_t I2cRead(std::uint8_t number) const;
    void I2cTransmit(std::uint8_t value);
    void I2cReceive();
    static std::string TraceByte(char kind, std::uint8_t value, bool acknowledged);

    Clock& Time;
    SpiFlashModel FlashChip;
    I2cBus I2c;
    ChipFirmware FirmwareModel;

    std::vector<std::array<std::uint8_t, 256>> Banks;
    std::uint8_t Bank = 0;
    bool IspMode = false;
    bool WrittenOutsideIsp = false;

    // SPI bridge: the bytes of a command still open, the answer collected, and when the bridge
    // has clocked out the last command.
    std::vector<std::uint8_t> OpenCommand;
    std::vector<std::uint8_t> Collected;
    std::chrono::nanoseconds BridgeReadyAt{0};
    std::uint32_t SpiClockHz = 12'000'000;

    // I2C master.
    I2cDevice* Addressed = nullptr;
    bool ExpectAddress = false;
    bool ReadPhase = false;
    bool TransmitArmed = false;
    std::uint8_t I2cStatus = 0;
    std::uint8_t Received = 0xFF;
    std::vector<std::string> BusTrace;
};

}  // namespace zarn
