#pragma once
// Finds the device without the user's help. While nothing is known each tick tries one
// identity: the products of the device table over the audio path in turn with the two ISP
// identities over the ISP path; once something answers, each tick only checks that it is still
// there. A found product has its firmware file loaded.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

#include "app/TopPanel.h"
#include "image/ImageStore.h"
#include "transport/KeldrixUsb.h"

namespace zarn {

struct MonitorState {
    bool DetectEnabled = false;
    // An update run has ended: the monitor stops for the rest of the program run.
    bool UpdateFinished = false;
    // A long operation is running: ticks do nothing.
    bool MonitorPaused = false;
    // The ISP identity tried last: true 3E52, false 1C7A.
    bool IspToggle = false;
    // The device table row tried or found last.
    std::uint8_t ProductRow = 0;
};

class DeviceMonitor {
public:
    static constexpr int SearchInterval = 100;
    static constexpr int WatchInterval = 1000;

    // The product's firmware file is looked for in the current directory, then in the other
    // folders in order.
    DeviceMonitor(KeldrixUsb& usb, ImageStore& images, TopPanel& panel,
                  std::function<std::filesystem::path()> currentDirectory,
                  std::vector<std::filesystem::path> otherFolders = {});

    // One tick; gives the timer interval to use from now on when the tick changes it.
    std::optional<int> Timer1Timer();
    // The "Detect Device" box was clicked (or checked at start-up).
    void chkDetectUSBClick(bool checked);
    // Loads the found product's firmware file (also the ISP page's "File" button).
    void ReadProgramFile1();

    MonitorState State;

private:
    void TryNextIdentity();
    void ShowOutcome();

    KeldrixUsb& Usb;
    ImageStore& Images;
    TopPanel& Panel;
    std::function<std::filesystem::path()> CurrentDirectory;
    std::vector<std::filesystem::path> OtherFolders;
};

}  // namespace zarn
