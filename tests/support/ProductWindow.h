#pragma once
// The window on a virtual "Zarn Brax" (W25Q40 flash, old firmware), shown on the offscreen
// platform, with its "Dialog" messages collected and controls found by object name.

#include <gtest/gtest.h>

#include <QStringList>

#include "app/TForm1.h"
#include "sim/VirtualChipDevice.h"
#include "sim/VirtualDeviceLayer.h"
#include "support/HexText.h"
#include "support/QtWait.h"

namespace zarn::fakes {

class ProductWindow {
public:
    explicit ProductWindow(bool engineering, const FlashPart& flash = FlashModels::W25Q40,
                           int logicalDpi = 96)
        : Device(Time, flash, {0x31D4, 0x0054}),
          Form(UsbDevice, Images, {logicalDpi, [this] { return Directory.Path; }, engineering}) {
        Device.LoadFirmware(std::vector<std::uint8_t>(64, 0x00));
        Layer.Attach(Device.Usb());
        Form.Dialog.Inform = [this](const QString& caption, const QString& text) {
            Messages << caption + ": " + text;
        };
        Form.show();  // lays the pages out, so that clicks land on their controls
    }

    template <typename T = QWidget>
    T* Find(const char* name) {
        T* control = Form.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(control, nullptr) << name;
        return control;
    }
    // Lets a run on its own thread end, with the window processing its events meanwhile.
    void WaitForRun() {
        WaitUntil([this] { return !Form.IsRunning(); });
    }
    const std::vector<RequestLogEntry>& Log() const { return Device.Usb()->RequestLog(); }
    void ClearLog() { Device.Usb()->ClearRequestLog(); }

    VirtualClock Time;
    VirtualDeviceLayer Layer{Time};
    KeldrixUsb UsbDevice{Layer};
    ImageStore Images;
    VirtualChipDevice Device;
    TemporaryDirectory Directory;
    TForm1 Form;
    QStringList Messages;
};

}  // namespace zarn::fakes
