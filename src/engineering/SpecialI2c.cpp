#include "engineering/SpecialI2c.h"

#include "chip/I2cMaster.h"
#include "image/FirmwareLoaders.h"

namespace zarn {

std::uint8_t BoxByte(const std::string& text) {
    char digits[2] = {'0', '0'};
    for (std::size_t i = 0; i < 2 && i < text.size(); ++i) {
        digits[i] = text[i];
    }
    return static_cast<std::uint8_t>(HexFieldValue(digits, 2));
}

bool SpecialI2cWrite(KeldrixUsb& usb, std::uint8_t address,
                     const std::vector<std::uint8_t>& command,
                     const std::vector<std::uint8_t>& data) {
    usb.Open();
    const bool done =
        I2cWriteCmd(usb, address, static_cast<std::uint8_t>(command.size()), command.data(),
                    static_cast<std::uint8_t>(data.size()), data.data());
    usb.Close();
    return done;
}

std::optional<std::vector<std::uint8_t>> SpecialI2cRead(KeldrixUsb& usb, std::uint8_t address,
                                                        const std::vector<std::uint8_t>& command,
                                                        std::uint8_t count) {
    std::vector<std::uint8_t> received(count);
    usb.Open();
    const bool done = I2cReadCmd(usb, address, static_cast<std::uint8_t>(command.size()),
                                 command.data(), count, received.data());
    usb.Close();
    if (!done) {
        return std::nullopt;
    }
    return received;
}

}  // namespace zarn
