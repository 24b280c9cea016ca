#include "sim/VirtualChipDevice.h"

namespace zarn {

VirtualChipDevice::VirtualChipDevice(VirtualClock& clock, const FlashPart& flash,
                                     UsbIdentity product, UsbIdentity isp)
    : Product(product),
      Isp(isp),
      ChipModel(std::make_shared<VirtualChip>(clock, flash)),
      UsbDevice(std::make_shared<VirtualUsbDevice>(clock, isp.Vid, isp.Pid, false, ChipModel)) {
    TakeIdentity();
}

void VirtualChipDevice::TakeIdentity() {
    if (ChipModel->HoldsFirmware()) {
        UsbDevice->SetIdentity(Product.Vid, Product.Pid, true);
    } else {
        UsbDevice->SetIdentity(Isp.Vid, Isp.Pid, false);
    }
}

void VirtualChipDevice::LoadFirmware(std::span<const std::uint8_t> firmware) {
    ChipModel->Flash().Load(0, firmware);
    Replug();
}

void VirtualChipDevice::Replug() {
    UsbDevice->Unplug();
    ChipModel->PowerCycle();
    TakeIdentity();
    UsbDevice->Plug();
}

}  // namespace zarn
