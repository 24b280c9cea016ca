#include "chip/I2cMaster.h"

#include "chip/ChipRegisters.h"

namespace zarn {
namespace {

constexpr int AddressAttempts = 10;
constexpr int StatusPolls = 20;

// Reads the status up to StatusPolls times, back to back, until the done bit shows; a read that
// fails counts as not done. A done bit that never comes is not reported: the byte counts as
// transferred.
void WaitTransferDone(KeldrixUsb& usb) {
    for (int poll = 0; poll < StatusPolls; ++poll) {
        std::uint8_t status = 0;
        if (RegRead(usb, I2cCommandStatusRegister, &status) && (status & I2cStatusDone) != 0) {
            return;
        }
    }
}

// Start condition and address byte, up to AddressAttempts times, without a stop in between.
// When the device never answers, the bus is released with a stop condition.
bool AddressDevice(KeldrixUsb& usb, std::uint8_t addressByte) {
    for (int attempt = 0; attempt < AddressAttempts; ++attempt) {
        I2cStart(usb);
        if (I2cWriteByte(usb, addressByte)) {
            return true;
        }
    }
    I2cStop(usb);
    return false;
}

void WriteBytes(KeldrixUsb& usb, std::uint8_t count, const std::uint8_t* bytes) {
    for (std::uint8_t i = 0; i < count; ++i) {
        I2cWriteByte(usb, bytes[i]);
    }
}

// False when a byte could not be fetched from the master.
bool ReadBytes(KeldrixUsb& usb, std::uint8_t count, std::uint8_t* buffer) {
    bool all = true;
    for (std::uint8_t i = 0; i < count; ++i) {
        all &= I2cReadByte(usb, i + 1 == count, &buffer[i]);
    }
    return all;
}

}  // namespace

bool I2cInit(KeldrixUsb& usb) {
    SetRegisterBank(usb, I2cBank);
    return RegWrite(usb, I2cConfigRegister, 0x04);
}

bool I2cStart(KeldrixUsb& usb) {
    return RegWrite(usb, I2cCommandStatusRegister, I2cCommandStart);
}

bool I2cStop(KeldrixUsb& usb) {
    return RegWrite(usb, I2cCommandStatusRegister, I2cCommandStop);
}

bool I2cWriteByte(KeldrixUsb& usb, std::uint8_t value) {
    RegWrite(usb, I2cTransferRegister, I2cTransferTransmit);
    RegWrite(usb, I2cTransmitRegister, value);
    WaitTransferDone(usb);
    // A status that cannot be read proves no acknowledgement.
    std::uint8_t status = 0;
    return RegRead(usb, I2cCommandStatusRegister, &status) && (status & I2cStatusNoAck) == 0;
}

bool I2cReadByte(KeldrixUsb& usb, bool last, std::uint8_t* value) {
    RegWrite(usb, I2cCommandStatusRegister, last ? I2cCommandReceiveLast : I2cCommandReceiveAck);
    RegWrite(usb, I2cTransferRegister, I2cTransferReceive);
    WaitTransferDone(usb);
    return RegRead(usb, I2cReceiveRegister, value);
}

bool I2cWriteCmd(KeldrixUsb& usb, std::uint8_t address, std::uint8_t commandCount,
                 const std::uint8_t* command, std::uint8_t dataCount, const std::uint8_t* data) {
    if (!AddressDevice(usb, address)) {
        return false;
    }
    WriteBytes(usb, commandCount, command);
    WriteBytes(usb, dataCount, data);
    I2cStop(usb);
    return true;
}

bool I2cReadCmd(KeldrixUsb& usb, std::uint8_t address, std::uint8_t commandCount,
                const std::uint8_t* command, std::uint8_t dataCount, std::uint8_t* buffer) {
    if (!AddressDevice(usb, address)) {
        return false;
    }
    WriteBytes(usb, commandCount, command);
    // Repeated start: no stop before the read phase.
    if (!AddressDevice(usb, address | 0x01)) {
        return false;
    }
    const bool received = ReadBytes(usb, dataCount, buffer);
    I2cStop(usb);
    return received;
}

bool I2cWrite(KeldrixUsb& usb, std::uint8_t address, std::uint8_t registerNumber,
              std::uint8_t count, const std::uint8_t* data) {
    return I2cWriteCmd(usb, address, 1, &registerNumber, count, data);
}

bool I2cRead(KeldrixUsb& usb, std::uint8_t address, std::uint8_t registerNumber, std::uint8_t count,
             std::uint8_t* buffer) {
    return I2cReadCmd(usb, address, 1, &registerNumber, count, buffer);
}

}  // namespace zarn
