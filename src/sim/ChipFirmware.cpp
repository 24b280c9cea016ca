#include "sim/ChipFirmware.h"

#include <algorithm>

namespace zarn {
namespace {

constexpr std::uint8_t CommandRegister = 0x90;
constexpr std::uint8_t Argument1Register = 0x91;
constexpr std::uint8_t Argument2Register = 0x92;
constexpr std::uint8_t DataRegister = 0x93;
constexpr std::uint8_t FirstStatusRegister = 0xA4;

constexpr std::uint8_t CodeVendorId = 0x08;
constexpr std::uint8_t CodeProductId = 0x0A;
constexpr std::uint8_t CodeManufacturer = 0x10;
constexpr std::uint8_t CodeModel = 0x14;
constexpr std::uint8_t CodeSerial = 0x18;
constexpr std::uint8_t CodeSetParameters = 0x20;
constexpr std::uint8_t CodeReadParameters = 0x21;
constexpr std::size_t StringChunk = 8;

bool IsStatusRegister(std::uint8_t number) {
    return number >= FirstStatusRegister && number < FirstStatusRegister + 3;
}

}  // namespace

void ChipFirmware::WriteRegister(std::uint8_t number, std::uint8_t value) {
    if (IsStatusRegister(number)) {
        return;
    }
    Registers[number] = value;
    if (number == CommandRegister) {
        Pending = value == ParameterCommand || value == MediaKeyCommand;
        DueAt = Time.Now() + (value == MediaKeyCommand ? MediaKeyDelay : ParameterDelay);
    }
}

std::uint8_t ChipFirmware::ReadRegister(std::uint8_t number) {
    if (IsStatusRegister(number)) {
        return PlaybackStatus[number - FirstStatusRegister];
    }
    return Registers[number];
}

void ChipFirmware::Run(bool ispMode) {
    if (!Pending || ispMode || Time.Now() < DueAt) {
        return;
    }
    Pending = false;
    if (Registers[CommandRegister] == MediaKeyCommand) {
        if (AnswersMediaKeys) {
            MediaKeys.push_back(Registers[Argument1Register]);
            Registers[CommandRegister] = MediaKeyDone;
        }
        return;
    }
    CarryOutParameterCommand();
    Registers[CommandRegister] = ParameterDone;
}

void ChipFirmware::CopyFromData(std::uint8_t* destination, std::size_t count) const {
    std::copy_n(Registers.begin() + DataRegister, count, destination);
}

void ChipFirmware::CarryOutParameterCommand() {
    const std::uint8_t code = Registers[Argument1Register];
    const std::uint8_t index = Registers[Argument2Register];
    switch (code) {
        case CodeVendorId:
            CopyFromData(VendorIdText.data(), VendorIdText.size());
            break;
        case CodeProductId:
            CopyFromData(ProductIdText.data(), ProductIdText.size());
            break;
        case CodeManufacturer:
        case CodeModel:
        case CodeSerial:
            if (index < 4) {
                auto& record = StringRecords[(code - CodeManufacturer) / 4];
                CopyFromData(record.data() + index * StringChunk, StringChunk);
            }
            break;
        case CodeSetParameters:
            CopyFromData(ParameterBlock.data(), ParameterBlock.size());
            break;
        case CodeReadParameters:
            std::copy(ParameterBlock.begin(), ParameterBlock.end(),
                      Registers.begin() + DataRegister);
            break;
        default:
            break;
    }
}

void ChipFirmware::Reset() {
    Registers.fill(0);
    Pending = false;
}

}  // namespace zarn
