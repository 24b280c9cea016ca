#include "engineering/RegisterMap.h"

#include "app/NumberText.h"
#include "chip/ChipRegisters.h"
#include "chip/I2cMaster.h"

namespace zarn {

bool ChipRegisterAccess::Read(std::uint8_t number, std::uint8_t& value) {
    return RegRead(Usb, number, &value);
}

bool ChipRegisterAccess::Write(std::uint8_t number, std::uint8_t value) {
    return RegWrite(Usb, number, value);
}

bool I2cRegisterAccess::Read(std::uint8_t number, std::uint8_t& value) {
    return I2cRead(Usb, Address, number, 1, &value);
}

bool I2cRegisterAccess::Write(std::uint8_t number, std::uint8_t value) {
    return I2cWrite(Usb, Address, number, 1, &value);
}

RegisterMap::RegisterMap(KeldrixUsb& usb, RegisterAccess& access, const RegisterMapKind& kind)
    : Usb(usb), Access(access), Kind(kind) {}

std::uint8_t RegisterMap::RegisterOfCell(int column, int row) {
    return static_cast<std::uint8_t>((row - 1) * 16 + (column - 1));
}

std::optional<std::uint8_t> RegisterMap::ReadInto(std::uint8_t number) {
    std::uint8_t value = 0;
    if (!Access.Read(number, value)) {
        return std::nullopt;
    }
    Bytes[number] = value;
    return value;
}

std::optional<std::uint8_t> RegisterMap::ReadOne(std::uint8_t number) {
    Usb.Open();
    const auto value = ReadInto(number);
    Usb.Close();
    return value;
}

void RegisterMap::ReadAll(
    const std::function<bool(std::uint8_t, std::optional<std::uint8_t>)>& show) {
    Usb.Open();
    for (int number = 0; number < 256; ++number) {
        const auto at = static_cast<std::uint8_t>(number);
        if (!show(at, ReadInto(at))) {
            break;
        }
    }
    Usb.Close();
}

RegisterChange RegisterMap::KeyPressed(RegisterKey key, std::uint8_t number,
                                       const std::string& cellText) {
    if (key == RegisterKey::Other) {
        return {};
    }
    if (key == RegisterKey::Enter || Kind.StepFromCellText) {
        const auto typed = ParseHexNumber(cellText);
        if (!typed) {
            return {false, std::nullopt, NotANumberText(cellText, true)};
        }
        Bytes[number] = static_cast<std::uint8_t>(*typed);
    }
    std::uint8_t& byte = Bytes[number];
    if (key == RegisterKey::Insert) {
        if (byte == 0xFF) {
            return {};
        }
        ++byte;
    } else if (key == RegisterKey::Delete) {
        if (byte == 0x00) {
            return {};
        }
        --byte;
    }
    return WriteAndReadBack(number, Kind.KeyPauseMs);
}

RegisterChange RegisterMap::BitsReleased(std::uint8_t number, std::uint8_t value) {
    Bytes[number] = value;
    return WriteAndReadBack(number, Kind.BitPauseMs);
}

RegisterChange RegisterMap::WriteAndReadBack(std::uint8_t number, std::uint32_t pauseMs) {
    Usb.Open();
    Access.Write(number, Bytes[number]);
    Usb.GetClock().Sleep(pauseMs);
    const auto value = ReadInto(number);
    Usb.Close();
    return {true, value, {}};
}

}  // namespace zarn
