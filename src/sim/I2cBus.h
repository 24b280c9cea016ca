#pragma once
// Devices on the bridge chip's I2C bus, addressed by their 7-bit address.

#include <array>
#include <cstdint>
#include <map>
#include <memory>

namespace zarn {

class I2cDevice {
public:
    virtual ~I2cDevice() = default;
    // A start condition addressed this device, for reading or writing.
    virtual void Start(bool read) = 0;
    // A byte written to the device; true when it acknowledges it.
    virtual bool Write(std::uint8_t value) = 0;
    // The next byte the device sends.
    virtual std::uint8_t Read() = 0;
};

// A device of 256 one-byte registers: the first byte of a write sets the register pointer,
// further bytes are stored there, and reads return registers from the pointer on; the pointer
// advances after every byte and wraps from 0xFF to 0x00.
class RegisterI2cDevice final : public I2cDevice {
public:
    void Start(bool read) override { ExpectPointer = !read; }
    bool Write(std::uint8_t value) override;
    std::uint8_t Read() override { return Registers[Pointer++]; }

    std::array<std::uint8_t, 256> Registers{};

private:
    std::uint8_t Pointer = 0;
    bool ExpectPointer = false;
};

class I2cBus {
public:
    void Connect(std::uint8_t address7, std::shared_ptr<I2cDevice> device) {
        Devices[address7] = std::move(device);
    }
    void Disconnect(std::uint8_t address7) { Devices.erase(address7); }
    I2cDevice* Find(std::uint8_t address7) const {
        const auto found = Devices.find(address7);
        return found == Devices.end() ? nullptr : found->second.get();
    }

private:
    std::map<std::uint8_t, std::shared_ptr<I2cDevice>> Devices;
};

}  // namespace zarn
