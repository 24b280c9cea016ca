#include "chip/ChipRegisters.h"

namespace zarn {

bool RegWrite(KeldrixUsb& usb, std::uint16_t registerNumber, std::uint8_t value) {
    return usb.VendorRequest(VendorOut, RequestRegWrite, 0, registerNumber, &value, 1);
}

bool RegRead(KeldrixUsb& usb, std::uint16_t registerNumber, std::uint8_t* value) {
    std::uint8_t received = *value;
    if (!usb.VendorRequest(VendorIn, RequestRegRead, 0, registerNumber, &received, 1)) {
        return false;
    }
    *value = received;
    return true;
}

bool SetRegisterBank(KeldrixUsb& usb, std::uint8_t bank) {
    return RegWrite(usb, BankSelectRegister, bank);
}

bool SetIspMode(KeldrixUsb& usb, bool enter) {
    const bool switched = enter ? usb.VendorRequest(VendorOut, RequestEnterIsp, EnterIspValue,
                                                    EnterIspIndex, nullptr, 0)
                                : usb.VendorRequest(VendorOut, RequestLeaveIsp, LeaveIspValue,
                                                    LeaveIspIndex, nullptr, 0);
    SetRegisterBank(usb, IspBank);
    if (enter) {
        RegWrite(usb, IspControlRegister7, 0x10);
        RegWrite(usb, IspControlRegister1, 0x03);
    } else {
        RegWrite(usb, IspControlRegister7, 0x00);
    }
    return switched;
}

bool SpiReady(KeldrixUsb& usb) {
    std::uint8_t ready = 0x00;
    return usb.VendorRequest(VendorIn, RequestSpiReady, 0, 0, &ready, 1) && ready != 0x00;
}

}  // namespace zarn
