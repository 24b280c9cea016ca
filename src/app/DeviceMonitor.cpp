#include "app/DeviceMonitor.h"

#include "app/DeviceTable.h"
#include "app/FirmwareFiles.h"

namespace zarn {

DeviceMonitor::DeviceMonitor(KeldrixUsb& usb, ImageStore& images, TopPanel& panel,
                             std::function<std::filesystem::path()> currentDirectory,
                             std::vector<std::filesystem::path> otherFolders)
    : Usb(usb),
      Images(images),
      Panel(panel),
      CurrentDirectory(std::move(currentDirectory)),
      OtherFolders(std::move(otherFolders)) {}

std::optional<int> DeviceMonitor::Timer1Timer() {
    if (!State.DetectEnabled || State.UpdateFinished) {
        if (Usb.IsFound()) {
            Usb.Close();
        }
        return std::nullopt;
    }
    if (State.MonitorPaused) {
        return std::nullopt;
    }
    std::optional<int> interval;
    if (Usb.IsFound()) {
        interval = WatchInterval;
        Usb.Scan();
    } else {
        Images.FirmwareFileLoaded = false;
        Panel.FileLine = NoFileText;
        Panel.FileLineTip.clear();
        Panel.ProcessLine.clear();
        // The selector remembers what was tried last: after a product, an ISP identity.
        if (Usb.IsAudioMode()) {
            interval = SearchInterval;
        }
        TryNextIdentity();
    }
    ShowOutcome();
    return interval;
}

void DeviceMonitor::TryNextIdentity() {
    if (Usb.IsAudioMode()) {
        Usb.SetAudioMode(false);
        Usb.SetMatch(State.IspToggle ? IspMatch1C7A : IspMatch3E52);
        State.IspToggle = !State.IspToggle;
    } else {
        Usb.SetAudioMode(true);
        State.ProductRow = static_cast<std::uint8_t>((State.ProductRow + 1) % DeviceTable.size());
        Usb.SetMatch(DeviceTable[State.ProductRow].Identity);
    }
    Usb.Connect();
}

void DeviceMonitor::ShowOutcome() {
    if (!Usb.IsFound()) {
        Panel.Lamp = LampColor::ButtonFace;
        Panel.DeviceLine = NoDeviceText;
        Panel.StartEnabled = false;
    } else if (Usb.IsAudioMode()) {
        Panel.DeviceLine = std::string("Find Device ") + DeviceTable[State.ProductRow].DisplayName;
        if (!Images.FirmwareFileLoaded) {
            ReadProgramFile1();
        }
    } else {
        Panel.DeviceLine = State.IspToggle ? "Firmware update device 3E52 is exist"
                                           : "Firmware update device 1C7A is exist";
    }
}

void DeviceMonitor::chkDetectUSBClick(bool checked) {
    State.DetectEnabled = checked;
    if (!checked) {
        Panel.Lamp = LampColor::Grey;
        Usb.ClearFound();
    }
}

void DeviceMonitor::ReadProgramFile1() {
    std::vector<std::filesystem::path> folders{CurrentDirectory()};
    folders.insert(folders.end(), OtherFolders.begin(), OtherFolders.end());
    zarn::ReadProgramFile1(Images, Panel, State.ProductRow, folders);
}

}  // namespace zarn
