#pragma once
// A complete virtual device: the chip with its flash behind a virtual USB device. It shows the
// product's identity (with an audio-class interface) while the flash holds firmware, and the
// ISP identity when it holds none; each replug decides again.

#include <cstdint>
#include <memory>
#include <span>

#include "sim/VirtualChip.h"
#include "sim/VirtualUsbDevice.h"

namespace zarn {

struct UsbIdentity {
    std::uint16_t Vid;
    std::uint16_t Pid;
};

inline constexpr UsbIdentity IspIdentity1C7A{0x1C7A, 0x6000};
inline constexpr UsbIdentity IspIdentity3E52{0x3E52, 0x6000};

class VirtualChipDevice {
public:
    VirtualChipDevice(VirtualClock& clock, const FlashPart& flash, UsbIdentity product,
                      UsbIdentity isp = IspIdentity1C7A);

    // Puts firmware bytes into the flash and replugs, so the device comes up as the product.
    void LoadFirmware(std::span<const std::uint8_t> firmware);
    // Unplug, power cycle, plug in again under the identity the flash now calls for.
    void Replug();

    VirtualChip& Chip() { return *ChipModel; }
    const std::shared_ptr<VirtualUsbDevice>& Usb() const { return UsbDevice; }

private:
    void TakeIdentity();

    UsbIdentity Product;
    UsbIdentity Isp;
    std::shared_ptr<VirtualChip> ChipModel;
    std::shared_ptr<VirtualUsbDevice> UsbDevice;
};

}  // namespace zarn
