#pragma once
// The chip's audio firmware as far as the host reaches it: the mailbox in register bank 0 and
// the playback status registers. A command written to register 0x90 is carried out a little
// later on the device's clock, and only while the chip is out of ISP mode (in ISP mode the
// firmware does not run).

#include <array>
#include <chrono>
#include <cstdint>
#include <vector>

#include "transport/Clock.h"

namespace zarn {

class ChipFirmware {
public:
    static constexpr std::uint8_t ParameterCommand = 0x10;
    static constexpr std::uint8_t MediaKeyCommand = 0x30;
    static constexpr std::uint8_t ParameterDone = 0xEE;
    static constexpr std::uint8_t MediaKeyDone = 0x31;

    explicit ChipFirmware(Clock& clock) : Time(clock) {}

    // Bank 0 register access by the host.
    void WriteRegister(std::uint8_t number, std::uint8_t value);
    std::uint8_t ReadRegister(std::uint8_t number);
    // Runs a command whose time has come; the chip calls it before every request.
    void Run(bool ispMode);
    void Reset();

    std::chrono::nanoseconds ParameterDelay = std::chrono::milliseconds(25);
    std::chrono::nanoseconds MediaKeyDelay = std::chrono::milliseconds(15);
    // A firmware without the HID function takes media keys but never confirms them.
    bool AnswersMediaKeys = true;

    // What the firmware stores.
    std::array<std::uint8_t, 4> ParameterBlock{0xA1, 0x00, 0x00, 0x00};
    std::array<std::uint8_t, 4> VendorIdText{};
    std::array<std::uint8_t, 4> ProductIdText{};
    std::array<std::array<std::uint8_t, 32>, 3> StringRecords{};  // manufacturer, model, serial
    std::vector<std::uint8_t> MediaKeys;
    // Playback status registers 0xA4 (rate), 0xA5, 0xA6 (connected, DSD, muted); the host only
    // reads them.
    std::array<std::uint8_t, 3> PlaybackStatus{};

private:
    void CarryOutParameterCommand();
    void CopyFromData(std::uint8_t* destination, std::size_t count) const;

    Clock& Time;
    std::array<std::uint8_t, 256> Registers{};
    bool Pending = false;
    std::chrono::nanoseconds DueAt{0};
};

}  // namespace zarn
